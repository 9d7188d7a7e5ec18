// Writing: an enhanced metafile of one EMR_STRETCHDIBITS record holding the whole picture.
#include "imageio/MetafileCodec.h"

#include "core/MessageText.h"
#include "imageio/MetafileInternal.h"

#include <QImage>

#include <cstddef>

extern "C" {
#include <uemf.h>
}

using namespace metafile;

QByteArray EncodeMetafile(const Raster &picture)
{
    if (picture.isEmpty())
        fail(messageText("There is no picture to save."));
    const int w = picture.width(), h = picture.height();
    const qint64 stride = Raster::dibStride(w, 24);
    const qint64 bitsSize = stride * h;
    constexpr qint64 BlitSize = sizeof(U_EMRSTRETCHDIBITS), InfoSize = sizeof(U_BITMAPINFOHEADER);
    constexpr qint64 EofSize = sizeof(U_EMREOF) + 4; // with nSizeLast
    static_assert(sizeof(U_EMRHEADER) == EmfHeaderSize && BlitSize == 80 && InfoSize == 40 && EofSize == 20);
    const qint64 total = EmfHeaderSize + BlitSize + InfoSize + bitsSize + EofSize;
    if (!Raster::sizeAllowed(w, h) || total > 0xFFFFFFFFLL)
        fail(messageText("The picture is too large for a metafile."));

    QByteArray out(qsizetype(total), '\0');
    // Bounds and frame give the full extent (right = width): the other readers on this
    // platform take right - left as the picture's size.
    putU32(out, offsetof(U_EMRHEADER, emr.iType), U_EMR_HEADER);
    putU32(out, offsetof(U_EMRHEADER, emr.nSize), quint32(EmfHeaderSize));
    putI32(out, offsetof(U_EMRHEADER, rclBounds.right), w);
    putI32(out, offsetof(U_EMRHEADER, rclBounds.bottom), h);
    putI32(out, offsetof(U_EMRHEADER, rclFrame.right), qRound(w * HundredthMmPerInch / PixelsPerInch));
    putI32(out, offsetof(U_EMRHEADER, rclFrame.bottom), qRound(h * HundredthMmPerInch / PixelsPerInch));
    putU32(out, offsetof(U_EMRHEADER, dSignature), EmfSignature);
    putU32(out, offsetof(U_EMRHEADER, nVersion), 0x00010000);
    putU32(out, offsetof(U_EMRHEADER, nBytes), quint32(total));
    putU32(out, offsetof(U_EMRHEADER, nRecords), 3);
    putU16(out, offsetof(U_EMRHEADER, nHandles), 1); // only the reserved entry
    // A reference device of 20 x 15 inches at 96 pixels per inch: pixels, millimetres and
    // micrometres agree exactly.
    putI32(out, offsetof(U_EMRHEADER, szlDevice.cx), 1920);
    putI32(out, offsetof(U_EMRHEADER, szlDevice.cy), 1440);
    putI32(out, offsetof(U_EMRHEADER, szlMillimeters.cx), 508);
    putI32(out, offsetof(U_EMRHEADER, szlMillimeters.cy), 381);
    putI32(out, offsetof(U_EMRHEADER, szlMicrometers.cx), 508000);
    putI32(out, offsetof(U_EMRHEADER, szlMicrometers.cy), 381000);

    const qsizetype blit = EmfHeaderSize;
    const auto blitField = [&](std::size_t offset) { return blit + qsizetype(offset); };
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, emr.iType)), U_EMR_STRETCHDIBITS);
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, emr.nSize)), quint32(BlitSize + InfoSize + bitsSize));
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, rclBounds.right)), w - 1); // inclusive
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, rclBounds.bottom)), h - 1);
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cSrc.x)), w);
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cSrc.y)), h);
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, offBmiSrc)), quint32(BlitSize));
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cbBmiSrc)), quint32(InfoSize));
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, offBitsSrc)), quint32(BlitSize + InfoSize));
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cbBitsSrc)), quint32(bitsSize));
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, iUsageSrc)), U_DIB_RGB_COLORS);
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, dwRop)), U_SRCCOPY);
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cDest.x)), w);
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cDest.y)), h);

    const qsizetype info = blit + BlitSize;
    putU32(out, info + offsetof(U_BITMAPINFOHEADER, biSize), quint32(InfoSize));
    putI32(out, info + offsetof(U_BITMAPINFOHEADER, biWidth), w);
    putI32(out, info + offsetof(U_BITMAPINFOHEADER, biHeight), h); // rows bottom-up
    putU16(out, info + offsetof(U_BITMAPINFOHEADER, biPlanes), 1);
    putU16(out, info + offsetof(U_BITMAPINFOHEADER, biBitCount), 24);
    putU32(out, info + offsetof(U_BITMAPINFOHEADER, biCompression), U_BI_RGB);
    putU32(out, info + offsetof(U_BITMAPINFOHEADER, biSizeImage), quint32(bitsSize));
    putI32(out, info + offsetof(U_BITMAPINFOHEADER, biXPelsPerMeter), 3780);
    putI32(out, info + offsetof(U_BITMAPINFOHEADER, biYPelsPerMeter), 3780);

    const QImage image = picture.toRgb32();
    uchar *bits = reinterpret_cast<uchar *>(out.data()) + info + InfoSize;
    for (int y = 0; y < h; ++y) {
        const QRgb *src = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        uchar *dst = bits + (h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            *dst++ = uchar(qBlue(src[x]));
            *dst++ = uchar(qGreen(src[x]));
            *dst++ = uchar(qRed(src[x]));
        }
    }

    const qsizetype eof = info + InfoSize + bitsSize;
    putU32(out, eof + offsetof(U_EMREOF, emr.iType), U_EMR_EOF);
    putU32(out, eof + offsetof(U_EMREOF, emr.nSize), quint32(EofSize));
    putU32(out, eof + offsetof(U_EMREOF, cbPalEntries), 0);
    putU32(out, eof + offsetof(U_EMREOF, offPalEntries), 16);
    putU32(out, eof + qsizetype(sizeof(U_EMREOF)), quint32(EofSize)); // nSizeLast
    return out;
}
