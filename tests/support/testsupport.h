#ifndef ORVANE_TESTSUPPORT_H
#define ORVANE_TESTSUPPORT_H

#include <QString>

namespace TestSupport {
// Directory of the build tree's executables (orvane, voviredo/VOViredo, orvane-devsim).
QString binaryDir();
// Directory of the checked-in fixtures.
QString fixturesDir();
} // namespace TestSupport

#endif // ORVANE_TESTSUPPORT_H
