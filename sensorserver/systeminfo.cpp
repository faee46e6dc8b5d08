// SPDX-License-Identifier: GPL-3.0-or-later
#include "systeminfo.h"

#include "sysfsfile.h"

#include <QRegularExpression>

namespace {
constexpr int kMaxNameLength = 96;

QString readDmi(const QString& sysfsRoot, const char* field)
{
    QByteArray text;
    if (!SysfsFile::readText(sysfsRoot + QStringLiteral("/class/dmi/id/") + QLatin1String(field), &text, 256)) {
        return QString();
    }
    const QString value = SystemInfo::cleanText(QString::fromUtf8(text));
    // What firmware writes when the board maker left the field empty.
    static const QStringList placeholders {QStringLiteral("To Be Filled By O.E.M."),
                                           QStringLiteral("To be filled by O.E.M."),
                                           QStringLiteral("Default string"),
                                           QStringLiteral("Not Applicable"),
                                           QStringLiteral("Not Specified"),
                                           QStringLiteral("System manufacturer"),
                                           QStringLiteral("System Product Name"),
                                           QStringLiteral("OEM"),
                                           QStringLiteral("Type2 - Board Vendor Name1"),
                                           QStringLiteral("Type2 - Board Product Name1")};
    return placeholders.contains(value) ? QString() : value;
}

QString joined(const QString& vendor, const QString& model)
{
    if (vendor.isEmpty() || model.startsWith(vendor)) {
        return model;
    }
    return model.isEmpty() ? vendor : vendor + QLatin1Char(' ') + model;
}
} // namespace

namespace SystemInfo {
QString cleanText(const QString& text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        clean.append(c.isPrint() ? c : QLatin1Char(' '));
    }
    clean = clean.simplified();
    if (clean.size() > kMaxNameLength) {
        clean.truncate(kMaxNameLength);
        clean = clean.trimmed();
    }
    return clean;
}

QString cpuModel(const QString& procRoot)
{
    QByteArray text;
    // The first processor's block is enough; the file is long on machines with many CPUs.
    if (!SysfsFile::readText(procRoot + QStringLiteral("/cpuinfo"), &text, 16 * 1024)) {
        return QStringLiteral("CPU");
    }
    QString model;
    for (const QByteArray& line : text.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed() == "model name") {
            model = QString::fromUtf8(line.mid(colon + 1));
            break;
        }
    }
    static const QRegularExpression trademarks(QStringLiteral("\\((R|r|TM|tm)\\)"));
    static const QRegularExpression clock(QStringLiteral("@.*$"));
    static const QRegularExpression generation(QStringLiteral("^\\d+(st|nd|rd|th) Gen "));
    static const QRegularExpression coreCount(QStringLiteral("\\b\\d+-Core\\b"));
    static const QRegularExpression filler(QStringLiteral("\\b(CPU|Processor|with Radeon.*Graphics)\\b"));
    model.remove(trademarks);
    model.remove(clock);
    model = model.trimmed();
    model.remove(generation);
    model.remove(coreCount);
    model.remove(filler);
    model = cleanText(model);
    return model.isEmpty() ? QStringLiteral("CPU") : model;
}

QString boardName(const QString& sysfsRoot)
{
    QString name = joined(readDmi(sysfsRoot, "board_vendor"), readDmi(sysfsRoot, "board_name"));
    if (name.isEmpty()) {
        name = joined(readDmi(sysfsRoot, "sys_vendor"), readDmi(sysfsRoot, "product_name"));
    }
    return name.isEmpty() ? QStringLiteral("Mainboard") : name;
}
} // namespace SystemInfo
