#include "compose/ItemTable.h"

#include <gtest/gtest.h>

TEST(ItemTable, NewRowsHoldTheStartValues)
{
    ItemTable table;
    const ItemRow &row = table.rows[3];
    EXPECT_TRUE(row.caption.isEmpty());
    EXPECT_EQ(row.cells[CellType], "1");
    EXPECT_EQ(row.cells[CellFontName], "Arial");
    EXPECT_EQ(row.cells[CellFontSize], "48");
    EXPECT_EQ(row.cells[CellFontDepth], "10");
    EXPECT_EQ(row.cells[CellStartColor], "65535");
    EXPECT_EQ(row.cells[CellEndColor], "32768");
    EXPECT_EQ(row.cells[CellXPos], "0");
    EXPECT_EQ(row.cells[CellYPos], "0");
    EXPECT_EQ(row.cells[CellDirection], "1");
    EXPECT_EQ(row.cells[CellAlignment], "16776960");
    EXPECT_EQ(row.cells[CellStyleSet], "16711680");
    EXPECT_EQ(row.cells[CellUnused1], "0");
    EXPECT_EQ(row.cells[CellUnused2], "0");
    for (const Raster &slot : table.surfaces)
        EXPECT_TRUE(slot.isEmpty());
}

TEST(ItemTable, NewRowLoadsDefaultsAndKeepsThePreviousAlignment)
{
    ItemTable table;
    ItemAttributes controls;
    controls.alignment = AlignRightCode;
    controls.direction = DirDown;
    controls.styleSet = StyleBold;
    std::uint8_t type = 3;
    loadItemRow(table.rows[5], table.surfaces[5], controls, type);
    EXPECT_EQ(controls.fontName, "Arial");
    EXPECT_EQ(controls.fontSize, 48);
    EXPECT_EQ(controls.depth, 10);
    EXPECT_EQ(controls.startColor, Colors::clYellow);
    EXPECT_EQ(controls.endColor, Colors::clGreen);
    EXPECT_EQ(controls.xText, "0");
    EXPECT_EQ(controls.yText, "0");
    EXPECT_EQ(controls.direction, DirUpLeft);
    EXPECT_EQ(controls.styleSet, 0);            // low byte of the blue colour number
    EXPECT_EQ(controls.alignment, AlignRightCode); // 16776960 is no alignment code
    EXPECT_EQ(type, 1);
    EXPECT_TRUE(controls.lines.isEmpty());
}

TEST(ItemTable, StoreAndLoadRoundTripEveryAttribute)
{
    ItemTable table;
    ItemAttributes a;
    a.lines = QStringList{"a b", "c"};
    a.fontName = "Times New Roman";
    a.styleSet = StyleBold | StyleUnderline;
    a.fontSize = 72;
    a.depth = 33;
    a.startColor = makeColor(1, 2, 3);
    a.endColor = Colors::clBtnFace;
    a.xText = "120";
    a.yText = " 7x";
    a.direction = DirDownRight;
    a.alignment = AlignCenterCode;
    a.surface = Raster(5, 4, 24, Colors::clBlue);
    a.surface.setPixel(4, 3, Colors::clYellow);
    storeItemRow(a, StyleShadow, table.rows[0], table.surfaces[0]);
    EXPECT_EQ(table.rows[0].caption, "\"a b\",c");
    EXPECT_EQ(table.rows[0].cells[CellType], "2");
    EXPECT_EQ(table.rows[0].cells[CellEndColor], "-2147483633");
    EXPECT_EQ(table.rows[0].cells[CellDirection], "6");
    EXPECT_EQ(table.rows[0].cells[CellAlignment], "2");
    EXPECT_EQ(table.rows[0].cells[CellStyleSet], "5");

    // Switch to item 2 and back: item 1 comes back exactly.
    ItemAttributes controls = a;
    std::uint8_t type = 0;
    loadItemRow(table.rows[1], table.surfaces[1], controls, type);
    EXPECT_TRUE(controls.surface.isEmpty());
    storeItemRow(controls, type, table.rows[1], table.surfaces[1]);
    loadItemRow(table.rows[0], table.surfaces[0], controls, type);
    EXPECT_EQ(type, StyleShadow);
    EXPECT_EQ(controls.lines, a.lines);
    EXPECT_EQ(controls.fontName, a.fontName);
    EXPECT_EQ(controls.styleSet, a.styleSet);
    EXPECT_EQ(controls.fontSize, a.fontSize);
    EXPECT_EQ(controls.depth, a.depth);
    EXPECT_EQ(controls.startColor, a.startColor);
    EXPECT_EQ(controls.endColor, a.endColor);
    EXPECT_EQ(controls.xText, a.xText);
    EXPECT_EQ(controls.yText, a.yText);
    EXPECT_EQ(controls.direction, a.direction);
    EXPECT_EQ(controls.alignment, a.alignment);
    EXPECT_TRUE(controls.surface.samePixels(a.surface));
}

TEST(ItemTable, SingleEmptyLineIsStoredAsTwoQuotes)
{
    ItemRow row;
    Raster slot;
    ItemAttributes a;
    a.lines = QStringList{QString()};
    storeItemRow(a, 1, row, slot);
    EXPECT_EQ(row.caption, "\"\"");
}

TEST(ItemTable, DamagedCellsReadAsZeroAndStayInRange)
{
    ItemRow row = ItemRow::newRow();
    row.cells[CellType] = "7";
    row.cells[CellFontSize] = "huge";
    row.cells[CellFontDepth] = "999";
    row.cells[CellStartColor] = "yellow";
    row.cells[CellDirection] = "9";
    row.cells[CellAlignment] = "0";
    row.cells[CellStyleSet] = "258"; // low byte 2: italic
    ItemAttributes controls;
    controls.direction = DirUp;
    std::uint8_t type = 1;
    loadItemRow(row, Raster(), controls, type);
    EXPECT_EQ(type, 7);                 // kept unchanged, even though no button has it
    EXPECT_EQ(controls.fontSize, MinFontSize);
    EXPECT_EQ(controls.depth, MaxDepth);
    EXPECT_EQ(controls.startColor, 0);
    EXPECT_EQ(controls.direction, DirUp);
    EXPECT_EQ(controls.styleSet, StyleItalic);
    EXPECT_EQ(cellInteger("12"), 12);
    EXPECT_EQ(cellInteger("-3"), -3);
    EXPECT_EQ(cellInteger("1.5"), 0);
    EXPECT_EQ(positionValue("abc"), 0);
    EXPECT_EQ(positionValue(""), 0);
    EXPECT_EQ(positionValue("99999999999"), 0);
    EXPECT_EQ(positionValue("2147483647"), MaxPosition);
    EXPECT_EQ(positionValue("-2147483648"), -MaxPosition);
}

TEST(ItemTable, InvalidDirectionStoresAsSix)
{
    ItemRow row;
    Raster slot;
    ItemAttributes a;
    a.direction = 0;
    storeItemRow(a, 1, row, slot);
    EXPECT_EQ(row.cells[CellDirection], "6");
}
