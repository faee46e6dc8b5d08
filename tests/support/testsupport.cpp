#include "testsupport.h"

#include <QProcessEnvironment>

namespace TestSupport {
QString binaryDir()
{
    const QString fromEnv = QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANE_BINARY_DIR"));
    return fromEnv.isEmpty() ? QStringLiteral(ORVANE_TEST_BINARY_DIR) : fromEnv;
}

QString fixturesDir()
{
    return QStringLiteral(ORVANE_TEST_FIXTURES);
}
} // namespace TestSupport
