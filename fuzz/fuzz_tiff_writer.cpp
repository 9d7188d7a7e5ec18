// libFuzzer target for the TIFF writer: a random picture of any kind (WriterFuzz.h) is saved
// as TIFF, as the save command saves it, and libtiff's RGBA reader, called directly, must
// read back its pixels; a transparent picture keeps its alpha.
#include "WriterFuzz.h"
#include "core/Errors.h"
#include "imageio/PictureFiles.h"

#include <QFile>
#include <QImage>

#include <tiffio.h>

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writerfuzz::Input in{data, size};
    const Raster picture = writerfuzz::picture(in);
    static const QString file = writerfuzz::scratchFile("tif");
    try {
        savePictureFile(file, SaveTiff, picture);
    } catch (const LetrafexError &e) {
        std::fprintf(stderr, "TIFF writer refused a %d-bit picture: %s\n", picture.bitCount(), qPrintable(e.text()));
        std::abort();
    }
    TIFFSetWarningHandler(nullptr);
    TIFF *tiff = TIFFOpen(QFile::encodeName(file).constData(), "r");
    uint32_t width = 0, height = 0;
    if (tiff) {
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    }
    // libtiff's RGBA pixels hold red in the low byte: R, G, B, A in memory, alpha premultiplied.
    std::vector<uint32_t> rgba(size_t(width) * height);
    const bool read = tiff && int(width) == picture.width() && int(height) == picture.height() &&
                      TIFFReadRGBAImageOriented(tiff, width, height, rgba.data(), ORIENTATION_TOPLEFT, 0);
    if (tiff)
        TIFFClose(tiff);
    if (!read) {
        std::fprintf(stderr, "libtiff read %ux%u for a %d-bit %dx%d picture\n", width, height, picture.bitCount(),
                     picture.width(), picture.height());
        std::abort();
    }
    const QImage pixels(reinterpret_cast<const uchar *>(rgba.data()), picture.width(), picture.height(), QImage::Format_RGBA8888_Premultiplied);
    if (writerfuzz::largestDifference(picture, pixels) > writerfuzz::tolerance(picture)) {
        std::fprintf(stderr, "TIFF: a %d-bit %dx%d picture reads back other pixels\n", picture.bitCount(), picture.width(),
                     picture.height());
        std::abort();
    }
    return 0;
}
