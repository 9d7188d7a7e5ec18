#pragma once
// An animation written frame by frame: every frame has the writer's size, each is shown
// for its own time, and the whole loops forever. The WebP and the PNG animation writers
// share this face, so the export draws its frames once for either.
#include <QImage>
#include <QString>

class AnimationWriter
{
public:
    virtual ~AnimationWriter() = default;
    // Adds a frame (Format_RGB32, or Format_ARGB32 with straight alpha when the writer
    // keeps transparency) shown for delayMs milliseconds. Throws LetrafexError when the
    // frame cannot be encoded.
    virtual void addFrame(const QImage &pixels, int delayMs) = 0;
    // Writes the frames added so far to fileName, whole or not at all; a single frame is
    // no animation and gives the format's plain still picture. Throws LetrafexError naming
    // the file and the reason.
    virtual void save(const QString &fileName) = 0;
};
