// The composition the window shows draws what the command line and the export draw, and
// keeps its history and drawn items as the window's commands need them.
#include "compose/Composition.h"

#include <gtest/gtest.h>

namespace {
ItemRow row(const char *caption, int style, int direction, int alignment)
{
    ItemRow r = ItemRow::newRow();
    r.caption = QString::fromLatin1(caption);
    r.cells[CellType] = QString::number(style);
    r.cells[CellFontName] = QStringLiteral("Arial");
    r.cells[CellFontSize] = QStringLiteral("30");
    r.cells[CellFontDepth] = QStringLiteral("6");
    r.cells[CellStartColor] = QString::number(Colors::clYellow);
    r.cells[CellEndColor] = QString::number(Colors::clBlue);
    r.cells[CellXPos] = QStringLiteral("12");
    r.cells[CellYPos] = QStringLiteral("20");
    r.cells[CellDirection] = QString::number(direction);
    r.cells[CellAlignment] = QString::number(alignment);
    return r;
}
} // namespace

TEST(Composition, RendersTheRowsAsTheCommandLineDoesAndKeepsEachPictureAStep)
{
    Composition c;
    c.resize(220, 120);
    const Raster background(220, 120, 24, Colors::clAqua);
    c.background().picture = background;
    c.items().rows[0] = row("One", StyleShadow, DirDown, AlignCenterCode);
    // No valid direction or alignment: the first row's carry over, as in the editor.
    c.items().rows[2] = row("Three,lines", Style3D, 0, 9);
    c.items().surfaces[2] = Raster(8, 8, 24, Colors::clFuchsia);

    ItemAttributes editor;
    c.render(editor);
    const Raster expected = ComposePicture(background, c.items());
    EXPECT_TRUE(c.picture().picture.samePixels(expected));
    EXPECT_FALSE(c.picture().picture.samePixels(background));
    EXPECT_TRUE(c.itemDrawn(0));
    EXPECT_FALSE(c.itemDrawn(1));
    EXPECT_TRUE(c.itemDrawn(2));
    EXPECT_EQ(c.undo().count(), 1);

    // A style click on item 2 draws it too; undo goes back to the picture before.
    c.setCurrentItem(1);
    ItemAttributes two;
    two.lines = QStringList{QStringLiteral("Two")};
    c.drawItemInStyle(two, StyleFlat);
    EXPECT_EQ(c.items().rows[1].cells[CellType], QStringLiteral("3"));
    EXPECT_TRUE(c.itemDrawn(1));
    EXPECT_EQ(c.undo().count(), 2);
    EXPECT_FALSE(c.picture().picture.samePixels(expected));
    c.undoStep();
    EXPECT_TRUE(c.picture().picture.samePixels(expected));
    c.redoStep();
    EXPECT_TRUE(c.picture().picture.samePixels(ComposePicture(background, c.items())));
}
