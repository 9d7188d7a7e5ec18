#include "compose/UndoHistory.h"
#include "core/ImageBox.h"

#include <gtest/gtest.h>

namespace {
Raster solid(TColor c, int w = 70, int h = 50) { return Raster(w, h, 24, c); }
TColor shown(const Raster &r) { return r.pixel(0, 0); }
} // namespace

TEST(UndoHistory, StepsBackAndForthWithinBounds)
{
    UndoHistory h;
    Raster pic = solid(Colors::clWhite);
    h.undo(pic); // empty history: nothing happens
    EXPECT_EQ(shown(pic), Colors::clWhite);
    for (TColor c : {makeColor(255, 0, 0), Colors::clGreen, Colors::clBlue})
        h.push(solid(c), 70, 50);
    pic = solid(Colors::clBlue);
    EXPECT_EQ(h.index(), 2);
    h.undo(pic);
    EXPECT_EQ(shown(pic), Colors::clGreen);
    h.undo(pic);
    h.undo(pic);
    EXPECT_EQ(h.index(), 0);
    EXPECT_EQ(shown(pic), makeColor(255, 0, 0));
    h.redo(pic);
    h.redo(pic);
    h.redo(pic);
    EXPECT_EQ(h.index(), 2);
    EXPECT_EQ(shown(pic), Colors::clBlue);
}

TEST(UndoHistory, TheHistoryIsNeverCut)
{
    // [A, B, C] with C shown: undo shows B; a style click appends B and then D.
    UndoHistory h;
    const TColor A = makeColor(1, 0, 0), B = makeColor(2, 0, 0), C = makeColor(3, 0, 0), D = makeColor(4, 0, 0);
    for (TColor c : {A, B, C})
        h.push(solid(c), 70, 50);
    Raster pic = solid(C);
    h.undo(pic);
    EXPECT_EQ(shown(pic), B);
    h.push(pic, 70, 50);          // the shown picture, before the redraw
    pic = solid(D);               // the redraw's result, shown
    h.push(pic, 70, 50);
    ASSERT_EQ(h.count(), 5);
    const TColor expected[] = {A, B, C, B, D};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(shown(h.snapshot(i)), expected[i]) << i;
    h.undo(pic);
    EXPECT_EQ(shown(pic), B);
    h.undo(pic);
    EXPECT_EQ(shown(pic), C);
}

TEST(UndoHistory, KeepsTheLast101Snapshots)
{
    UndoHistory h;
    for (int i = 0; i < 105; ++i)
        h.push(solid(makeColor(i, 0, 0), 8, 8), 8, 8);
    EXPECT_EQ(h.count(), 101);
    EXPECT_EQ(h.index(), 100);
    EXPECT_EQ(shown(h.snapshot(0)), makeColor(4, 0, 0));
    EXPECT_EQ(shown(h.snapshot(100)), makeColor(104, 0, 0));
}

TEST(UndoHistory, SmallerSnapshotCoversOnlyTheTopLeft)
{
    UndoHistory h;
    h.push(solid(Colors::clBlue, 10, 10), 10, 10);
    Raster pic = solid(Colors::clYellow, 30, 20);
    h.undo(pic);
    EXPECT_EQ(pic.width(), 30);
    EXPECT_EQ(pic.height(), 20);
    EXPECT_EQ(pic.pixel(9, 9), Colors::clBlue);
    EXPECT_EQ(pic.pixel(10, 9), Colors::clYellow);
    EXPECT_EQ(pic.pixel(29, 19), Colors::clYellow);
    // A larger snapshot is clipped to the picture.
    h.push(solid(Colors::clGreen, 40, 40), 40, 40);
    h.undo(pic); // the picture shown is not the snapshot pushed last: undo shows that one

    EXPECT_EQ(pic.width(), 30);
    EXPECT_EQ(pic.pixel(29, 19), Colors::clGreen);
}

TEST(UndoHistory, SnapshotTakesTheControlSize)
{
    UndoHistory h;
    h.push(solid(Colors::clBlue, 5, 5), 8, 6);
    const Raster s = h.snapshot(0);
    EXPECT_EQ(s.width(), 8);
    EXPECT_EQ(s.height(), 6);
    EXPECT_EQ(s.pixel(4, 4), Colors::clBlue);
    EXPECT_EQ(s.pixel(7, 5), Colors::clWhite);
}

TEST(UndoHistory, RestoresEveryPixelOfLargeNoisyPictures)
{
    UndoHistory h;
    std::vector<Raster> pictures;
    quint32 seed = 12345;
    for (int k = 0; k < 3; ++k) {
        Raster r(300, 200);
        QImage &img = r.paintable();
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x) {
                seed = seed * 1664525u + 1013904223u;
                if (k == 0 || (x > 100 && x < 140))
                    img.setPixel(x, y, qRgb(seed >> 24, seed >> 16, seed >> 8));
                else
                    img.setPixel(x, y, pictures.back().toRgb32().pixel(x, y));
            }
        pictures.push_back(r);
        h.push(r, 300, 200);
    }
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(h.snapshot(k).samePixels(pictures[size_t(k)])) << k;
}

TEST(UndoHistory, APictureRedrawnInPlaceBackAndForthIsKeptExactly)
{
    // As the window does: one picture drawn over in place between pushes, a change made
    // and taken back again, so tiles return to what an older snapshot held.
    UndoHistory h;
    Raster picture = solid(Colors::clBlue, 200, 150);
    const Raster a = solid(Colors::clBlue, 200, 150);
    Raster b = a;
    b.setPixel(70, 70, Colors::clYellow);
    b.setPixel(199, 149, Colors::clYellow);
    for (int i = 0; i < 5; ++i) {
        CopyPixels(i % 2 ? b : a, picture);
        h.push(picture, 200, 150);
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(h.snapshot(i).samePixels(i % 2 ? b : a)) << i;
}

TEST(UndoHistory, UnchangedTilesAreShared)
{
    UndoHistory h;
    Raster r(640, 480, 24, Colors::clSilver);
    QImage &img = r.paintable();
    quint32 seed = 7;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            seed = seed * 1664525u + 1013904223u;
            img.setPixel(x, y, qRgb(seed >> 24, seed >> 16, seed >> 8)); // incompressible
        }
    h.push(r, 640, 480);
    const qint64 one = h.memoryBytes();
    for (int i = 0; i < 50; ++i) {
        r.setPixel(i, i, makeColor(i, i, i)); // one small change per step
        h.push(r, 640, 480);
    }
    // Fifty more snapshots cost far less than fifty more pictures.
    EXPECT_LT(h.memoryBytes(), one + 50 * qint64(640 * 480 * 4) / 10);
    EXPECT_TRUE(h.snapshot(h.lastIndex()).samePixels(r));
}

TEST(UndoHistory, MemoryFollowsTheSnapshotsThatAreKept)
{
    UndoHistory shared, distinct;
    const Raster same = solid(Colors::clBlue, 256, 256);
    for (int i = 0; i < 150; ++i) {
        shared.push(same, 256, 256);
        distinct.push(solid(makeColor(i, 255 - i, 7), 256, 256), 256, 256);
    }
    // Identical snapshots share all their tiles, so dropping old ones frees nothing they hold.
    UndoHistory one;
    one.push(same, 256, 256);
    const qint64 perSnapshotOverhead = qint64(16 * (sizeof(std::shared_ptr<int>) + 8));
    EXPECT_LT(shared.memoryBytes(), one.memoryBytes() + 101 * perSnapshotOverhead + 4096);
    // Distinct snapshots: what is dropped is no longer counted.
    UndoHistory fresh;
    for (int i = 49; i < 150; ++i)
        fresh.push(solid(makeColor(i, 255 - i, 7), 256, 256), 256, 256);
    EXPECT_EQ(distinct.memoryBytes(), fresh.memoryBytes());
    distinct.clear();
    EXPECT_EQ(distinct.memoryBytes(), 0);
}

TEST(UndoHistory, EveryStepShowsTheNearestOtherPictureAndTheButtonsSayWhetherOneIsLeft)
{
    // Random histories full of repeated pictures (a style click that changed nothing), with
    // pictures shown that the history does not hold (pasted, or redrawn live in place).
    // Against a plain list: undo shows the nearest snapshot from the index downwards, the
    // index included, that differs from the picture shown; redo the nearest one above the
    // index; a button is enabled exactly when there is one, and does nothing otherwise.
    // Pictures are three tiles across, each tile one of two colours, so snapshots share
    // some tiles and differ in others.
    const TColor colours[] = {makeColor(10, 0, 0), makeColor(20, 0, 0)};
    auto picture = [&](int code) {
        Raster r(150, 50);
        for (int t = 0; t < 3; ++t)
            CopyPixels(solid(colours[(code >> t) & 1], 64, 50), r, 64 * t, 0);
        return r;
    };
    auto codeOf = [&](const Raster &r) {
        int code = 0;
        for (int t = 0; t < 3; ++t)
            code |= (r.pixel(64 * t + 5, 7) == colours[1]) << t;
        return code;
    };
    quint32 seed = 27;
    auto next = [&seed](quint32 n) { return ((seed = seed * 1664525u + 1013904223u) >> 8) % n; };
    for (int run = 0; run < 150; ++run) {
        UndoHistory h;
        std::vector<int> model;
        int index = 0;
        Raster pic = picture(0);
        for (int op = 0; op < 40; ++op) {
            const quint32 kind = next(6);
            if (kind == 0 || model.empty()) {
                CopyPixels(picture(int(next(8))), pic); // drawn in place, tiles shared
                h.push(pic, 150, 50);
                model.push_back(codeOf(pic));
                index = int(model.size()) - 1;
                continue;
            }
            if (kind == 1) {
                pic = picture(int(next(8))); // pasted
                continue;
            }
            if (kind == 2) {
                CopyPixels(picture(int(next(8))), pic); // redrawn live, nothing pushed
                continue;
            }
            const int step = kind < 5 ? -1 : 1;
            const int before = codeOf(pic);
            int expected = -1;
            for (int i = step < 0 ? index : index + 1; i >= 0 && i < int(model.size()); i += step)
                if (model[size_t(i)] != before) {
                    expected = i;
                    break;
                }
            ASSERT_EQ(step < 0 ? h.canUndo(pic) : h.canRedo(pic), expected >= 0) << run << " " << op;
            step < 0 ? h.undo(pic) : h.redo(pic);
            if (expected >= 0)
                index = expected;
            ASSERT_EQ(h.index(), index) << run << " " << op;
            ASSERT_EQ(codeOf(pic), expected >= 0 ? model[size_t(expected)] : before) << run << " " << op;
        }
    }
}
