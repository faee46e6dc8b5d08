// SPDX-License-Identifier: GPL-3.0-or-later
#include "imageresources.h"

#include <QCoreApplication>

void initImageResources()
{
    // Outside any namespace, as the macro wants; it also links the bundle's own start-up registration in.
    Q_INIT_RESOURCE(image);
    // Style sheets take a picture's @2x version on a screen at scale 2 by themselves; icons only with this.
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
}
