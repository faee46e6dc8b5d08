// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_HWINFODATA_H
#define ORVANE_HWINFODATA_H

#include <QMetaType>
#include <QString>
#include <QVector>

// One sensor reading as it travels from the sensor client to the dashboard: integer parts, 0 when there is none.
typedef struct
{
    int cputmp;
    int cpuload;
    int cpufan;
} ST_HWINFO_DATA;

Q_DECLARE_METATYPE(ST_HWINFO_DATA)

// A temperature, fan or load the dashboard offers to show: "<name of the element above it> / <its name>" (made unique
// in its list with " #2", " #3"), and its reading's integer part.
typedef struct
{
    QString text;
    int value;
} ST_SENSOR_READING;

// Every temperature, fan and load of one reading, in document order, at most kMaxSensorChoices of each. A reading
// without an accepted document has none and says so.
typedef struct
{
    bool fromDocument;
    QVector<ST_SENSOR_READING> temperatures;
    QVector<ST_SENSOR_READING> fans;
    QVector<ST_SENSOR_READING> loads;
} ST_SENSOR_LIST;

constexpr int kMaxSensorChoices = 256;

Q_DECLARE_METATYPE(ST_SENSOR_LIST)

// One reading as it crosses from the sensor client's thread to the feed, in one piece: its figures and its sensors.
typedef struct
{
    ST_HWINFO_DATA figures;
    ST_SENSOR_LIST sensors;
} ST_HW_READING;

Q_DECLARE_METATYPE(ST_HW_READING)

// What the parser fills; the same three fields as ST_HWINFO_DATA.
typedef struct
{
    int cputmp;
    int cpuload;
    int cpufan;
} ST_VOVIREDO_DATA;

#endif // ORVANE_HWINFODATA_H
