#include "compose/ItemTable.h"

#include "core/CommaText.h"
#include "core/ImageBox.h"

ItemRow ItemRow::newRow()
{
    ItemRow r;
    r.cells = {QStringLiteral("1"), QStringLiteral("Arial"), QStringLiteral("48"), QStringLiteral("10"),
               QString::number(Colors::clYellow), QString::number(Colors::clGreen), QStringLiteral("0"),
               QStringLiteral("0"), QStringLiteral("1"), QString::number(Colors::clAqua),
               QString::number(Colors::clBlue), QStringLiteral("0"), QStringLiteral("0")};
    return r;
}

int cellInteger(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : 0;
}

int positionValue(const QString &text)
{
    // Far beyond any picture, and far from the integer limits the drawing adds offsets to.
    return qBound(-MaxPosition, cellInteger(text), MaxPosition);
}

int clampFontSize(int size) { return qBound(MinFontSize, size, MaxFontSize); }
int clampDepth(int depth) { return qBound(MinDepth, depth, MaxDepth); }

namespace {
Raster copyOfSurface(const Raster &source)
{
    // The copy is made like the program's bitmaps are: height, width, then a draw at (0, 0).
    Raster copy;
    copy.setHeight(source.height());
    copy.setWidth(source.width());
    CopyPixels(source, copy, 0, 0);
    return copy;
}
} // namespace

void storeItemRow(const ItemAttributes &c, std::uint8_t currentType, ItemRow &row, Raster &slot)
{
    const int direction = (c.direction >= DirUpLeft && c.direction <= DirDown) ? c.direction : DirDownRight;
    const int alignment = (c.alignment == AlignCenterCode || c.alignment == AlignRightCode) ? c.alignment : AlignLeftCode;
    row.caption = toCommaText(c.lines);
    row.cells[CellType] = QString::number(currentType);
    row.cells[CellFontName] = c.fontName;
    row.cells[CellFontSize] = QString::number(c.fontSize);
    row.cells[CellFontDepth] = QString::number(c.depth);
    row.cells[CellStartColor] = QString::number(c.startColor);
    row.cells[CellEndColor] = QString::number(c.endColor);
    row.cells[CellXPos] = c.xText;
    row.cells[CellYPos] = c.yText;
    row.cells[CellDirection] = QString::number(direction);
    row.cells[CellAlignment] = QString::number(alignment);
    row.cells[CellStyleSet] = QString::number(c.styleSet & 0xFF);
    slot = copyOfSurface(c.surface);
}

void loadItemRow(const ItemRow &row, const Raster &slot, ItemAttributes &c, std::uint8_t &currentType)
{
    c.lines = fromCommaText(row.caption);
    currentType = std::uint8_t(cellInteger(row.cells[CellType]));
    c.fontName = row.cells[CellFontName];
    c.fontSize = clampFontSize(cellInteger(row.cells[CellFontSize]));
    c.depth = clampDepth(cellInteger(row.cells[CellFontDepth]));
    c.startColor = cellInteger(row.cells[CellStartColor]);
    c.endColor = cellInteger(row.cells[CellEndColor]);
    c.xText = row.cells[CellXPos];
    c.yText = row.cells[CellYPos];
    const int direction = cellInteger(row.cells[CellDirection]);
    const int alignment = cellInteger(row.cells[CellAlignment]);
    c.styleSet = cellInteger(row.cells[CellStyleSet]) & 0xFF;
    c.surface = copyOfSurface(slot);
    if (direction >= DirUpLeft && direction <= DirDownRight)
        c.direction = direction;
    if (alignment >= AlignLeftCode && alignment <= AlignRightCode)
        c.alignment = alignment;
}

void ItemTable::CreateItems()
{
    for (int k = 0; k < ItemCount; ++k) {
        rows[size_t(k)] = ItemRow::newRow();
        surfaces[size_t(k)] = Raster();
    }
}
