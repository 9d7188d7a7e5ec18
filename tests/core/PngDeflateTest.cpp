#include "imageio/PngDeflate.h"

#include <QByteArray>
#include <QtEndian>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// The zlib stream of rows of a noisy gradient, compressed in pieces of pieceBytes by the
// given number of threads; sinkLimit pieces are taken, then the sink refuses.
struct Compressed
{
    bool ok = false;
    QByteArray stream;
    int pieces = 0;
};

Compressed compress(int width, int height, std::size_t pieceBytes, int threads, int sinkLimit = 1 << 30)
{
    std::vector<uchar> pixels(std::size_t(width) * std::size_t(height) * 3);
    std::mt19937 noise(5);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uchar(i / 7 + noise() % 9);
    PngImageData data;
    data.height = height;
    data.rowBytes = std::size_t(width) * 3;
    data.filter = PngFilter::Average;
    data.pieceBytes = pieceBytes;
    data.threads = threads;
    Compressed c;
    c.ok = CompressPngImageData(
        data, [&](int y, uchar *out) { std::copy_n(pixels.data() + std::size_t(y) * data.rowBytes, data.rowBytes, out); },
        [&](const uchar *piece, std::size_t size) {
            if (c.pieces == sinkLimit)
                return false;
            ++c.pieces;
            c.stream.append(reinterpret_cast<const char *>(piece), qsizetype(size));
            return true;
        });
    return c;
}

} // namespace

// The rows are compressed in pieces on two threads: the stream is the one a single thread
// makes, byte for byte, with an odd and an even number of pieces, and a whole zlib stream
// of every filtered row; a sink that refuses a piece ends the compression on both.
TEST(PngImageData, TwoThreadsGiveTheSameStreamAsOne)
{
    for (int height : {1, 40, 41, 97}) {
        const Compressed one = compress(300, height, 5000, 1), two = compress(300, height, 5000, 2);
        ASSERT_TRUE(one.ok && two.ok) << height;
        EXPECT_EQ(one.pieces, (height + 4) / 5) << height; // five 901-byte rows a piece
        EXPECT_EQ(two.stream, one.stream) << height;
        QByteArray sized(4, '\0');
        qToBigEndian<quint32>(quint32(height * 901), sized.data());
        EXPECT_EQ(qUncompress(sized + one.stream).size(), height * 901) << height;
    }
    const Compressed refused = compress(300, 97, 5000, 2, 3);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.pieces, 3);
}
