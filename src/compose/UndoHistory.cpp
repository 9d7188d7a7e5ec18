#include "compose/UndoHistory.h"

#include "core/ImageBox.h"

#include <lz4.h>

#include <cstring>

namespace {
constexpr int T = UndoHistory::TileSize;

bool sameTile(const QImage &a, const QImage &b, int x, int y, int w, int h)
{
    for (int row = y; row < y + h; ++row)
        if (std::memcmp(a.constScanLine(row) + x * 4, b.constScanLine(row) + x * 4, size_t(w) * 4) != 0)
            return false;
    return true;
}
} // namespace

void UndoHistory::push(const Raster &picture, int width, int height)
{
    width = qMax(0, width);
    height = qMax(0, height);
    QImage pixels;
    if (width > 0 && height > 0 && Raster::sizeAllowed(width, height)) {
        const QImage src = picture.toRgb32();
        if (src.width() == width && src.height() == height) {
            pixels = src;
        } else {
            Raster copy(width, height);
            CopyPixels(picture, copy, 0, 0);
            pixels = copy.toRgb32();
        }
    }

    Snapshot snap;
    snap.width = pixels.isNull() ? 0 : width;
    snap.height = pixels.isNull() ? 0 : height;
    const bool canShare = !snapshots_.empty() && !lastPixels_.isNull() && lastPixels_.size() == pixels.size();
    const Snapshot *previous = canShare ? &snapshots_.back() : nullptr;
    // The last snapshot's pixels are kept in a buffer of the history's own, never shared
    // with the picture: the picture's next redraw can then reuse its buffer in place.
    // Only tiles that changed are copied into it.
    if (!canShare)
        lastPixels_ = pixels.isNull() ? QImage() : pixels.copy();
    std::vector<char> raw(size_t(T) * T * 4);
    std::vector<char> packed(size_t(LZ4_compressBound(int(raw.size()))));
    for (int ty = 0; ty < snap.height; ty += T) {
        for (int tx = 0; tx < snap.width; tx += T) {
            const int w = qMin(T, snap.width - tx), h = qMin(T, snap.height - ty);
            const size_t tileIndex = snap.tiles.size();
            if (previous && sameTile(pixels, lastPixels_, tx, ty, w, h)) {
                snap.tiles.push_back(previous->tiles[tileIndex]);
                continue;
            }
            for (int row = 0; row < h; ++row) {
                const uchar *line = pixels.constScanLine(ty + row) + tx * 4;
                std::memcpy(raw.data() + size_t(row) * w * 4, line, size_t(w) * 4);
                if (previous)
                    std::memcpy(lastPixels_.scanLine(ty + row) + tx * 4, line, size_t(w) * 4);
            }
            const int rawSize = w * h * 4;
            const int n = LZ4_compress_default(raw.data(), packed.data(), rawSize, int(packed.size()));
            auto tile = std::make_shared<Tile>();
            tile->data = QByteArray(packed.data(), n);
            tile->rawSize = rawSize;
            tileBytes_ += qint64(sizeof(Tile)) + n;
            snap.tiles.push_back(std::move(tile));
        }
    }

    if (count() > MaxSnapshots - 1)
        dropOldest();
    snapshots_.push_back(std::move(snap));
    while (count() > 1 && memoryBytes() > MaxBytes)
        dropOldest();
    index_ = std::int8_t(count() - 1);
    historyChanged();
}

void UndoHistory::dropOldest()
{
    if (snapshots_.empty())
        return;
    // A tile only the oldest snapshot holds goes with it.
    for (const auto &t : snapshots_.front().tiles)
        if (t.use_count() == 1)
            tileBytes_ -= qint64(sizeof(Tile)) + t->data.size();
    snapshots_.erase(snapshots_.begin());
}

int UndoHistory::stepTarget(const Raster &picture, int step) const
{
    if (isEmpty() || picture.isEmpty())
        return -1;
    TargetCache &cache = step < 0 ? undoTarget_ : redoTarget_;
    const qint64 key = picture.image().cacheKey();
    if (cache.valid && cache.pictureKey == key && cache.generation == generation_)
        return cache.target;
    const QImage pixels = picture.toRgb32();
    TileMatches known;
    int target = -1;
    for (int i = step < 0 ? index_ : index_ + 1; i >= 0 && i <= lastIndex(); i += step)
        if (!showsSame(i, pixels, known)) {
            target = i;
            break;
        }
    cache = TargetCache{key, generation_, target, true};
    return target;
}

bool UndoHistory::canUndo(const Raster &picture) const { return stepTarget(picture, -1) >= 0; }
bool UndoHistory::canRedo(const Raster &picture) const { return stepTarget(picture, 1) >= 0; }

void UndoHistory::undo(Raster &picture)
{
    const int target = stepTarget(picture, -1);
    if (target < 0)
        return;
    index_ = std::int8_t(target);
    restore(index_, picture);
    historyChanged();
}

void UndoHistory::redo(Raster &picture)
{
    const int target = stepTarget(picture, 1);
    if (target < 0)
        return;
    index_ = std::int8_t(target);
    restore(index_, picture);
    historyChanged();
}

bool UndoHistory::showsSame(int i, const QImage &picture, TileMatches &known) const
{
    const Snapshot &s = snapshots_[size_t(i)];
    // The last snapshot's pixels are kept unpacked: a tile this snapshot shares with it is
    // compared without unpacking. Only tiles that differ from the last snapshot's are
    // unpacked, each once, and the first tile that differs ends the comparison.
    const Snapshot &last = snapshots_.back();
    const bool lastUnpacked = lastPixels_.width() == s.width && lastPixels_.height() == s.height &&
                              last.tiles.size() == s.tiles.size();
    std::vector<char> raw;
    size_t k = 0;
    for (int ty = 0; ty < s.height; ty += T) {
        for (int tx = 0; tx < s.width; tx += T, ++k) {
            if (tx >= picture.width() || ty >= picture.height())
                continue;
            const Tile *tile = s.tiles[k].get();
            auto seen = known.find(tile);
            if (seen == known.end()) {
                const int w = qMin(T, s.width - tx), h = qMin(T, s.height - ty);
                const int cw = qMin(w, picture.width() - tx), ch = qMin(h, picture.height() - ty);
                bool same = true;
                if (lastUnpacked && last.tiles[k].get() == tile) {
                    same = sameTile(picture, lastPixels_, tx, ty, cw, ch);
                } else {
                    raw.resize(size_t(T) * T * 4);
                    if (tile->unpack(raw))
                        for (int row = 0; row < ch && same; ++row)
                            same = std::memcmp(picture.constScanLine(ty + row) + tx * 4,
                                               raw.data() + size_t(row) * w * 4, size_t(cw) * 4) == 0;
                }
                seen = known.emplace(tile, same).first;
            }
            if (!seen->second)
                return false;
        }
    }
    return true;
}

bool UndoHistory::Tile::unpack(std::vector<char> &raw) const
{
    return LZ4_decompress_safe(data.constData(), raw.data(), int(data.size()), int(raw.size())) == rawSize;
}

void UndoHistory::restore(int i, Raster &picture) const
{
    if (i < 0 || i >= count() || picture.isEmpty())
        return;
    const Snapshot &s = snapshots_[size_t(i)];
    QImage &dst = picture.paintable();
    std::vector<char> raw(size_t(T) * T * 4);
    size_t k = 0;
    for (int ty = 0; ty < s.height; ty += T) {
        for (int tx = 0; tx < s.width; tx += T, ++k) {
            const int w = qMin(T, s.width - tx), h = qMin(T, s.height - ty);
            if (tx >= dst.width() || ty >= dst.height())
                continue;
            const Tile &tile = *s.tiles[k];
            if (!tile.unpack(raw))
                continue;
            const int cw = qMin(w, dst.width() - tx), ch = qMin(h, dst.height() - ty);
            for (int row = 0; row < ch; ++row)
                std::memcpy(dst.scanLine(ty + row) + tx * 4, raw.data() + size_t(row) * w * 4, size_t(cw) * 4);
        }
    }
}

Raster UndoHistory::snapshot(int i) const
{
    if (i < 0 || i >= count())
        return {};
    const Snapshot &s = snapshots_[size_t(i)];
    Raster r(s.width, s.height);
    restore(i, r);
    return r;
}

qint64 UndoHistory::memoryBytes() const
{
    qint64 bytes = tileBytes_ + qint64(lastPixels_.sizeInBytes());
    for (const Snapshot &s : snapshots_)
        bytes += qint64(sizeof(Snapshot) + s.tiles.size() * sizeof(std::shared_ptr<const Tile>));
    return bytes;
}

void UndoHistory::clear()
{
    snapshots_.clear();
    tileBytes_ = 0;
    lastPixels_ = QImage();
    index_ = 0;
    historyChanged();
}
