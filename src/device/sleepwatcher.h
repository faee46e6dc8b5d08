// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SLEEPWATCHER_H
#define ORVANE_SLEEPWATCHER_H

#include <QObject>

// The computer going to sleep and waking up, where the platform tells a program so other than through its window.
class SleepWatcher : public QObject
{
    Q_OBJECT

public:
    // nullptr where the window's own messages carry these notices (Windows) or nothing can tell them.
    static SleepWatcher* create(QObject* parent);

signals:
    void signal_suspending();
    void signal_resumed();

protected:
    explicit SleepWatcher(QObject* parent) : QObject(parent) { }
};

#endif // ORVANE_SLEEPWATCHER_H
