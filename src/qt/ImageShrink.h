// A fast shrink for display: each target pixel is the average of the source pixels its area
// covers (whole pixels), computed over whole rows and split between threads. Much cheaper than a
// general smooth scaler on large pictures, and as smooth at the ratios where it is used.
#pragma once

#include <QImage>

namespace ferronel::qt {

// Whether ShrinkImage serves this image and size: 24- and 32-bit pixels, at least half size less.
bool CanShrinkFast(const QImage& Image, QSize Target);
// The image shrunk to Target; the result has the source's format.
QImage ShrinkImage(const QImage& Image, QSize Target);
// The image smoothly scaled down to Target, as the viewer shows a shrunk picture: ShrinkImage where
// it serves, Qt's smooth scaling otherwise.
QImage ScaleDown(const QImage& Image, QSize Target);

} // namespace ferronel::qt
