// SPDX-License-Identifier: GPL-3.0-or-later
#include "imageresources.h"

#include <QtGlobal>

void initImageResources()
{
    // Outside any namespace, as the macro wants; it also links the bundle's own start-up registration in.
    Q_INIT_RESOURCE(image);
}
