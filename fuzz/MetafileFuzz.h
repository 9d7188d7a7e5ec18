#pragma once
// What both metafile fuzz targets share: a GUI application for fonts and the SVG renderer,
// and the check that any input either draws onto the picture, which keeps its size, or
// throws LetrafexError leaving the picture as it was.
#include "core/Errors.h"
#include "core/Raster.h"
#include "imageio/MetafileCodec.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstdlib>

inline void startFuzzApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

inline void readMetafileChecked(const QByteArray &bytes)
{
    static const Raster blank(64, 48);
    Raster picture = blank;
    try {
        ReadMetafile(bytes, picture);
    } catch (const LetrafexError &) {
        if (!picture.samePixels(blank))
            std::abort();
    }
    if (picture.width() != 64 || picture.height() != 48 || picture.bitCount() != 24)
        std::abort();
}
