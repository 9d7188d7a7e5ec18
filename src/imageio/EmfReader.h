#pragma once
// Reading enhanced metafiles: every field libemf2svg would trust is checked first, the
// checked copy is converted to SVG, and the SVG is painted with QSvgRenderer.
#include "core/Raster.h"

#include <QByteArray>
#include <QSize>

namespace metafile {

struct PreparedEmf
{
    QByteArray data; // header made safe for the converter, records up to EMR_EOF
    QSize size;
};

// Checks the header and every record of an enhanced metafile; throws LetrafexError for a
// damaged one.
PreparedEmf prepareEmf(const QByteArray &file);

// Converts the prepared metafile and draws it over the rectangle (0, 0, emf.size) of the
// picture; the converted picture is checked before the picture is touched.
void drawEmf(PreparedEmf &emf, Raster &picture);

} // namespace metafile
