// SPDX-License-Identifier: GPL-3.0-or-later
#include "logcategories.h"
#include "runtimefolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct Runtime
{
    QString path;
    bool fromSession = false;
};

// A folder of ours that nobody else may enter: made if missing, never followed through a link.
bool makePrivateFolder(const QString& path, QString* problem)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *problem = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    struct stat info = {};
    if (::lstat(native.constData(), &info) != 0) {
        *problem = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        *problem = QStringLiteral("it is not a folder of this user");
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        *problem = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    return true;
}

// Why the session's runtime folder cannot serve, for the log: missing, not a folder, someone else's, or open to others.
QString whyNotUsable(const QString& path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return errno == ENOENT ? QStringLiteral("does not exist") : QString::fromLocal8Bit(strerror(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        return QStringLiteral("is not a folder");
    }
    if (info.st_uid != ::geteuid()) {
        const passwd* owner = ::getpwuid(info.st_uid);
        return QStringLiteral("belongs to %1, not to this user")
            .arg(owner ? QString::fromLocal8Bit(owner->pw_name) : QStringLiteral("uid %1").arg(info.st_uid));
    }
    return QStringLiteral("is open to other users (mode %1)").arg(info.st_mode & 0777, 3, 8, QLatin1Char('0'));
}

// What the log says of XDG_RUNTIME_DIR when it could not be used.
QString sessionFolderProblem(const QString& fromSession)
{
    return fromSession.isEmpty()
               ? QStringLiteral("XDG_RUNTIME_DIR is not set")
               : QStringLiteral("XDG_RUNTIME_DIR (%1) %2").arg(fromSession, whyNotUsable(fromSession));
}

// Qt's warnings about the runtime folder, caught while it is looked up: the lookup below says it once itself.
QtMessageHandler gPassOn = nullptr;

void catchRuntimeWarning(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!text.startsWith(QLatin1String("QStandardPaths: "))) {
        gPassOn(type, context, text);
    }
}

QString& instanceFolderName()
{
    static QString name;
    return name;
}

// The instance's own folder inside the runtime folder becomes the runtime folder, for Qt and for our children.
void enterInstanceFolder(Runtime* runtime)
{
    const QString own = runtime->path + QLatin1Char('/') + instanceFolderName();
    QString problem;
    if (!makePrivateFolder(own, &problem)) {
        qCWarning(lcPlatform).noquote() << "cannot use" << own + QLatin1Char(':') << problem;
        runtime->path.clear();
        return;
    }
    runtime->path = own;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(own));
}

Runtime lookUp()
{
    Runtime runtime;
    const QString fromSession = qEnvironmentVariable("XDG_RUNTIME_DIR");
    gPassOn = qInstallMessageHandler(catchRuntimeWarning);
    runtime.path = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.path.isEmpty() && !fromSession.isEmpty()) {
        // Someone else's folder: Qt's private stand-in under the temp folder serves instead.
        qunsetenv("XDG_RUNTIME_DIR");
        runtime.path = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    qInstallMessageHandler(gPassOn);
    runtime.fromSession = !runtime.path.isEmpty() && !fromSession.isEmpty() &&
                          QDir(fromSession).canonicalPath() == QDir(runtime.path).canonicalPath();
    if (runtime.path.isEmpty()) {
        qCWarning(lcPlatform).noquote() << "no private runtime folder:" << sessionFolderProblem(fromSession)
                                        << "and no other can be made";
        return runtime;
    }
    // Qt and the sensor server look it up again; told where it is, they do not warn again.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path));
    if (!runtime.fromSession) {
        qCWarning(lcPlatform).noquote() << sessionFolderProblem(fromSession) << "- using" << runtime.path
                                        << "instead, which may be on disk";
    }
    if (!instanceFolderName().isEmpty()) {
        enterInstanceFolder(&runtime);
    }
    return runtime;
}

const Runtime& runtime()
{
    static const Runtime once = lookUp();
    return once;
}

QString makeOwnFolder()
{
    if (runtime().path.isEmpty()) {
        return QString();
    }
    const QString own = runtime().path + QStringLiteral("/orvane");
    QString problem;
    if (!makePrivateFolder(own, &problem)) {
        qCWarning(lcPlatform).noquote() << "cannot use" << own + QLatin1Char(':') << problem;
        return QString();
    }
    return own;
}
} // namespace

namespace RuntimeFolder {
void useInstanceFolder(const QString& name)
{
    instanceFolderName() = name;
}

QString path()
{
    return runtime().path;
}

bool isSessionFolder()
{
    return runtime().fromSession;
}

QString ownFolder()
{
    static const QString once = makeOwnFolder();
    return once;
}
} // namespace RuntimeFolder
