#pragma once
// Choosing a reader or writer for a picture file: by the upper-cased extension when
// loading, by the save dialog's filter index when saving; the open and save filters; and
// fitting a loaded picture into its image control by the draw mode.
#include "core/ImageBox.h"

#include <QString>
#include <QStringList>

class QMimeData;

// ".BMP,.JPG,.EMF,.WMF,.PNG,.TIF,.PCX,.TGA,.LFX,.WEBP": the position selects the reader.
extern const QStringList PictureExtensions;
enum PictureReader { ReaderBmp = 0, ReaderJpeg, ReaderEmf, ReaderWmf, ReaderPng, ReaderTiff, ReaderPcx, ReaderTga, ReaderProject, ReaderWebp };

enum DrawMode { DrawTiled = 0, DrawStretched = 1, DrawOriginal = 2 };

// Save dialog filter indexes (from 1); the project entry stays the last one.
enum SaveFilter { SaveBitmap = 1, SaveJpeg, SaveEnhancedMeta, SavePng, SaveTiff, SavePcx, SaveTga, SaveWebp, SaveProject };

// The extension from the last "." (the dot included); empty when there is none.
QString fileExtension(const QString &fileName);
// The reader for the file's extension, whatever its letter case, in any of the format's
// usual spellings (.jpg, .jpeg, .jpe, .jfif; .tif, .tiff; .bmp, .dib; .tga, .targa); -1
// for any other name.
int pictureReaderFor(const QString &fileName);
// The reader for a file that starts with start: the format its signature shows (PNG,
// JPEG, TIFF, WebP, EMF, WMF, BMP), else byName (PCX and TGA have no signature).
int pictureReaderForContent(const QByteArray &start, int byName);
// The messages of a name no reader takes, and of a project chosen where a picture is
// wanted; both name the file with its full path.
QString notAPictureFormatText(const QString &fileName);
QString projectNotPictureText(const QString &fileName);
// The open filter for the words "Files" (f) and "Graphic" (g) of the current language.
QString pictureOpenFilter(const QString &f, const QString &g);
// The save filter for the word "Files" of the current language.
QString pictureSaveFilter(const QString &f);
// The name a picture saved with filterIndex is written to: when the upper-cased extension
// differs from the filter's, the filter's lower-case extension is appended.
QString pictureSaveName(const QString &fileName, int filterIndex);

// What reading a picture file gave: the picture, or why there is none.
struct PictureRead
{
    Raster picture;
    // Empty when the file was read; otherwise names the file with its full path and says
    // what is wrong with it.
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Reads the file with the reader at position reader (0 to 7, 9), or with the reader its
// content shows when that is another format's signature. The PNG and WebP readers
// compose the file over base and metafiles are drawn onto it (onto a white picture of the metafile's
// own size when base is empty); the other readers ignore it. Whichever way a reader
// reports a failure (an exception, false, a last-error text, the TIFF reader's plain
// messages), it ends up in the result's error; no message is shown. A TIFF file that gives
// any message counts as not read, even when an earlier image in it was good.
PictureRead readPictureFile(const QString &fileName, int reader, const Raster &base = Raster());

// The picture that clipboard or drop data holds, null when it holds none. Qt's own decoding
// gives nothing for a picture above its reader's 128 MB: such data is read here up to the
// program's limits, and a picture beyond them throws LetrafexError with its size and the
// limits.
QImage pictureFromMimeData(const QMimeData &data);

// Fits the picture loaded into image by the draw mode: original resizes the control to the
// picture, tiled and stretched make a raster of the control's size. Image controls named
// "SurfaceIconImage" or "TextureImage" keep the picture at its own size.
void fitLoadedPicture(ImageBox &image, int drawMode);

// Writes picture with the writer of filterIndex 1 to 8 (project files are written by the
// main window); WebP is written lossless. JPEG, PCX and TGA are written as 24 bits per
// pixel; the picture itself stays as it is. A transparent picture (Raster::transparent)
// keeps its transparency in PNG, TIFF and WebP and is refused by BMP, JPEG, PCX and TGA,
// which cannot hold it. Throws LetrafexError naming the file and the reason when writing fails;
// the file that was there then stays untouched.
void savePictureFile(const QString &fileName, int filterIndex, const Raster &picture);
