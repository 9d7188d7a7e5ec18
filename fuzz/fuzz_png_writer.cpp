// libFuzzer target for the PNG writer: a random picture of any kind (WriterFuzz.h) is saved
// as PNG, as the save command saves it, and libpng, called directly, must read back its
// pixels; a transparent picture keeps its alpha.
#include "WriterFuzz.h"

#include <QFile>
#include <QImage>

#include <png.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString file;
    const Raster picture = writerfuzz::savedPicture(data, size, SavePng, "png", file);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> rgba;
    QImage pixels;
    if (png_image_begin_read_from_file(&image, QFile::encodeName(file).constData())) {
        image.format = PNG_FORMAT_RGBA;
        rgba.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
            pixels = QImage(rgba.data(), int(image.width), int(image.height), QImage::Format_RGBA8888);
    }
    if (pixels.isNull())
        std::fprintf(stderr, "libpng: %s\n", image.message);
    writerfuzz::expectSamePixels(picture, pixels, "png");
    return 0;
}
