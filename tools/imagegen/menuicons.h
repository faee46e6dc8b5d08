// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_MENUICONS_H
#define ORVANE_IMAGEGEN_MENUICONS_H

#include <QImage>

// Menu and dialog icons: a white glyph on a coloured round badge, so they read on light and dark menus alike.
QImage drawMenuHide();
QImage drawMenuShow();
QImage drawMenuExit();
QImage drawMenuVersion();
QImage drawMenuUpdate();
QImage drawMessageInfo();

#endif // ORVANE_IMAGEGEN_MENUICONS_H
