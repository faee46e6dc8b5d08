// SPDX-License-Identifier: GPL-3.0-or-later
#include "socketpath.h"

#include <QStandardPaths>
#include <cstdlib>

namespace devsim {

std::string defaultSocketPath()
{
    const char* fromEnv = std::getenv("ORVANE_DEVSIM_SOCKET");
    if (fromEnv && *fromEnv) {
        return fromEnv;
    }
    const QString runtimeDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return (runtimeDir + QStringLiteral("/orvane-devsim.sock")).toStdString();
}

std::string nodePathBeside(const std::string& socketPath)
{
    return socketPath + ".node";
}

} // namespace devsim
