#pragma once
// The picture data of an RTF \pict group.
#include <QByteArray>
#include <QImage>

enum class RtfPictureKind { None, Png, Jpeg, Dib };

// Decodes the data of a \pict group; a null image when the kind is not supported, the
// data is damaged, or the picture would be larger than a raster may be.
QImage decodeRtfPicture(RtfPictureKind kind, const QByteArray &data);
