// SPDX-License-Identifier: GPL-3.0-or-later
#include "xserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

XServer::~XServer()
{
    if (mTray.state() != QProcess::NotRunning) {
        mTray.kill();
        mTray.waitForFinished(5000);
    }
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
        QStringList args {QStringLiteral("search")};
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

QString XServer::runTool(const QString& program, const QStringList& arguments) const
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), mDisplay);
    tool.setProcessEnvironment(env);
    tool.start(program, arguments);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

bool XServer::startTray()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), mDisplay);
    mTray.setProcessEnvironment(env);
    mTray.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mTray.start(QStringLiteral("trayer"),
                {QStringLiteral("--edge"),
                 QStringLiteral("top"),
                 QStringLiteral("--align"),
                 QStringLiteral("right"),
                 QStringLiteral("--widthtype"),
                 QStringLiteral("pixel"),
                 QStringLiteral("--width"),
                 QStringLiteral("100"),
                 QStringLiteral("--height"),
                 QStringLiteral("24")});
    if (!mTray.waitForStarted(5000)) {
        return false;
    }
    // The tray is there once its panel window is.
    return !findWindows(QStringLiteral("^panel$"), false, 10000).isEmpty();
}

bool XServer::stopTray()
{
    mTray.kill();
    mTray.waitForFinished(5000);
    QElapsedTimer clock;
    clock.start();
    while (!findWindows(QStringLiteral("^panel$"), false, 0).isEmpty()) {
        if (clock.elapsed() > 10000) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

bool XServer::isMinimised(const QString& window) const
{
    return visibleWindowsOfClass(QStringLiteral(".*")).contains(window) &&
           windowProperty(window, QStringLiteral("WM_HINTS")).contains(QStringLiteral("Iconic"));
}

bool XServer::trayHasIcon(const QString& windowClass) const
{
    const QStringList panels = findWindows(QStringLiteral("^panel$"), false, 0);
    if (panels.isEmpty()) {
        return false;
    }
    const QString tree =
        runTool(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), panels.first()});
    return tree.contains(QStringLiteral("(\"%1\" \"%1\")").arg(windowClass));
}

QString XServer::windowProperty(const QString& window, const QString& property) const
{
    return runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), window, property});
}

QString XServer::trayIconWindow(const QString& windowClass) const
{
    const QStringList panels = findWindows(QStringLiteral("^panel$"), false, 0);
    if (panels.isEmpty()) {
        return QString();
    }
    const QString tree =
        runTool(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), panels.first()});
    const QRegularExpression line(QStringLiteral("(0x[0-9a-f]+) .*\\(\"%1\" \"%1\"\\)").arg(windowClass));
    const QRegularExpressionMatch match = line.match(tree);
    return match.hasMatch() ? match.captured(1) : QString();
}

QStringList XServer::visibleWindowsOfClass(const QString& windowClass) const
{
    const QString out = runTool(QStringLiteral("xdotool"),
                                {QStringLiteral("search"),
                                 QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--class"),
                                 QStringLiteral("^%1$").arg(windowClass)})
                            .trimmed();
    return out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n'));
}

QRect XServer::windowGeometry(const QString& window) const
{
    // X=, Y=, WIDTH=, HEIGHT= lines.
    const QString out =
        runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    auto value = [&out](const char* name) {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(name)),
                               QRegularExpression::MultilineOption)
                .match(out);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    const int width = value("WIDTH");
    const int height = value("HEIGHT");
    return width > 0 && height > 0 ? QRect(value("X"), value("Y"), width, height) : QRect();
}

bool XServer::click(const QString& window, int x, int y, int button) const
{
    QProcess xdotool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), mDisplay);
    xdotool.setProcessEnvironment(env);
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("mousemove"),
                   QStringLiteral("--window"),
                   window,
                   QString::number(x),
                   QString::number(y),
                   QStringLiteral("click"),
                   QString::number(button)});
    return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
}
