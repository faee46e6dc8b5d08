// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DISPLAYHOLD_H
#define ORVANE_DISPLAYHOLD_H

#include <QByteArray>

// One Orvane drives the display at a time, machine-wide: whichever takes the hold first. The hold is kept through
// the holder's own reconnects and ends when the display goes away, when it is released, or with the process
// (killed or not), so that another Orvane can take the display over at its next try.
class DisplayHold
{
public:
    enum class Result {
        Held,          // ours: path() names the display
        HeldElsewhere, // another process holds it: leave the display alone
        NotFound,      // no display with these ids
        Unlockable     // the display is there, but no hold can be taken on it (path() names it)
    };

    DisplayHold() = default;
    ~DisplayHold();
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;

    // Finds the first display with these ids and holds it; a hold on that same display is kept as it is.
    Result take(int vid, int pid);
    void release();
    bool isHeld() const { return mFd >= 0; }
    // The display's path as hidapi names it (for hid_open_path).
    QByteArray path() const { return mPath; }

private:
    int mFd = -1;
    QByteArray mPath;
};

#endif // ORVANE_DISPLAYHOLD_H
