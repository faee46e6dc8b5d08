// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORREPLY_H
#define ORVANE_SENSORREPLY_H

#include <QByteArray>
#include <functional>

class QLocalSocket;

// Reads one sensor document from a connected socket: until the server closes the connection or the text closes its
// root element, whichever comes first, within `waitMs`. A reply longer than kMaxSensorReply bytes is dropped whole
// and gives empty text. The wait ends early once `abort` says so.
constexpr int kMaxSensorReply = 4 * 1024 * 1024;
QByteArray readSensorReply(QLocalSocket& socket, int waitMs, const std::function<bool()>& abort);

#endif // ORVANE_SENSORREPLY_H
