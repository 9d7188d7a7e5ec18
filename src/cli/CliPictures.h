#pragma once
// Picture files named on the command line: read with the reader their extension chooses,
// written with the writer of the save filter their extension matches, as in the window.
#include "core/Raster.h"

#include <QString>

// Reads a picture file as the window does (a metafile onto a white picture of its own
// size). A file that cannot be read throws CliError with the window's error text, which
// names the file with its full path and the reason.
Raster readPictureArgument(const QString &path);

// The save filter index (1 to 8) for the file's extension; CliError when no picture
// writer has that extension.
int pictureWriterArgument(const QString &path);

// Throws CliError with the writers' text ("Cannot create file "PATH". REASON") when the file
// cannot be created there (a missing folder, no permission); nothing is written.
void checkWritable(const QString &path);

// Writes picture with the writer its extension chooses (JPEG, PCX and TGA as 24 bits).
// Failures throw CliError naming the file and the reason.
void writePictureArgument(const QString &path, const Raster &picture);
