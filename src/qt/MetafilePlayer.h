// Plays metafile records with a QPainter: mapping modes and window/viewport, world transforms,
// pens, brushes, fonts and the object table, shapes, lines, polygons, Bézier curves, paths, text,
// device-independent bitmaps, saved states and clipping. Unsupported records are skipped; every
// count inside a record is checked against the record's size.
#pragma once

#include "host/formats/Metafile.h"

#include <QRectF>

class QPainter;

namespace ferronel::qt {

// Plays Metafile into Target (in the painter's current coordinates), the picture stretched into it.
void PlayMetafile(const TMetafile& Metafile, QPainter& Painter, const QRectF& Target);

// Lets TMetafile::Draw play into any bitmap canvas (used by the converter and by tests).
void InstallMetafilePlayer();
// The same for programs without a window: makes the application object the painter needs when
// there is none (offscreen unless a platform was chosen).
void InstallOffscreenMetafilePlayer();

} // namespace ferronel::qt
