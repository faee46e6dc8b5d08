// SPDX-License-Identifier: GPL-3.0-or-later
// Windows runs one window program per session and no service: the display is found, and counts as held by us.
#include "displayhold.h"

#include <hidapi/hidapi.h>

DisplayHold::~DisplayHold()
{
    release();
}

DisplayHold::Result DisplayHold::take(int vid, int pid)
{
    hid_device_info* found = hid_enumerate(static_cast<unsigned short>(vid), static_cast<unsigned short>(pid));
    mPath = found && found->path ? QByteArray(found->path) : QByteArray();
    hid_free_enumeration(found);
    return mPath.isEmpty() ? Result::NotFound : Result::Held;
}

void DisplayHold::release()
{
    mPath.clear();
}
