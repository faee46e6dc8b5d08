// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtimefolder.h"
#include "startupenvironment.h"

#include <QtGlobal>

void settleStartupEnvironment()
{
    // Nothing here draws with OpenGL; without this the X11 platform loads the GL stack (tens of MB) at start.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    // Before Qt looks for the runtime folder itself.
    RuntimeFolder::path();
}
