// SPDX-License-Identifier: GPL-3.0-or-later
#include "throwawayuser.h"

#include <QCoreApplication>
#include <QProcess>
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
        QProcess::execute(QStringLiteral("userdel"), {name});
    }
}

bool ThrowawayUser::make()
{
    if (QProcess::execute(QStringLiteral("useradd"),
                          {QStringLiteral("--system"),
                           QStringLiteral("--user-group"),
                           QStringLiteral("--no-create-home"),
                           QStringLiteral("--shell"),
                           QStringLiteral("/usr/sbin/nologin"),
                           name}) != 0) {
        return false;
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
