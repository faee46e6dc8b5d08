// SPDX-License-Identifier: GPL-3.0-or-later
// The copy goes to the current folder, replaced in place, with Windows line ends.
#include "diagnosticcopy.h"

#include <QFile>

namespace DiagnosticCopy {
QString path()
{
    return QStringLiteral("hardInfo.xml");
}

bool write(const QString& document)
{
    QFile file(path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    file.write(document.toUtf8());
    file.write("\r\n\r\n");
    return true;
}
} // namespace DiagnosticCopy
