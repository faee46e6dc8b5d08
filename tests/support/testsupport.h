// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_TESTSUPPORT_H
#define ORVANE_TESTSUPPORT_H

#include <QList>
#include <QString>

class QProcess;

namespace TestSupport {
// Directory of the build tree's executables (orvane, voviredo/VOViredo, orvane-devsim).
QString binaryDir();
// Directory of the checked-in fixtures.
QString fixturesDir();
// Running processes whose executable is `program`, by pid (a zombie has no executable any more).
QList<qint64> processesOf(const QString& program);
// Lets process `pid` open no new descriptor (its limit down to the lowest free one) until restore() is called.
class DescriptorsExhausted
{
public:
    explicit DescriptorsExhausted(qint64 pid);
    ~DescriptorsExhausted() { restore(); }
    bool ok() const { return mOk; }
    void restore();

private:
    qint64 mPid;
    bool mOk = false;
    unsigned long long mLimit[2] = {};
};
// Starts `daemon` as a private D-Bus daemon of `type` ("system" or "session") listening in `folder`: anyone may own
// and send anything, and no service is started on demand. Its address, or an empty text when it did not start.
QString startPrivateBus(QProcess& daemon, const QString& folder, const QString& type);
} // namespace TestSupport

#endif // ORVANE_TESTSUPPORT_H
