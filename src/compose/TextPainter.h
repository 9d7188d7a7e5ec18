#pragma once
// The layered gradient text painter, the surface fill and the composition of all ten
// items over the background.
#include "compose/ItemTable.h"
#include "core/Canvas.h"
#include "core/ImageBox.h"

#include <functional>

using ProgressFn = std::function<void(int)>;

// The five picture layers of the working picture, from the bottom of the stack to the top,
// and the fonts of the two layers that are drawn on with text.
struct PictureLayers
{
    ImageBox *texture = nullptr;
    ImageBox *textCreate = nullptr; // mask layer, white between item drawings
    ImageBox *bg = nullptr;         // background: the picture without texts
    ImageBox *surface = nullptr;    // scratch raster of the surface fill
    ImageBox *title = nullptr;      // the working picture
    CanvasFont titleFont;
    CanvasFont maskFont;
};

// Five layers owned together, for drawing without windows.
struct OwnedLayers
{
    ImageBox texture{QStringLiteral("TextureImage")}, textCreate{QStringLiteral("TextCreateImage")},
        bg{QStringLiteral("BgImage")}, surface{QStringLiteral("SurfaceImage")}, title{QStringLiteral("TitleImage")};
    PictureLayers layers{&texture, &textCreate, &bg, &surface, &title, {}, {}};

    OwnedLayers() = default;
    OwnedLayers(const OwnedLayers &) = delete;
    OwnedLayers &operator=(const OwnedLayers &) = delete;
};

// Sets every layer to width x height, in the order background, texture, surface, mask,
// working picture; pixels where old and new sizes overlap stay, the rest is white.
void ResizeLayers(PictureLayers &layers, int w, int h);
// White working picture, mask and surface layers and background of the working picture's size.
void InitPics(PictureLayers &layers);

// Left edge of a line of width w in a block of width wmax at X: right-aligned lines end at
// X + wmax, centred lines start at X + wmax div 2 - w div 2 (div rounds toward zero).
int alignedLineX(int X, int wmax, int w, int alignment);

// Offset of the deepest layer from a line's aligned position, and the step per layer.
struct Extrusion { int startX, startY, stepX, stepY; };
Extrusion extrusionFor(int direction, int depth);
// Top-left corner of the block of the front face (the last, front-coloured copy) of an
// item placed at (X, Y) with this direction and depth: the item's position for the
// downward directions, d rows higher for the upward ones and down-left.
QPoint frontFacePosition(int X, int Y, int direction, int depth);

// Every pixel becomes its bitwise NOT.
void InvertImage(Raster &raster);

// Draws the item's lines as a stack of d + 1 copies on the working picture. The working
// picture's font (face, size, style set) must be set; style is 2 shadow, 3 flat, else 3D.
void PaintGradientText(PictureLayers &layers, const ItemAttributes &item, std::uint8_t style, int x, int y,
                       TColor backColor, TColor frontColor, const ProgressFn &progress = {});
// Draws the item and fills its letter faces with its surface picture.
void DrawText3D(PictureLayers &layers, const ItemAttributes &item, std::uint8_t style, int x, int y,
                TColor backColor, TColor frontColor, const ProgressFn &progress = {});

// Draws row k's item, already loaded into item, on the layers: sets the layers' fonts from
// the item and the row's style set, takes the row's style code and draws.
void DrawItem(PictureLayers &layers, const ItemRow &row, const ItemAttributes &item, const ProgressFn &progress = {});

// The lines a one-column text editor shows for its text, and the text for lines: a last
// empty line is not a line of its own.
QStringList editorLines(const QString &text);
QString editorText(const QStringList &lines);

// Whether an item with these lines is drawn: its first line holds text.
inline bool drawsText(const QStringList &lines) { return !lines.isEmpty() && !lines.first().isEmpty(); }

// Loads row k of table into controls as loading it into the editing controls does: a value
// the row does not hold validly carries over, and the text takes the lines the editor shows.
void loadItemAsEditor(const ItemTable &table, int k, ItemAttributes &controls, std::uint8_t &type);

// Recomposes the working picture: background copied, then items 1 to 10 drawn in turn,
// each loaded by loadItem(k) (which returns what the editing controls then hold). Items
// whose first line is empty are skipped.
void ComposeItems(PictureLayers &layers, const ItemTable &table, const std::function<ItemAttributes(int)> &loadItem,
                  const ProgressFn &progress = {});
// The items alone, drawn on the working picture as it is.
void DrawItems(PictureLayers &layers, const ItemTable &table, const std::function<ItemAttributes(int)> &loadItem,
               const ProgressFn &progress = {});

// The whole composition without windows: background plus the ten rows, loaded through the
// same rules as the editing controls, starting from the controls' values in start. adjust,
// when given, changes each loaded item before it is drawn (the controls keep the values
// the rows gave them). The picture is drawn on the background's own pixels when the caller
// moves the background in; a transparent background (Raster::transparent) gives a picture
// with premultiplied alpha.
Raster ComposePicture(Raster background, const ItemTable &table, ItemAttributes start = {},
                      const std::function<void(ItemAttributes &)> &adjust = {});
