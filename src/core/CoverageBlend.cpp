#include "core/CoverageBlend.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

constexpr int Group = CoverageGroup;

// QPainter's product of a pixel's four channels with a / 255, rounded.
inline QRgb byteMul(QRgb x, uint a)
{
    uint t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080);
    x &= 0xff00ff00;
    return x | t;
}

// Blends pixels one by one.
void blendPixels(QRgb *dst, const uchar *cover, int n, QRgb color)
{
    for (int i = 0; i < n; ++i)
        if (cover[i])
            dst[i] = cover[i] == 255 ? color : byteMul(color, cover[i]) + byteMul(dst[i], 255u - cover[i]);
}

#if defined(__SSE2__)
// Eight pixels at a time, each channel in a 16-bit lane: x·a fits in 16 bits, and so does
// x·a + (x·a >> 8) + 0x80, so the lanes compute byteMul's exact result. Groups without
// coverage are skipped and fully covered ones filled.
inline __m128i mul255(__m128i x, __m128i a)
{
    const __m128i t = _mm_mullo_epi16(x, a);
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), _mm_set1_epi16(0x80)), 8);
}

// Four pixels whose coverage is in the low four bytes of a.
inline void blendFourSse2(QRgb *dst, __m128i a, __m128i c)
{
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(255);
    a = _mm_unpacklo_epi8(a, a);
    a = _mm_unpacklo_epi16(a, a); // each pixel's coverage in its four bytes
    const __m128i alo = _mm_unpacklo_epi8(a, zero), ahi = _mm_unpackhi_epi8(a, zero);
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
    const __m128i lo = _mm_add_epi16(mul255(c, alo), mul255(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(full, alo)));
    const __m128i hi = _mm_add_epi16(mul255(c, ahi), mul255(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(full, ahi)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm_packus_epi16(lo, hi));
}

int blendGroupsSse2(QRgb *dst, const uchar *cover, int n, QRgb color)
{
    const __m128i c = _mm_unpacklo_epi8(_mm_set1_epi32(int(color)), _mm_setzero_si128());
    const __m128i solid = _mm_set1_epi32(int(color));
    int i = 0;
    for (; i + Group <= n; i += Group) {
        quint64 eight;
        std::memcpy(&eight, cover + i, sizeof eight);
        if (eight == 0)
            continue;
        if (eight == ~quint64(0)) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), solid);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i + 4), solid);
            continue;
        }
        blendFourSse2(dst + i, _mm_cvtsi32_si128(int(quint32(eight))), c);
        blendFourSse2(dst + i + 4, _mm_cvtsi32_si128(int(quint32(eight >> 32))), c);
    }
    return i;
}

__attribute__((target("avx2"))) inline __m256i mul255Avx2(__m256i x, __m256i a)
{
    const __m256i t = _mm256_mullo_epi16(x, a);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), _mm256_set1_epi16(0x80)), 8);
}

// The same with eight pixels in one register, on processors that have AVX2.
__attribute__((target("avx2"))) int blendGroupsAvx2(QRgb *dst, const uchar *cover, int n, QRgb color)
{
    const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi16(255);
    const __m256i solid = _mm256_set1_epi32(int(color));
    const __m256i c = _mm256_unpacklo_epi8(solid, zero);
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4, 4, 4, 4,
                                            8, 8, 8, 8, 12, 12, 12, 12);
    int i = 0;
    for (; i + Group <= n; i += Group) {
        quint64 eight;
        std::memcpy(&eight, cover + i, sizeof eight);
        if (eight == 0)
            continue;
        __m256i *to = reinterpret_cast<__m256i *>(dst + i);
        if (eight == ~quint64(0)) {
            _mm256_storeu_si256(to, solid);
            continue;
        }
        const __m256i a = _mm256_shuffle_epi8(_mm256_cvtepu8_epi32(_mm_cvtsi64_si128(qint64(eight))), spread);
        const __m256i alo = _mm256_unpacklo_epi8(a, zero), ahi = _mm256_unpackhi_epi8(a, zero);
        const __m256i d = _mm256_loadu_si256(to);
        const __m256i lo =
            _mm256_add_epi16(mul255Avx2(c, alo), mul255Avx2(_mm256_unpacklo_epi8(d, zero), _mm256_sub_epi16(full, alo)));
        const __m256i hi =
            _mm256_add_epi16(mul255Avx2(c, ahi), mul255Avx2(_mm256_unpackhi_epi8(d, zero), _mm256_sub_epi16(full, ahi)));
        _mm256_storeu_si256(to, _mm256_packus_epi16(lo, hi));
    }
    return i;
}

const bool haveAvx2 = __builtin_cpu_supports("avx2");
#endif

} // namespace

void blendCoverageRow(QRgb *dst, const uchar *cover, int n, QRgb color)
{
    int i = 0;
#if defined(__SSE2__)
    i = haveAvx2 ? blendGroupsAvx2(dst, cover, n, color) : blendGroupsSse2(dst, cover, n, color);
#endif
    blendPixels(dst + i, cover + i, n - i, color);
}
