#pragma once
// Metafiles: enhanced (EMF) and old-style (WMF, with or without the placeable header)
// pictures are drawn onto an existing raster; rasters are saved as enhanced metafiles.
//
// Reading: EMF is converted to SVG by libemf2svg and painted with QSvgRenderer; WMF is
// played by libwmflite, whose drawing calls a device layer here paints with QPainter. The
// format is told from the content, not the file name. Both libraries trust their input, so
// every header field, record size, object index and embedded bitmap they would look at is
// checked here first; a damaged file throws LetrafexError and leaves the picture untouched.
//
// A metafile's own size, in pixels at 96 per inch:
// - EMF: the header's frame (0.01 mm); when the frame is empty, the bounds (device pixels
//   of the reference device, scaled to 96 per inch).
// - WMF with the placeable header: its bounding box divided by its units per inch.
// - WMF without it: the viewport extent under the isotropic/anisotropic map modes, else the
//   window extent, else the extent of what it draws; one unit is one pixel, but extents of a
//   million square units or more are taken as twips (1440 an inch).
//
// Writing produces a header, one EMR_STRETCHDIBITS record with a 24-bit DIB of the whole
// picture at (0, 0), and EMR_EOF, for a reference device of 96 pixels per inch.
#include "core/Errors.h"
#include "core/Raster.h"

#include <QByteArray>
#include <QSize>
#include <QString>

// Draws the metafile in the file once, at its own size, with its top-left corner at (0, 0)
// onto picture as it is: the picture keeps its size and the pixels the metafile leaves
// alone; the drawing is clipped to it. An empty picture is left empty. Throws
// LetrafexError for a missing, unreadable, unknown or damaged file.
void LoadMetafile(const QString &fileName, Raster &picture);

// As LoadMetafile, for a metafile held in memory.
void ReadMetafile(const QByteArray &data, Raster &picture);

// The metafile's own size in pixels (see above), after the same checks the reader makes.
QSize MetafileSize(const QByteArray &data);

// Encodes the picture as an enhanced metafile of its width and height. An empty picture
// throws LetrafexError.
QByteArray EncodeMetafile(const Raster &picture);

// Writes EncodeMetafile(picture) to the file; the file is replaced whole or not at all.
void SaveMetafile(const QString &fileName, const Raster &picture);
