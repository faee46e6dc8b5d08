#ifndef ORVANE_HWINFODATA_H
#define ORVANE_HWINFODATA_H

#include <QMetaType>

// One sensor reading as it travels from the sensor client to the dashboard: integer parts, 0 when there is none.
typedef struct
{
    int cputmp;
    int cpuload;
    int cpufan;
} ST_HWINFO_DATA;

Q_DECLARE_METATYPE(ST_HWINFO_DATA)

// What the parser fills; the same three fields as ST_HWINFO_DATA.
typedef struct
{
    int cputmp;
    int cpuload;
    int cpufan;
} ST_VOVIREDO_DATA;

#endif // ORVANE_HWINFODATA_H
