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
    // its size. Nothing happens when the history is empty.
    //
    // A step passes over snapshots that would leave picture as it is (a style click that
    // changed nothing appends a copy of the picture shown), so every click shows another
    // picture while one is left in that direction. Stepping over, rather than disabling
    // the button at such a copy, keeps every older picture reachable: the pictures behind
    // the copy are still reached by the same button.
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
    // The snapshot an undo (step -1) or a redo (+1) would show on picture: the next one in
    // that direction that differs from picture, or the last one there when none differs;
    // *changes tells whether showing it changes picture.
    int stepTarget(const Raster &picture, int step, bool *changes = nullptr) const;
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
};
