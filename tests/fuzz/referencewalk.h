// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_REFERENCEWALK_H
#define ORVANE_REFERENCEWALK_H

#include <QString>

struct ReferenceReading
{
    int cputmp;
    int cpuload;
    int cpufan;
};

// The sensor-document rules written the plain way: a full DOM of the whole text, walked without shortcuts. The
// parser keeps only part of the document for speed; this is what it has to agree with. Fields that no rule touches
// keep what `reading` held. False, with `reading` untouched, when the document is not accepted.
bool referenceWalk(const QString& text, ReferenceReading* reading);

#endif // ORVANE_REFERENCEWALK_H
