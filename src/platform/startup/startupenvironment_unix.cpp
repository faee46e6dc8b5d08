// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtimefolder.h"
#include "startupenvironment.h"

#include <QtGlobal>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void settleStartupEnvironment()
{
    // Nothing here draws with OpenGL; without this the X11 platform loads the GL stack (tens of MB) at start.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
#ifdef __GLIBC__
    // glibc raises its mmap threshold to the size of every large block freed, after which a burst of large blocks
    // (a huge sensor reply) is served from the heap and kept there long after. A fixed threshold keeps such blocks in
    // mappings of their own, handed back to the system as soon as they are freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    // Before Qt looks for the runtime folder itself.
    RuntimeFolder::path();
}
