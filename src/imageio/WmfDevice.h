#pragma once
// The device layer for playing old-style metafiles: libwmflite interprets the records
// (mapping modes, object table, saved states, clipping regions) and reports each drawing
// call, in its device units, to the functions installed here, which paint it with
// QPainter onto a copy of the picture.
#include <QImage>
#include <QPainter>

#include <memory>
#include <unordered_map>

extern "C" {
#include <libwmf/api.h>
#include <libwmf/ipa.h>
}

namespace metafile {

struct WmfCanvas
{
    QPainter *painter = nullptr; // only while playing
    double scaleY = 1;           // device units to pixels, for font sizes
    QRectF area;                 // the picture's area in device units: every clip stays inside it
    // Decoded DIBs by the handle the player keeps; their bytes stay within the limits.
    std::unordered_map<const void *, std::unique_ptr<QImage>> bitmaps;
    qint64 bitmapBytes = 0;
    bool tooLarge = false;
};

// Installs the device layer; called by the library while it creates its handle. The
// handle's device data then holds room for a pointer to the canvas, which the caller fills in.
void installDevice(wmfAPI *api);

// Text widths for the player's alignment, as a fraction of the font height.
float stringWidth(wmfAPI *, wmfFont *font, char *text);

// Fonts need no mapping: text is drawn with Qt's fonts.
void mapFont(wmfAPI *, wmfFont *);

} // namespace metafile
