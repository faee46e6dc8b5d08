// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopidentity.h"

#include "imageresources.h"

#include <QGuiApplication>
#include <QIcon>

void DesktopIdentity::apply()
{
    QGuiApplication::setDesktopFileName(QLatin1String(kDesktopFileName));
    initImageResources();
    // Every window without an icon of its own takes the application's.
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/image/newlogo.jpg")));
}
