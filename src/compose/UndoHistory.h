#pragma once
// The linear history of working pictures behind Undo and Redo. It holds at most 101
// snapshots. Snapshots are cut into tiles that are stored LZ4-compressed, and a tile that
// did not change since the previous snapshot is shared with it, so a long history of a
// large picture costs little more than the pixels that really changed.
#include "core/Raster.h"

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class UndoHistory
{
public:
    static constexpr int MaxSnapshots = 101;
    static constexpr int TileSize = 64;
    // A safety bound on memory: beyond it the oldest snapshots go first.
    static constexpr qint64 MaxBytes = qint64(512) * 1024 * 1024;

    // Appends a copy of picture as a snapshot of width x height (the picture control's
    // size); the part of the snapshot the picture does not cover is white.
    void push(const Raster &picture, int width, int height);
    // Steps back or forward and copies the snapshot onto picture at (0, 0) without changing
    // its size. Nothing happens when no step would change picture.
    //
    // Undo looks from the snapshot last pushed or shown downwards, that snapshot included,
    // for the nearest one that differs from picture; redo looks upwards from the one after
    // it. A style click that changed nothing appends a copy of the picture shown, and such
    // copies are stepped over, so every click shows another picture while one is left in
    // that direction; stepping over them, rather than disabling the button at such a copy,
    // keeps every older picture reachable by the same button. A picture shown that the
    // history does not hold (pasted, opened, cleared, resized) is left by undo for the
    // snapshot it replaced, and redo never shows that same snapshot again in its place.
    void undo(Raster &picture);
    void redo(Raster &picture);

    bool isEmpty() const { return snapshots_.empty(); }
    // Whether an undo or a redo would change picture, the picture shown: the buttons are
    // enabled exactly when a click shows something else.
    bool canUndo(const Raster &picture) const;
    bool canRedo(const Raster &picture) const;
    // Called after every push, undo, redo and clear (the owner updates its buttons).
    std::function<void()> changed;
    int count() const { return int(snapshots_.size()); }
    int lastIndex() const { return count() - 1; }
    std::int8_t index() const { return index_; }

    // Snapshot i as a raster of its own size.
    Raster snapshot(int i) const;
    // Copies snapshot i onto picture at (0, 0); the picture keeps its size.
    void restore(int i, Raster &picture) const;
    // Bytes held by all snapshots (shared tiles counted once) and the pixel cache.
    qint64 memoryBytes() const;
    void clear();

private:
    struct Tile
    {
        QByteArray data; // LZ4 block of the tile's 32-bit pixels
        int rawSize = 0;
        // The pixels into raw (room for a whole tile); false when the block is damaged.
        bool unpack(std::vector<char> &raw) const;
    };
    struct Snapshot
    {
        int width = 0, height = 0;
        std::vector<std::shared_ptr<const Tile>> tiles; // row by row
    };

    int tilesAcross(int width) const { return (width + TileSize - 1) / TileSize; }
    // Tiles already compared with one picture, and whether they matched it: a tile shared
    // by many snapshots is unpacked and compared once.
    using TileMatches = std::unordered_map<const Tile *, bool>;
    // The snapshot an undo (step -1) or a redo (+1) would show on picture: the nearest one
    // in that direction (for undo from index_ itself, for redo from index_ + 1) that differs
    // from picture, or -1 when none does.
    int stepTarget(const Raster &picture, int step) const;
    // Whether copying snapshot i onto picture would leave its pixels as they are.
    bool showsSame(int i, const QImage &picture, TileMatches &known) const;
    void dropOldest();
    void notifyChanged() const
    {
        if (changed)
            changed();
    }

    std::vector<Snapshot> snapshots_;
    std::int8_t index_ = 0;
    qint64 tileBytes_ = 0; // bytes of all distinct tiles, kept as tiles come and go
    QImage lastPixels_; // pixels of the last pushed snapshot, for sharing unchanged tiles
    // The buttons ask on every change of the picture shown (every live redraw): the step
    // targets are kept until the picture's pixels (its image's cache key) or the history
    // (generation_) change.
    struct TargetCache
    {
        qint64 pictureKey = 0;
        quint64 generation = 0;
        int target = -1;
        bool valid = false;
    };
    mutable TargetCache undoTarget_, redoTarget_;
    quint64 generation_ = 0;
    void historyChanged()
    {
        ++generation_;
        notifyChanged();
    }
};
