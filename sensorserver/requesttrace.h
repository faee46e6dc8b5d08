// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_REQUESTTRACE_H
#define ORVANE_REQUESTTRACE_H

#include <QByteArray>
#include <QFile>

// When ORVANE_SENSOR_TRACE names a file, one line per request goes there: "<ms of the monotonic clock> <request>".
// Lets a benchmark line the server's requests up with what reaches the display.
class RequestTrace
{
public:
    RequestTrace();
    void note(const QByteArray& request);

private:
    QFile mFile;
};

#endif // ORVANE_REQUESTTRACE_H
