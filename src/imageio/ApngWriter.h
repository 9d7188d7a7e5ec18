#pragma once
// Animated PNG files: an ordinary PNG whose image data is the first frame, with the
// animation chunks (acTL, then fcTL and fdAT for each further frame) that animating
// viewers follow. Every frame covers the whole picture and replaces the one before, so a
// viewer without animation shows the first frame. Frames are compressed as the PNG writer
// compresses a picture (one filter for the picture, libdeflate) when they are added.
#include "imageio/AnimationWriter.h"

#include <memory>

// An APNG of width x height, RGBA when alpha is true (frames in Format_ARGB32 with
// straight alpha), RGB otherwise; it loops forever.
std::unique_ptr<AnimationWriter> newApngAnimation(int width, int height, bool alpha);
