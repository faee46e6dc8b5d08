#include "xserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

XServer::~XServer()
{
    if (mXvfb.state() != QProcess::NotRunning) {
        mXvfb.terminate();
        if (!mXvfb.waitForFinished(5000)) {
            mXvfb.kill();
            mXvfb.waitForFinished(5000);
        }
    }
}

bool XServer::start()
{
    // Xvfb writes the display number it chose to the given descriptor; a pipe to our stdout channel does that.
    mXvfb.setProgram(QStringLiteral("Xvfb"));
    mXvfb.setArguments({QStringLiteral("-displayfd"),
                        QStringLiteral("1"),
                        QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"),
                        QStringLiteral("-screen"),
                        QStringLiteral("0"),
                        QStringLiteral("1280x1024x24")});
    mXvfb.start();
    if (!mXvfb.waitForStarted(5000)) {
        return false;
    }
    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.contains('\n') && clock.elapsed() < 15000 && mXvfb.state() == QProcess::Running) {
        mXvfb.waitForReadyRead(200);
        number += mXvfb.readAllStandardOutput();
    }
    if (!number.contains('\n')) {
        return false;
    }
    mDisplay = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    return true;
}

QStringList XServer::findWindows(const QString& title, bool onlyVisible, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    do {
        QProcess search;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), mDisplay);
        search.setProcessEnvironment(env);
        QStringList args{QStringLiteral("search")};
        if (onlyVisible) {
            args << QStringLiteral("--onlyvisible");
        }
        args << QStringLiteral("--name") << title;
        search.start(QStringLiteral("xdotool"), args);
        search.waitForFinished(5000);
        const QString out = QString::fromLatin1(search.readAllStandardOutput()).trimmed();
        if (!out.isEmpty()) {
            return out.split(QLatin1Char('\n'));
        }
        QThread::msleep(100);
    } while (clock.elapsed() < timeoutMs);
    return {};
}

bool XServer::pressKey(const QString& window, const QString& key) const
{
    QProcess xdotool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), mDisplay);
    xdotool.setProcessEnvironment(env);
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window, QStringLiteral("key"), key});
    return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
}
