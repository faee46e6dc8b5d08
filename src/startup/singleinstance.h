// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SINGLEINSTANCE_H
#define ORVANE_SINGLEINSTANCE_H

#include <memory>

// One instance of the program at a time: per user on Linux, per session on Windows. The first start holds its
// claim for as long as this object lives; a start after a crash or a kill is the first again.
class SingleInstance
{
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another instance runs. Never waits for long. Where the claim cannot be made at all, this start
    // counts as the first: better two instances than none.
    bool claim();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

#endif // ORVANE_SINGLEINSTANCE_H
