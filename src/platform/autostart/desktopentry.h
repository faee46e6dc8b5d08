// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DESKTOPENTRY_H
#define ORVANE_DESKTOPENTRY_H

#include <QMap>
#include <QString>
#include <QStringList>

// The bits of the freedesktop Desktop Entry format that the autostart entry needs.
namespace DesktopEntry {
// One Exec argument, quoted so that blanks, quotes, '$', '`', '\' and '%' reach the program unchanged.
QString quoteExecArgument(const QString& argument);
// A value as it is written to the file (the string type's escapes: \\, \n, \t, \r).
QString escapeValue(const QString& value);
// The keys of the [Desktop Entry] group, values unescaped; empty when the text has no such group.
QMap<QString, QString> parseMainGroup(const QString& text);
// The arguments of an Exec value (already unescaped as a string), quoting undone; empty when it is malformed.
QStringList splitExec(const QString& exec);
} // namespace DesktopEntry

#endif // ORVANE_DESKTOPENTRY_H
