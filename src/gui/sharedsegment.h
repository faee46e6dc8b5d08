#ifndef ORVANE_SHAREDSEGMENT_H
#define ORVANE_SHAREDSEGMENT_H

class QSharedMemory;

// True when `memory` is attached but no other process holds the segment: its creator ended without detaching
// (killed or crashed), so the segment no longer stands for a running instance.
bool sharedSegmentIsOrphaned(const QSharedMemory& memory);

#endif // ORVANE_SHAREDSEGMENT_H
