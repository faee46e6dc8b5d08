// SPDX-License-Identifier: GPL-3.0-or-later
#include "devsimprocess.h"

#include "testsupport.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRegularExpression>

DevsimProcess::~DevsimProcess()
{
    if (mProcess.state() != QProcess::NotRunning) {
        stop();
    }
}

bool DevsimProcess::start(const QString& socketPath, const QStringList& extraArgs)
{
    mSocketPath = socketPath;
    mProcess.setProgram(TestSupport::binaryDir() + QStringLiteral("/devsim/orvane-devsim"));
    mProcess.setArguments(QStringList {QStringLiteral("--socket"), socketPath} + extraArgs);
    mProcess.start();
    return mProcess.waitForStarted() && waitForError(QStringLiteral("listening on"));
}

bool DevsimProcess::stop()
{
    mProcess.terminate();
    if (mProcess.waitForFinished(5000)) {
        return mProcess.exitStatus() == QProcess::NormalExit && mProcess.exitCode() == 0;
    }
    mProcess.kill();
    mProcess.waitForFinished(5000);
    return false;
}

bool DevsimProcess::waitForError(const QString& text, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!mErr.contains(text) && timer.elapsed() < timeoutMs) {
        mProcess.waitForReadyRead(100);
        mErr += QString::fromUtf8(mProcess.readAllStandardError());
    }
    return mErr.contains(text);
}

bool DevsimProcess::command(const QString& line, const QString& ack)
{
    mErr.clear();
    mProcess.write((line + QLatin1Char('\n')).toUtf8());
    return waitForError(ack);
}

QString DevsimProcess::status()
{
    if (!command(QStringLiteral("status"), QStringLiteral("open handles"))) {
        return QString();
    }
    const QStringList errorLines = mErr.split(QLatin1Char('\n'));
    for (const QString& line : errorLines) {
        if (line.contains(QStringLiteral("open handles"))) {
            return line;
        }
    }
    return QString();
}

int DevsimProcess::openHandles()
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("open handles (\\d+)")).match(status());
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QStringList DevsimProcess::lines(int count, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (mOut.count(QLatin1Char('\n')) < count && timer.elapsed() < timeoutMs) {
        mProcess.waitForReadyRead(100);
        mOut += QString::fromUtf8(mProcess.readAllStandardOutput());
    }
    QStringList result;
    for (int i = 0; i < count && mOut.contains(QLatin1Char('\n')); ++i) {
        const int end = mOut.indexOf(QLatin1Char('\n'));
        result << mOut.left(end);
        mOut.remove(0, end + 1);
    }
    return result;
}

QJsonObject DevsimProcess::json()
{
    const QStringList one = lines(1);
    QJsonObject object = one.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(one.first().toUtf8()).object();
    const double arrival = object.take(QStringLiteral("t")).toDouble(-1);
    if (!one.isEmpty() && (arrival < 0 || arrival < mLastArrival)) {
        return QJsonObject {{QStringLiteral("bad-time"), arrival}};
    }
    mLastArrival = arrival;
    return object;
}

void DevsimProcess::pump(int waitMs)
{
    if (mProcess.bytesAvailable() == 0) {
        mProcess.waitForReadyRead(waitMs);
    }
    mOut += QString::fromUtf8(mProcess.readAllStandardOutput());
    int end;
    while ((end = mOut.indexOf(QLatin1Char('\n'))) >= 0) {
        const QString line = mOut.left(end);
        mOut.remove(0, end + 1);
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        DevsimEvent event;
        event.raw = object;
        event.kind = object.value(QStringLiteral("event")).toString();
        event.t = object.value(QStringLiteral("t")).toDouble(-1);
        event.seed = object.value(QStringLiteral("seed")).toInt(-1);
        event.index = object.value(QStringLiteral("index")).toInt(-1);
        event.temp = object.value(QStringLiteral("temp")).toInt(-1);
        event.fan = object.value(QStringLiteral("fan")).toInt(-1);
        event.load = object.value(QStringLiteral("load")).toInt(-1);
        event.expected = object.value(QStringLiteral("expected")).toInt(-1);
        if (event.kind.isEmpty() || event.t < 0 || event.t < mLastArrival) {
            mMalformed << line;
            continue;
        }
        mLastArrival = event.t;
        mEvents << event;
    }
}

int DevsimProcess::waitForEvent(const std::function<bool(const DevsimEvent&)>& match, int timeoutMs, int from)
{
    QElapsedTimer timer;
    timer.start();
    int next = from;
    for (;;) {
        for (; next < mEvents.size(); ++next) {
            if (match(mEvents.at(next))) {
                return next;
            }
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || mProcess.state() != QProcess::Running) {
            return -1;
        }
        pump(int(qMin<qint64>(left, 100)));
    }
}
