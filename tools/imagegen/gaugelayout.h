// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_GAUGELAYOUT_H
#define ORVANE_IMAGEGEN_GAUGELAYOUT_H

#include <QConicalGradient>
#include <QPainterPath>
#include <QPointF>
#include <QVector>

// Geometry shared by the unlit gauge and its lit frames, so every frame lies exactly over the background.
// The arc runs clockwise over 270 degrees from lower left to lower right. It is made of 12 equal groups of
// segments: group 0 is the base, group g (1..11) ends at the printed mark 200, 300, 400, 600 ... 2000.
namespace gauge {

constexpr int kSize = 800;
constexpr int kGroups = 12;
constexpr int kSegmentsPerGroup = 4;
constexpr int kSegments = kGroups * kSegmentsPerGroup;
constexpr qreal kStartDeg = 225.0;
constexpr qreal kSweepDeg = 270.0;
constexpr qreal kSegmentGapDeg = 1.6;
constexpr qreal kSegmentInner = 306.0;
constexpr qreal kSegmentOuter = 358.0;
constexpr qreal kTrackRadius = 373.0;
constexpr qreal kTickOuter = 298.0;
constexpr qreal kMajorTickInner = 284.0;
constexpr qreal kMinorTickInner = 292.0;
constexpr qreal kLabelRim = 274.0; // the marks stay inside this radius
constexpr qreal kFaceRadius = 396.0;
constexpr qreal kBezelInner = 382.0;
constexpr qreal kCalmRadius = 242.0;

QPointF centre();

// Angle in degrees of a position 0..1 along the arc.
qreal angleAt(qreal t);

// Arc position at the end of a group.
qreal groupEnd(int group);

// The annular sector of one segment.
QPainterPath segmentPath(int segment);

// The sector from the arc's start to position t, between two radii.
QPainterPath sectorPath(qreal innerRadius, qreal outerRadius, qreal t);

// The picture numbers of the frames in rising order: 1, 2, 3, 4, 6, 8 ... 20; the index is the lit level.
const QVector<int>& frameNumbers();

// An open arc from the arc's start to position t, for stroking.
QPainterPath arcPath(qreal radius, qreal t);

// The printed value at the end of group g (1..11), e.g. 200 for group 1 and 2000 for group 11.
int markValue(int group);

// The printed mark of group g as a path, centred on its place inside the arc.
QPainterPath markPath(int group);

// The captions under the readouts.
QPainterPath unitCaption();
QPainterPath titleCaption();

// Colours along the arc as a conical gradient around the centre.
QConicalGradient arcGradient();

} // namespace gauge

#endif // ORVANE_IMAGEGEN_GAUGELAYOUT_H
