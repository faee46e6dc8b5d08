// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_HARDWAREINFOPROBE_H
#define ORVANE_HARDWAREINFOPROBE_H

#include "hardwareinfo.h"
#include "serverkeeper.h"

#include <QMetaObject>
#include <QMutexLocker>

// Access to the sensor client's private state for tests. The parser itself is reached through the meta-object by
// name: its steps are private slots, and a test calls them one by one as the request path does.
struct HardWareInfoProbe
{
    static ST_VOVIREDO_DATA serverData(const HardWareInfo& h) { return h.mstServerData; }
    static ST_SENSOR_LIST sensorList(const HardWareInfo& h) { return h.mstSensorList; }
    static void setServerData(HardWareInfo& h, const ST_VOVIREDO_DATA& data) { h.mstServerData = data; }
    static QString lastHwInfo(HardWareInfo& h)
    {
        QMutexLocker lock(&h.mLastHwInfoMutex);
        return h.mLastHwInfo;
    }
    static int waitMs(const HardWareInfo& h) { return h.mWaitMs; }
    // Ids of every server process the client started that has not been reaped yet; call only while its thread idles.
    static QList<qint64> serverProcessIds(const HardWareInfo& h) { return h.mServer->processIds(); }
    static int serverProcessCount(const HardWareInfo& h) { return h.mServer->processIds().size(); }

    // One parse as the request path runs it: clear, then parseServerData.
    static bool parse(HardWareInfo& h, const QString& document, ST_VOVIREDO_DATA* result = nullptr)
    {
        bool accepted = false;
        // A renamed slot must stop the caller, not read as a rejected document.
        if (!QMetaObject::invokeMethod(&h, "onClearVoViredoData", Qt::DirectConnection) ||
            !QMetaObject::invokeMethod(
                &h, "parseServerData", Qt::DirectConnection, Q_RETURN_ARG(bool, accepted), Q_ARG(QString, document))) {
            qFatal("HardWareInfoProbe: HardWareInfo lacks onClearVoViredoData() or parseServerData(QString)");
        }
        if (result) {
            *result = h.mstServerData;
        }
        return accepted;
    }
};

#endif // ORVANE_HARDWAREINFOPROBE_H
