#pragma once
// The top-to-bottom gradient behind the program's message dialogs.
#include "core/Raster.h"

// A raster of width x height whose row y has ColorStep(c1, c2, height, y).
Raster dialogGradient(int width, int height, TColor c1, TColor c2);
