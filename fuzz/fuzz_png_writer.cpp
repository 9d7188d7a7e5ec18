// libFuzzer target for the PNG writer: a random picture of any kind (WriterFuzz.h) is saved
// as PNG, as the save command saves it, and libpng, called directly, must read back its
// pixels; a transparent picture keeps its alpha.
#include "WriterFuzz.h"
#include "core/Errors.h"
#include "imageio/PictureFiles.h"

#include <QFile>
#include <QImage>

#include <png.h>

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writerfuzz::Input in{data, size};
    const Raster picture = writerfuzz::picture(in);
    static const QString file = writerfuzz::scratchFile("png");
    try {
        savePictureFile(file, SavePng, picture);
    } catch (const LetrafexError &e) {
        std::fprintf(stderr, "PNG writer refused a %d-bit picture: %s\n", picture.bitCount(), qPrintable(e.text()));
        std::abort();
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, QFile::encodeName(file).constData())) {
        std::fprintf(stderr, "libpng cannot read the file: %s\n", image.message);
        std::abort();
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (int(image.width) != picture.width() || int(image.height) != picture.height() ||
        !png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        std::fprintf(stderr, "libpng read %ux%u for %dx%d: %s\n", image.width, image.height, picture.width(),
                     picture.height(), image.message);
        std::abort();
    }
    const QImage pixels(rgba.data(), picture.width(), picture.height(), QImage::Format_RGBA8888);
    if (writerfuzz::largestDifference(picture, pixels) > writerfuzz::tolerance(picture)) {
        std::fprintf(stderr, "PNG: a %d-bit %dx%d picture reads back other pixels\n", picture.bitCount(), picture.width(),
                     picture.height());
        std::abort();
    }
    return 0;
}
