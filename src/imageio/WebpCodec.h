#pragma once
// WebP files through libwebp: still pictures written lossless or lossy, with or without
// transparency; animations written frame by frame; any WebP read, an animation as the
// picture its last frame leaves. Failures throw LetrafexError with libwebp's reason.
#include "core/Raster.h"
#include "imageio/AnimationWriter.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

// The largest side libwebp stores.
constexpr int WebpMaxSide = 16383;
constexpr int DefaultWebpQuality = 90;

struct WebpOptions
{
    bool lossless = true;
    int quality = DefaultWebpQuality; // 0 to 100, used when lossy
};

// Encodes pixels: Format_RGB32 gives an opaque picture, Format_ARGB32 (straight alpha) one
// with transparency. A side above WebpMaxSide throws.
QByteArray WriteWebp(const QImage &pixels, const WebpOptions &options = {});
// Writes the file whole or not at all; errors name the file.
void SaveWebpFile(const QString &fileName, const QImage &pixels, const WebpOptions &options = {});

// Reads a WebP held in memory into picture as the PNG reader does: the file's pixels are
// composed over what the picture showed (white where it showed nothing), and the picture
// becomes 24-bit of the file's size. On failure the picture stays as it was.
void ReadWebp(const QByteArray &data, Raster &picture);
void LoadWebpFile(const QString &fileName, Raster &picture);

// An animated WebP of width x height that loops forever, encoded as a still picture with
// the same options is; frames with alpha give a transparent background colour.
std::unique_ptr<AnimationWriter> newWebpAnimation(int width, int height, const WebpOptions &options = {});
