#pragma once
// The ten text items: rows of text cells (the encodings are also the project file's),
// their surface pictures, and the store and load rules between a row and the values of
// the editing controls.
#include "core/Color.h"
#include "core/Raster.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

constexpr int ItemCount = 10;
constexpr int ItemCellCount = 13;

enum ItemCell {
    CellType = 0, CellFontName, CellFontSize, CellFontDepth, CellStartColor, CellEndColor,
    CellXPos, CellYPos, CellDirection, CellAlignment, CellStyleSet, CellUnused1, CellUnused2
};

// Drawing styles (cell 0) and the tags of the three style buttons.
enum ItemStyle : std::uint8_t { Style3D = 1, StyleShadow = 2, StyleFlat = 3 };
// Extrusion directions (cell 8) in the order of their speed buttons.
enum Direction { DirUpLeft = 1, DirUp, DirUpRight, DirDownLeft, DirDown, DirDownRight };
// Line alignments (cell 9).
enum Alignment { AlignLeftCode = 1, AlignCenterCode, AlignRightCode };
// Font style set (cell 10): a bit sum.
enum FontStyleBits { StyleBold = 1, StyleItalic = 2, StyleUnderline = 4, StyleStrikeOut = 8 };

constexpr int MinFontSize = 8, MaxFontSize = 100;
constexpr int MinDepth = 0, MaxDepth = 50;
constexpr int MaxPosition = 1000000;
// Characters an item's text may hold when typed or pasted in the editor. The program draws
// short texts: a line of more characters than the widest picture (Raster::MaxSide) has
// pixels can never be seen whole, and every character costs each redraw.
constexpr int MaxTextLength = 32768;

struct ItemRow
{
    QString caption;                 // the lines as comma text
    std::array<QString, ItemCellCount> cells;

    static ItemRow newRow();
    bool operator==(const ItemRow &) const = default;
};

// What the editing controls hold for the item being edited.
struct ItemAttributes
{
    QStringList lines;
    QString fontName = QStringLiteral("Arial");
    int styleSet = 0;                // bit sum of FontStyleBits
    int fontSize = 48;
    int depth = 10;
    TColor startColor = Colors::clYellow;
    TColor endColor = Colors::clGreen;
    QString xText = QStringLiteral("0");
    QString yText = QStringLiteral("0");
    int direction = DirUpLeft;
    int alignment = AlignLeftCode;
    Raster surface;
};

// Reads a cell as an integer; anything that is not a whole number reads as 0.
int cellInteger(const QString &text);
// The integer value of a position text; anything that is not a whole number reads as 0,
// and positions are kept within +-MaxPosition.
int positionValue(const QString &text);
int clampFontSize(int size);
int clampDepth(int depth);

// Writes the controls' values into a row and its surface slot.
void storeItemRow(const ItemAttributes &controls, std::uint8_t currentType, ItemRow &row, Raster &slot);
// Reads a row and its slot into the controls' values. A direction or alignment that is no
// valid code leaves the controls' previous value, so it carries over from the item shown
// before; the number cells are kept inside the controls' ranges.
void loadItemRow(const ItemRow &row, const Raster &slot, ItemAttributes &controls, std::uint8_t &currentType);

struct ItemTable
{
    std::array<ItemRow, ItemCount> rows;
    std::array<Raster, ItemCount> surfaces;

    ItemTable() { CreateItems(); }
    // Fills the ten rows with the values of a new row and empties the surface slots.
    void CreateItems();
};
