// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORREPLY_H
#define ORVANE_SENSORREPLY_H

#include <QByteArray>
#include <atomic>

class QLocalSocket;

// Reads one sensor document from a connected socket: until the server closes the connection or the text closes its
// root element, whichever comes first, within `waitMs`. A reply longer than kMaxSensorReply bytes is dropped whole
// and gives empty text. `abort` ends the wait early.
constexpr int kMaxSensorReply = 4 * 1024 * 1024;
QByteArray readSensorReply(QLocalSocket& socket, int waitMs, const std::atomic<bool>& abort);

#endif // ORVANE_SENSORREPLY_H
