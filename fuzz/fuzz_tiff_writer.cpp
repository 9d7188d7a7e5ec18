// libFuzzer target for the TIFF writer: a random picture of any kind (WriterFuzz.h) is saved
// as TIFF, as the save command saves it, and libtiff's RGBA reader, called directly, must
// read back its pixels; a transparent picture keeps its alpha.
#include "WriterFuzz.h"

#include <QFile>
#include <QImage>

#include <tiffio.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString file;
    const Raster picture = writerfuzz::savedPicture(data, size, SaveTiff, "tif", file);
    TIFFSetWarningHandler(nullptr);
    TIFF *tiff = TIFFOpen(QFile::encodeName(file).constData(), "r");
    uint32_t width = 0, height = 0;
    // libtiff's RGBA pixels hold red in the low byte: R, G, B, A in memory, alpha premultiplied.
    std::vector<uint32_t> rgba;
    QImage pixels;
    if (tiff) {
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        rgba.resize(size_t(width) * height);
        if (int(width) == picture.width() && int(height) == picture.height() &&
            TIFFReadRGBAImageOriented(tiff, width, height, rgba.data(), ORIENTATION_TOPLEFT, 0))
            pixels = QImage(reinterpret_cast<const uchar *>(rgba.data()), int(width), int(height),
                            QImage::Format_RGBA8888_Premultiplied);
        TIFFClose(tiff);
    }
    writerfuzz::expectSamePixels(picture, pixels, "tif");
    return 0;
}
