// SPDX-License-Identifier: GPL-3.0-or-later
#include "thermalzones.h"

#include "hwmon.h"
#include "sysfsfile.h"

#include <QSet>
#include <algorithm>
#include <unistd.h>

using SysfsFile::Directory;
using SysfsFile::ReadResult;

namespace {
const QByteArray kPrefix = QByteArrayLiteral("thermal_zone");

int zoneNumber(const QByteArray& entry)
{
    if (!entry.startsWith(kPrefix) || entry.size() == kPrefix.size()) {
        return -1;
    }
    bool ok = false;
    const int number = entry.mid(kPrefix.size()).toInt(&ok);
    return ok && number >= 0 ? number : -1;
}
} // namespace

ThermalZoneReader::ThermalZoneReader(const QString& sysfsRoot)
    : mClassPath(sysfsRoot + QStringLiteral("/class/thermal"))
{
}

ThermalZoneReader::~ThermalZoneReader()
{
    for (const OpenZone& zone : qAsConst(mZones)) {
        if (zone.fd >= 0) {
            ::close(zone.fd);
        }
    }
}

QVector<ThermalZone> ThermalZoneReader::read()
{
    QVector<ThermalZone> zones;
    const Directory classDir(mClassPath);
    QSet<QByteArray> present;
    for (const QByteArray& entry : classDir.entries()) {
        const int number = zoneNumber(entry);
        quint64 device = 0;
        quint64 inode = 0;
        if (number < 0 || !classDir.identity(entry, &device, &inode)) {
            continue;
        }
        present.insert(entry);
        auto it = mZones.find(entry);
        if (it != mZones.end() && (it->device != device || it->inode != inode)) {
            if (it->fd >= 0) {
                ::close(it->fd);
            }
            mZones.erase(it);
            it = mZones.end();
        }
        if (it == mZones.end()) {
            const Directory dir(classDir, entry);
            OpenZone open;
            open.number = number;
            open.device = device;
            open.inode = inode;
            QByteArray type;
            if (dir.readText("type", &type)) {
                open.type = QString::fromUtf8(type);
            }
            open.fd = dir.open("temp");
            it = mZones.insert(entry, open);
        }
        ThermalZone zone;
        zone.number = it->number;
        zone.type = it->type;
        long long raw = 0;
        if (SysfsFile::readOpenInteger(it->fd, &raw) == ReadResult::Ok) {
            zone.value = double(raw) / 1000.0;
            zone.valid = isPlausibleTemperature(zone.value);
        }
        zones.append(zone);
    }
    for (auto it = mZones.begin(); it != mZones.end();) {
        if (present.contains(it.key())) {
            ++it;
        } else {
            if (it->fd >= 0) {
                ::close(it->fd);
            }
            it = mZones.erase(it);
        }
    }
    std::sort(
        zones.begin(), zones.end(), [](const ThermalZone& a, const ThermalZone& b) { return a.number < b.number; });
    return zones;
}
