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
    for (const int width : {2999, 3000, 3025})
        for (const int bits : {8, 7, 2})
            for (const int level : {1, 4, 6, 9, 12}) {
                std::mt19937 random(unsigned(width * 31 + bits * 7 + level));
                PngImageData data{Height, std::size_t(width) * 3, 3, PngFilter::None, level, std::size_t(width) * 6 + 2};
                const std::size_t line = data.rowBytes + 1;
                std::vector<uchar> rows(line * Height), stream; // as the file stores them: filter 0, bytes
                for (std::size_t i = 0; i < rows.size(); ++i)
                    rows[i] = i % line ? uchar(random() >> (32 - bits)) : 0;
                ASSERT_TRUE(CompressPngImageData(
                    data, [&](int y, uchar *out) { std::memcpy(out, &rows[line * std::size_t(y) + 1], data.rowBytes); },
                    [&](const uchar *piece, std::size_t size) { return stream.insert(stream.end(), piece, piece + size), true; }));
                std::vector<uchar> inflated(rows.size() + 1);
                uLongf size = uLongf(inflated.size());
                ASSERT_EQ(uncompress(inflated.data(), &size, stream.data(), uLong(stream.size())), Z_OK);
                inflated.resize(size);
                ASSERT_TRUE(inflated == rows) << width << " px, " << bits << " bits, level " << level;
            }
}
