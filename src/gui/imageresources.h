// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGERESOURCES_H
#define ORVANE_IMAGERESOURCES_H

// Registers the pictures under ":/image/". The bundle sits in a static library, where nothing would pull its
// registration into a program: whatever shows the pictures calls this first (calling it again does nothing). Also lets
// icons use the @2x pictures on screens at a higher scale.
void initImageResources();

#endif // ORVANE_IMAGERESOURCES_H
