// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_THROWAWAYUSER_H
#define ORVANE_THROWAWAYUSER_H

#include <QString>

// A system user of its own for one case, with a group of the same name, gone with it. Making one needs root.
struct ThrowawayUser
{
    ThrowawayUser();
    ~ThrowawayUser();
    ThrowawayUser(const ThrowawayUser&) = delete;
    ThrowawayUser& operator=(const ThrowawayUser&) = delete;

    bool make();
    QString groupName() const;

    QString name;
    uint uid = 0;
    uint gid = 0;
};

#endif // ORVANE_THROWAWAYUSER_H
