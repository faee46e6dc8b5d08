// SPDX-License-Identifier: GPL-3.0-or-later
#include "sensorreply.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QXmlStreamReader>

namespace {
// Short enough that quitting the application is not held up by a silent server.
constexpr int kWaitSliceMs = 100;

// Follows the reply as it arrives and tells when its root element is closed. Past a point the strict reader
// refuses (a stray control character, an unknown entity: text the DOM parser may still take), the end is where the
// text ends with the root's end tag; text that never started an element ends the reply at once.
class DocumentEnd
{
public:
    void feed(const QByteArray& chunk, const QByteArray& whole)
    {
        if (mDone) {
            return;
        }
        if (mLenient) {
            mDone = whole.trimmed().endsWith(mRootEnd);
            return;
        }
        mReader.addData(chunk);
        while (!mReader.atEnd()) {
            const QXmlStreamReader::TokenType token = mReader.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (mDepth++ == 0) {
                    mRootEnd = "</" + mReader.qualifiedName().toUtf8() + '>';
                }
            } else if (token == QXmlStreamReader::EndElement && --mDepth == 0) {
                mDone = true;
                return;
            }
        }
        if (mReader.hasError() && mReader.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
            mLenient = !mRootEnd.isEmpty();
            mDone = !mLenient || whole.trimmed().endsWith(mRootEnd);
        }
    }
    bool done() const { return mDone; }

private:
    QXmlStreamReader mReader;
    QByteArray mRootEnd;
    int mDepth = 0;
    bool mLenient = false;
    bool mDone = false;
};
} // namespace

QByteArray readSensorReply(QLocalSocket& socket, int waitMs, const std::function<bool()>& abort)
{
    QByteArray reply;
    DocumentEnd end;
    QElapsedTimer clock;
    clock.start();
    int fed = 0;
    for (;;) {
        if (socket.bytesAvailable() > 0) {
            // What is there, not what may come: a read of the whole allowance maps and unmaps 4 MiB every time.
            reply += socket.read(qMin(socket.bytesAvailable(), qint64(kMaxSensorReply) + 1 - reply.size()));
            if (reply.size() > kMaxSensorReply) {
                return QByteArray();
            }
            continue;
        }
        // A server that has closed its end has said all it will; only one that keeps the connection open needs the
        // document read through for its end, which costs as much as the parse itself.
        socket.waitForReadyRead(0);
        if (socket.bytesAvailable() > 0) {
            continue;
        }
        if (socket.state() != QLocalSocket::ConnectedState) {
            break;
        }
        end.feed(reply.mid(fed), reply);
        fed = reply.size();
        if (end.done()) {
            break;
        }
        const qint64 remaining = waitMs - clock.elapsed();
        if (remaining <= 0 || abort()) {
            break;
        }
        socket.waitForReadyRead(int(qMin<qint64>(remaining, kWaitSliceMs)));
    }
    return reply;
}
