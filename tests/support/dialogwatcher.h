// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DIALOGWATCHER_H
#define ORVANE_DIALOGWATCHER_H

#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>

// Answers every modal message dialog that comes up while it is armed, the way a user would, and records what
// each one showed.
class DialogWatcher : public QObject
{
    Q_OBJECT

public:
    enum class Answer { Ok, Cancel, Escape };

    struct Seen
    {
        QString text;
        bool okVisible = false;
        bool cancelVisible = false;
        QPoint position;
        QString iconStyle;
    };

    explicit DialogWatcher(Answer answer = Answer::Ok, QObject* parent = nullptr);
    QList<Seen> seen() const { return mSeen; }

private:
    void poll();

    Answer mAnswer;
    QTimer mTimer;
    QList<Seen> mSeen;
};

#endif // ORVANE_DIALOGWATCHER_H
