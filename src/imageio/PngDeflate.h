#pragma once
// The image data of a PNG file: rows filtered with one filter for the whole picture and
// compressed with libdeflate into one zlib stream. libdeflate only compresses whole
// buffers, so the rows go in pieces of a few MiB, each compressed on its own and joined
// into one stream: a large picture never needs a second full-size copy in memory.
#include <QImage>
#include <QtGlobal>

#include <cstddef>
#include <functional>

enum class PngFilter : quint8 { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

// Writes row y as stored in the file before filtering (rowBytes bytes) into out.
using PngRowSource = std::function<void(int y, uchar *out)>;
// Takes the next piece of the zlib stream; false stops the compression.
using PngStreamSink = std::function<bool(const uchar *data, std::size_t size)>;

struct PngImageData
{
    int height = 0;
    std::size_t rowBytes = 0; // without the filter byte
    int pixelBytes = 3;       // the distance the Sub, Average and Paeth filters look back
    PngFilter filter = PngFilter::Up;
    int level = 6; // libdeflate's, 1 to 12
    // Filtered bytes compressed at a time: small pieces keep the 4x export within its memory
    // bound at the cost of about 1 % in file size (the ten-item export at 4x).
    std::size_t pieceBytes = std::size_t(256) << 10;
};

// Filters and compresses the rows and hands the zlib stream (header, data, Adler-32) to
// sink in pieces. False when memory runs out or sink refuses a piece.
bool CompressPngImageData(const PngImageData &data, const PngRowSource &rows, const PngStreamSink &sink);

struct PngEncoding
{
    PngFilter filter = PngFilter::Up;
    int level = 6;
};

// The filter and level for a picture of 32-bit pixels, from a few sampled rows. Measured
// (bench/PngBench.cpp) on drawn compositions, noisy gradients and smooth and fractal
// photographs: Up or Average always compressed best (Sub, Paeth and libpng's choice per
// row never did), and the one with the smaller residuals on the sampled rows was the
// better one. Level 6 for pictures that mostly repeat the row above (drawn text and
// flat areas: smaller files than zlib's level 6 at a quarter of its time), level 4 for
// photographs, which it compresses within a few per cent of level 6 in less than half
// the time.
PngEncoding ChoosePngEncoding(const uchar *pixels, int width, int height, qsizetype stride);

// Row y of a 32-bit picture as a PNG stores it: red, green, blue and, when pixelBytes is 4,
// the alpha.
void StorePngRow(const QImage &pixels, int y, int pixelBytes, uchar *out);

// The image data of a 32-bit picture with pixelBytes (3, or 4 with alpha) per pixel, with
// the filter and level ChoosePngEncoding gives it. store replaces StorePngRow where the
// file stores the rows otherwise (a transparent key colour).
bool CompressPngPicture(const QImage &pixels, int pixelBytes, const PngStreamSink &sink, const PngRowSource &store = {});
