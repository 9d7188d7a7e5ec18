#pragma once
// Playing a checked old-style metafile with libwmflite and the device layer.
#include "core/Raster.h"
#include "imageio/WmfChecks.h"

namespace metafile {

// Fills in the size of a picture that gives no extent from what it draws; throws
// LetrafexError when the player finds it damaged or without a size.
void measureWmf(PreparedWmf &wmf);

// Plays the metafile onto a copy of the picture and keeps the copy only when the whole
// metafile played.
void drawWmf(PreparedWmf &wmf, Raster &picture);

} // namespace metafile
