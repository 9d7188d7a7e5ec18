#pragma once
// Animated PNG files: an ordinary PNG whose image data is the finished picture (the last
// frame), which viewers without animation show, followed by the animation chunks (acTL,
// then fcTL and fdAT for every frame) that animating viewers follow. The first frame covers
// the whole picture; each further one covers the area where it differs from the frame
// before and replaces that area. Frames are compressed as the PNG writer compresses a
// picture (one filter for the picture, libdeflate) when they are added. A single frame is
// written as the plain PNG of that picture.
#include "imageio/AnimationWriter.h"

#include <memory>

// An APNG of width x height, RGBA when alpha is true (frames in Format_ARGB32 with
// straight alpha), RGB otherwise; it loops forever.
std::unique_ptr<AnimationWriter> newApngAnimation(int width, int height, bool alpha);
