#pragma once
// The TIFF directories the own strip reader does not read (compressed, tiled or planar
// images, samples of other sizes, CMYK, YCbCr, L*a*b*, LogLuv, BigTIFF files) are decoded
// by libtiff, into the same kind of picture the own reader makes: top-down, 24 bits, an
// alpha sample shown over white. Its RGBA interface decodes what it reads as meant; the
// rest, and L*a*b*, is converted from the samples of its strip and tile readers
// (TiffSamples).
//
// libtiff reads the bytes through the TFileTiff that the own parser already opened, so
// file names and large files behave the same on both paths. Its error and warning texts
// are caught, never printed; the first error of a directory becomes the reason given.
#include "core/Raster.h"

#include <QString>

#include <memory>

class TFileTiff;

class TiffLibReader
{
public:
    enum class Outcome {
        Read,    // the picture holds the directory's image
        Refused, // libtiff cannot read images of this kind; text is its reason
        Failed,  // the image could not be read or made; text is the whole message to show
    };
    struct Result
    {
        Outcome outcome = Outcome::Refused;
        QString text;
    };

    // name stands for the file in libtiff's own texts.
    TiffLibReader(const TFileTiff &file, const QString &name);
    ~TiffLibReader();
    TiffLibReader(const TiffLibReader &) = delete;
    TiffLibReader &operator=(const TiffLibReader &) = delete;

    // Reads the directory that starts at offset into picture. The picture changes only
    // when the image was read (or is emptied when there is no memory for it). Throws
    // LetrafexError for a side above 65535 pixels.
    Result readAt(quint64 offset, Raster &picture);

    // Steps to the next directory along the chain, starting with the first; false when
    // there is none or it cannot be read, with why set to libtiff's reason in that case
    // (left empty when not even the file's header could be read).
    bool nextDirectory(QString &why);
    // Reads the directory nextDirectory stepped to, as readAt does.
    Result readCurrent(Raster &picture);
    // Whether that directory is a full-resolution image, not a reduced-resolution one or
    // a transparency mask.
    bool currentIsFullResolution() const;

    struct State;

private:
    std::unique_ptr<State> d_;
};
