#include "imageio/PngDeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

// Rows compressed in pieces and joined into one zlib stream inflate with zlib to exactly
// the rows, at every level, for content that compresses into blocks of every kind:
// incompressible noise (stored blocks), noise of 7 bits a byte (literals without a single
// match, so a block without a distance code) and narrow noise (matches and literals).
TEST(PngImageData, JoinedPiecesInflateToTheRowsForEveryContentAndLevel)
{
    constexpr int Height = 9;
    const int bitsPerKind[] = {8, 7, 2};
    for (const int width : {2999, 3000, 3025})
        for (const int bits : bitsPerKind)
            for (const int level : {1, 4, 6, 9, 12}) {
                SCOPED_TRACE(testing::Message() << width << " px, " << bits << " bits, level " << level);
                std::mt19937 random(unsigned(width * 31 + bits * 7 + level));
                const std::size_t rowBytes = std::size_t(width) * 3;
                std::vector<uchar> rows(rowBytes * Height);
                for (uchar &b : rows)
                    b = uchar(random() >> (32 - bits));
                PngImageData data;
                data.height = Height;
                data.rowBytes = rowBytes;
                data.filter = PngFilter::None;
                data.level = level;
                data.pieceBytes = 2 * rowBytes; // several pieces to join
                std::vector<uchar> stream;
                ASSERT_TRUE(CompressPngImageData(
                    data, [&](int y, uchar *out) { std::memcpy(out, &rows[rowBytes * std::size_t(y)], rowBytes); },
                    [&](const uchar *piece, std::size_t size) { return stream.insert(stream.end(), piece, piece + size), true; }));
                std::vector<uchar> inflated((rowBytes + 1) * Height + 1);
                uLongf size = uLongf(inflated.size());
                ASSERT_EQ(uncompress(inflated.data(), &size, stream.data(), uLong(stream.size())), Z_OK);
                ASSERT_EQ(size, (rowBytes + 1) * Height);
                for (int y = 0; y < Height; ++y) {
                    const uchar *line = &inflated[(rowBytes + 1) * std::size_t(y)];
                    ASSERT_EQ(line[0], 0);
                    ASSERT_EQ(std::memcmp(line + 1, &rows[rowBytes * std::size_t(y)], rowBytes), 0) << "row " << y;
                }
            }
}
