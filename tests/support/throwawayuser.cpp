// SPDX-License-Identifier: GPL-3.0-or-later
#include "throwawayuser.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <grp.h>
#include <pwd.h>

namespace {
int gMade = 0;
} // namespace

ThrowawayUser::ThrowawayUser()
    : name(QStringLiteral("orvane-t%1-%2").arg(QCoreApplication::applicationPid()).arg(++gMade))
{
}

ThrowawayUser::~ThrowawayUser()
{
    if (uid != 0) {
        // userdel refuses a user with a process left, say a compositor's child after a failed case.
        QProcess::execute(QStringLiteral("pkill"), {QStringLiteral("-KILL"), QStringLiteral("-u"), name});
        QProcess::execute(QStringLiteral("userdel"), {name});
    }
}

bool ThrowawayUser::make()
{
    const QStringList args {QStringLiteral("--system"),
                            QStringLiteral("--user-group"),
                            QStringLiteral("--no-create-home"),
                            QStringLiteral("--shell"),
                            QStringLiteral("/usr/sbin/nologin"),
                            name};
    // useradd gives up at once while anything else holds the account files' lock (apt adding a user, say).
    int tries = 0;
    while (QProcess::execute(QStringLiteral("useradd"), args) != 0) {
        if (++tries == 5) {
            return false;
        }
        QThread::sleep(1);
    }
    const struct passwd* account = ::getpwnam(name.toLocal8Bit().constData());
    if (!account) {
        return false;
    }
    uid = account->pw_uid;
    gid = account->pw_gid;
    return true;
}

QString ThrowawayUser::groupName() const
{
    const struct group* entry = ::getgrgid(gid_t(gid));
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString();
}
