#include "imageio/TiffSamples.h"

#include "core/MessageText.h"
#include "core/Raster.h"
#include "imageio/TiffPicture.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;
using Vector = std::array<double, 3>;

Vector times(const Matrix &m, const Vector &v)
{
    Vector r{};
    for (int i = 0; i < 3; ++i)
        r[size_t(i)] = m[size_t(i)][0] * v[0] + m[size_t(i)][1] * v[1] + m[size_t(i)][2] * v[2];
    return r;
}

Matrix times(const Matrix &a, const Matrix &b)
{
    Matrix r{};
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return r;
}

Matrix inverse(const Matrix &m)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Matrix r{};
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j) {
            // The cofactor of m[j][i].
            const size_t r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            r[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
        }
    return r;
}

// The white of chromaticity (x, y) with Y = 1.
Vector whiteOf(double x, double y) { return {x / y, 1.0, (1.0 - x - y) / y}; }

constexpr double D65x = 0.3127, D65y = 0.3290;

// XYZ relative to white (X / Xw, Y / Yw, Z / Zw) to linear sRGB: the XYZ of the colour,
// adapted from white to D65 by the Bradford transform, through the sRGB primaries.
Matrix labToLinearRgb(const Vector &white)
{
    const Matrix bradford{{{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};
    const Matrix toRgb{{{3.2404542, -1.5371385, -0.4985314},
                        {-0.9692660, 1.8760108, 0.0415560},
                        {0.0556434, -0.2040259, 1.0572252}}};
    const Vector from = times(bradford, white), to = times(bradford, whiteOf(D65x, D65y));
    Matrix scale{}, absolute{};
    for (size_t i = 0; i < 3; ++i) {
        scale[i][i] = to[i] / from[i];
        absolute[i][i] = white[i];
    }
    return times(toRgb, times(inverse(bradford), times(scale, times(bradford, absolute))));
}

int toLevel(double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

int srgbLevel(double linear)
{
    const double c = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(std::max(linear, 0.0), 1 / 2.4) - 0.055;
    return toLevel(c);
}

double halfToDouble(quint16 h)
{
    const int exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
    const double sign = (h & 0x8000) ? -1.0 : 1.0;
    if (exponent == 0)
        return sign * std::ldexp(mantissa, -24);
    if (exponent == 31)
        return mantissa ? std::nan("") : sign * HUGE_VAL;
    return sign * std::ldexp(mantissa + 1024, exponent - 25);
}

// What a directory holds, as far as the conversion needs it.
struct Layout
{
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG, photometric = 0;
    int colours = 1;     // colour samples before any extra ones
    int alpha = -1;      // the alpha sample, if any
    int alphaKind = TiffPicture::NoAlpha;
    double low = 0, high = 1; // the range of floating-point samples
    double unsignedMax = 1, signedMax = 1;
    const uint16_t *map[3] = {};
    Matrix lab{};        // XYZ relative to white to linear sRGB
};

bool describe(TIFF *tif, Layout &l)
{
    uint16_t format = SAMPLEFORMAT_UINT;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
        return false;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    l.format = format == SAMPLEFORMAT_VOID ? SAMPLEFORMAT_UINT : format;
    if (l.format == SAMPLEFORMAT_IEEEFP) {
        if (l.bits != 16 && l.bits != 32 && l.bits != 64)
            return false;
        double low = 0, high = 0;
        if (TIFFGetField(tif, TIFFTAG_SMINSAMPLEVALUE, &low) && TIFFGetField(tif, TIFFTAG_SMAXSAMPLEVALUE, &high) &&
            high > low)
            l.low = low, l.high = high;
    } else if (l.format != SAMPLEFORMAT_UINT && l.format != SAMPLEFORMAT_INT) {
        return false;
    } else if (l.bits < 1 || l.bits > 32) {
        return false;
    }
    l.unsignedMax = std::ldexp(1.0, l.bits) - 1;
    l.signedMax = std::max(1.0, std::ldexp(1.0, l.bits - 1) - 1);
    const bool integers = l.format != SAMPLEFORMAT_IEEEFP;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        l.colours = 1;
        break;
    case PHOTOMETRIC_RGB:
        l.colours = 3;
        break;
    case PHOTOMETRIC_PALETTE: {
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!integers || l.bits > 16 || !TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
            return false;
        l.map[0] = r, l.map[1] = g, l.map[2] = b;
        l.colours = 1;
        break;
    }
    case PHOTOMETRIC_SEPARATED: {
        uint16_t inks = INKSET_CMYK;
        if (TIFFGetField(tif, TIFFTAG_INKSET, &inks) && inks == INKSET_MULTIINK)
            return false;
        l.colours = 4;
        break;
    }
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB: {
        if (!integers || (l.bits != 8 && l.bits != 16))
            return false;
        float *xy = nullptr;
        const bool given = TIFFGetField(tif, TIFFTAG_WHITEPOINT, &xy) && xy && xy[0] > 0 && xy[1] > 0 &&
                           xy[0] + xy[1] < 1;
        l.lab = labToLinearRgb(given ? whiteOf(xy[0], xy[1]) : whiteOf(D65x, D65y));
        l.colours = 3;
        break;
    }
    default:
        return false;
    }
    // More samples than that are no picture's.
    if (l.samples < l.colours || l.samples > 64)
        return false;
    uint16_t extraCount = 0;
    uint16_t *extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0 && extra &&
        l.samples - extraCount >= l.colours && (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA)) {
        l.alpha = l.samples - extraCount;
        l.alphaKind = extra[0] == EXTRASAMPLE_ASSOCALPHA ? TiffPicture::Associated : TiffPicture::Unassociated;
    }
    return true;
}

// Sample i of a row as stored: integers as unsigned numbers, floating point as its value.
// libtiff has put 16-, 24-, 32- and 64-bit samples in the machine's byte order already.
double raw(const uchar *row, qint64 i, const Layout &l)
{
    if (l.format == SAMPLEFORMAT_IEEEFP) {
        if (l.bits == 16)
            return halfToDouble(qFromUnaligned<quint16>(row + 2 * i));
        if (l.bits == 32)
            return double(qFromUnaligned<float>(row + 4 * i));
        return qFromUnaligned<double>(row + 8 * i);
    }
    switch (l.bits) {
    case 8:
        return row[i];
    case 16:
        return qFromUnaligned<quint16>(row + 2 * i);
    case 32:
        return qFromUnaligned<quint32>(row + 4 * i);
    case 24: {
        const uchar *p = row + 3 * i;
        return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? p[0] | p[1] << 8 | p[2] << 16 : p[2] | p[1] << 8 | p[0] << 16;
    }
    default: {
        // Other sizes are packed from the most significant bit on.
        quint64 v = 0;
        qint64 at = i * l.bits;
        for (int left = l.bits; left > 0;) {
            const int used = int(at & 7), take = std::min(8 - used, left);
            v = v << take | ((row[at >> 3] >> (8 - used - take)) & ((1u << take) - 1));
            at += take;
            left -= take;
        }
        return double(v);
    }
    }
}

// A stored sample as a level from 0 to 1.
double level(double v, const Layout &l)
{
    if (l.format == SAMPLEFORMAT_IEEEFP)
        return std::isnan(v) ? 0.0 : std::clamp((v - l.low) / (l.high - l.low), 0.0, 1.0);
    if (l.format == SAMPLEFORMAT_INT) {
        const double half = std::ldexp(1.0, l.bits - 1);
        return std::max(0.0, v >= half ? v - 2 * half : v) / l.signedMax;
    }
    return v / l.unsignedMax;
}

QRgb labColour(double L, double a, double b, const Layout &l)
{
    const auto finv = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
    const double fy = (L + 16) / 116;
    const Vector relative{finv(fy + a / 500), finv(fy), finv(fy - b / 200)};
    const Vector rgb = times(l.lab, relative);
    return qRgb(srgbLevel(rgb[0]), srgbLevel(rgb[1]), srgbLevel(rgb[2]));
}

// One pixel from its samples, s[k] the row holding sample k and at the sample's index there.
QRgb pixel(const uchar *const *s, const qint64 *at, const Layout &l)
{
    const auto get = [&](int k) { return raw(s[k], at[k], l); };
    const auto lv = [&](int k) { return toLevel(level(get(k), l)); };
    QRgb c = 0;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK: {
        const int v = lv(0);
        c = l.photometric == PHOTOMETRIC_MINISWHITE ? qRgb(255 - v, 255 - v, 255 - v) : qRgb(v, v, v);
        break;
    }
    case PHOTOMETRIC_RGB:
        c = qRgb(lv(0), lv(1), lv(2));
        break;
    case PHOTOMETRIC_PALETTE: {
        const size_t i = size_t(get(0));
        c = qRgb(l.map[0][i] >> 8, l.map[1][i] >> 8, l.map[2][i] >> 8);
        break;
    }
    case PHOTOMETRIC_SEPARATED: {
        const double k = 1 - level(get(3), l);
        c = qRgb(toLevel((1 - level(get(0), l)) * k), toLevel((1 - level(get(1), l)) * k),
                 toLevel((1 - level(get(2), l)) * k));
        break;
    }
    default: { // L*a*b*
        const double L = get(0) / l.unsignedMax * 100;
        double a = get(1), b = get(2);
        const double half = l.bits == 8 ? 128 : 32768;
        if (l.photometric == PHOTOMETRIC_CIELAB) {
            a = a >= half ? a - 2 * half : a;
            b = b >= half ? b - 2 * half : b;
        } else {
            a -= half;
            b -= half;
        }
        if (l.bits == 16)
            a /= 256, b /= 256;
        c = labColour(L, a, b, l);
        break;
    }
    }
    if (l.alpha < 0)
        return c;
    const int alpha = lv(l.alpha);
    return qRgb(TiffPicture::overWhite(qRed(c), alpha, l.alphaKind), TiffPicture::overWhite(qGreen(c), alpha, l.alphaKind),
                TiffPicture::overWhite(qBlue(c), alpha, l.alphaKind));
}

// The rows of one band (a strip, or a row of tiles) for each plane.
class Bands
{
public:
    Bands(TIFF *tif, const Layout &l) : tif_(tif), l_(l)
    {
        planes_ = l.planar == PLANARCONFIG_SEPARATE ? l.samples : 1;
        perPlane_ = l.planar == PLANARCONFIG_SEPARATE ? 1 : l.samples;
        rowBytes_ = (qint64(l.width) * perPlane_ * l.bits + 7) / 8;
        if (TIFFIsTiled(tif)) {
            TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth_);
            TIFFGetField(tif, TIFFTAG_TILELENGTH, &height_);
        } else {
            TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &height_);
        }
        height_ = std::min(height_, l.height);
    }

    // Why the bands cannot be read; empty when they can.
    QString problem() const
    {
        const bool tiled = TIFFIsTiled(tif_);
        if (height_ == 0 || (tiled && (tileWidth_ == 0 || tileWidth_ % 8)) ||
            (!tiled && TIFFScanlineSize64(tif_) != quint64(rowBytes_)))
            return messageText("Error reading image data");
        // Samples of up to 8 bytes for a picture of 4 bytes a pixel.
        if (qint64(planes_) * rowBytes_ * height_ > 2 * Raster::MaxBytes ||
            (tiled && TIFFTileSize64(tif_) > quint64(2 * Raster::MaxBytes)))
            return messageText("Error: an image of %1 x %2 pixels is too large to read").arg(l_.width).arg(l_.height);
        return {};
    }

    uint32_t height() const { return height_; }
    int planes() const { return planes_; }
    int perPlane() const { return perPlane_; }

    // Reads the band starting at row y; false when libtiff could not.
    bool read(uint32_t y)
    {
        rows_ = std::min(height_, l_.height - y);
        data_.resize(size_t(planes_));
        for (int p = 0; p < planes_; ++p) {
            std::vector<uchar> &d = data_[size_t(p)];
            if (TIFFIsTiled(tif_) ? !readTiles(y, p, d) : !readStrip(y, p, d))
                return false;
        }
        return true;
    }

    // Row r of the band in plane p.
    const uchar *row(int p, uint32_t r) const { return data_[size_t(p)].data() + rowBytes_ * r; }

private:
    // Row by row, the band growing with each row decoded: the memory taken follows the data
    // the file holds, whatever number of rows its strip claims.
    bool readStrip(uint32_t y, int plane, std::vector<uchar> &d)
    {
        d.clear();
        for (uint32_t r = 0; r < rows_; ++r) {
            d.resize(size_t(rowBytes_ * (r + 1)));
            if (TIFFReadScanline(tif_, d.data() + rowBytes_ * r, y + r, uint16_t(plane)) < 0)
                return false;
        }
        return true;
    }

    bool readTiles(uint32_t y, int plane, std::vector<uchar> &d)
    {
        d.assign(size_t(rowBytes_ * height_), 0);
        const tmsize_t tileBytes = TIFFTileSize(tif_), tileRow = TIFFTileRowSize(tif_);
        if (tileBytes <= 0 || tileRow <= 0 || tileRow * tmsize_t(height_) > tileBytes)
            return false;
        tile_.resize(size_t(tileBytes));
        for (uint32_t x = 0; x < l_.width; x += tileWidth_) {
            if (TIFFReadTile(tif_, tile_.data(), x, y, 0, uint16_t(plane)) < 0)
                return false;
            // Tile widths are multiples of 16 pixels, so every tile starts on a whole byte.
            const qint64 start = qint64(x) * perPlane_ * l_.bits / 8;
            const qint64 n = std::min<qint64>(tileRow, rowBytes_ - start);
            for (uint32_t r = 0; r < rows_; ++r)
                std::memcpy(d.data() + rowBytes_ * r + start, tile_.data() + tileRow * r, size_t(n));
        }
        return true;
    }

    TIFF *tif_;
    const Layout &l_;
    int planes_ = 1, perPlane_ = 1;
    qint64 rowBytes_ = 0;
    uint32_t tileWidth_ = 0, height_ = 0, rows_ = 0;
    std::vector<std::vector<uchar>> data_;
    std::vector<uchar> tile_;
};

} // namespace

namespace TiffSamples {

bool handles(TIFF *tif)
{
    Layout l;
    if (!describe(tif, l))
        return false;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression))
        return false;
    // libtiff's RGBA reader shows L*a*b* against its own display white, and takes CMYK of
    // other than 8 bits without being able to read it; everything else it reads, it
    // reads as it is meant.
    char ignored[1024];
    return l.photometric == PHOTOMETRIC_CIELAB || l.photometric == PHOTOMETRIC_ICCLAB ||
           (l.photometric == PHOTOMETRIC_SEPARATED && l.bits != 8) || !TIFFRGBAImageOK(tif, ignored);
}

bool read(TIFF *tif, QImage &image, QString &why)
{
    Layout l;
    if (!describe(tif, l)) {
        why = messageText("Error reading image data");
        return false;
    }
    Bands bands(tif, l);
    why = bands.problem();
    if (!why.isEmpty())
        return false;
    const uchar *rows[64] = {};
    qint64 at[64] = {};
    const int samples = l.samples;
    for (uint32_t y = 0; y < l.height; y += bands.height()) {
        if (!bands.read(y)) {
            why = messageText("Error reading image data");
            return false;
        }
        for (uint32_t r = 0; r < bands.height() && y + r < l.height; ++r) {
            for (int k = 0; k < samples; ++k)
                rows[k] = bands.row(bands.planes() > 1 ? k : 0, r);
            QRgb *d = reinterpret_cast<QRgb *>(image.scanLine(int(y + r)));
            for (uint32_t x = 0; x < l.width; ++x) {
                for (int k = 0; k < samples; ++k)
                    at[k] = bands.planes() > 1 ? qint64(x) : qint64(x) * bands.perPlane() + k;
                d[x] = pixel(rows, at, l);
            }
        }
    }
    return true;
}

} // namespace TiffSamples
