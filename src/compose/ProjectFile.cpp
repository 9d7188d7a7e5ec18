#include "compose/ProjectFile.h"

#include "imageio/ComponentStream.h"
#include "core/FileBytes.h"
#include "core/Errors.h"
#include "core/MessageText.h"
#include "imageio/BmpCodec.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <iterator>

namespace {

// The item table control as the file describes it; only its rows vary.
constexpr int TableLeft = 24, TableTop = 40, TableWidth = 569, TableHeight = 289;
const char *const ColumnCaptions[] = {"Text", "Type", "FontName", "FontSize", "FontDepth", "StartColor",
                                      "EndColor", "XPos", "YPos", "Direction", "Alignment"};

// A stored row: image index, state index, overlay index, cell count, data word, then at
// least the caption's length byte.
constexpr qint64 MinRowBytes = 5 * 4 + 1;
// Only the first ten rows are items. Rows up to this many are kept as stored; rows beyond
// it are read and checked but not kept, so a crafted table of millions of tiny rows
// costs no more memory than a sensible one.
constexpr qint64 MaxKeptRows = 1000;

// Cell 11 of an item's row marks whether the item's surface is stored (1) or not (0), so
// the surfaces, which follow each other without slot numbers, find their items again.
// The cell was always 0 before, so readers of the format see nothing new.
constexpr int SurfaceMarkCell = CellUnused1;
const QString SurfaceStored = QStringLiteral("1"), NoSurfaceStored = QStringLiteral("0");

QList<ItemRow> markSurfaces(QList<ItemRow> rows, const std::array<Raster, ItemCount> &surfaces)
{
    for (qsizetype k = 0; k < rows.size() && k < ItemCount; ++k)
        rows[k].cells[SurfaceMarkCell] = surfaces[size_t(k)].isEmpty() ? NoSurfaceStored : SurfaceStored;
    return rows;
}

// Texts longer than a short string holds. A row keeps the first 255 bytes of each text in
// its short string, as every reader of the table expects; the whole texts follow the cell
// image table as the entry "LongTexts": a list of pairs, the text's place in the table
// (row * TextsPerRow, plus 0 for the caption or 1 + c for cell c) and the text as a long
// string. Readers that know only the rows stop at the cell images and keep the first 255
// bytes, as before; a table whose texts all fit has no such entry and stays the same.
const QByteArray LongTextsName = QByteArrayLiteral("LongTexts");
constexpr qint64 TextsPerRow = 1 + ItemCellCount;

const QString &rowText(const ItemRow &row, qint64 place) { return place == 0 ? row.caption : row.cells[size_t(place - 1)]; }
QString &rowText(ItemRow &row, qint64 place) { return place == 0 ? row.caption : row.cells[size_t(place - 1)]; }

void writeLongTexts(ComponentWriter &body, const QList<ItemRow> &rows)
{
    bool any = false;
    for (qsizetype k = 0; k < rows.size(); ++k) {
        for (qint64 place = 0; place < TextsPerRow; ++place) {
            const QString &text = rowText(rows[k], place);
            if (encodeText(text, -1).size() <= MaxShortString)
                continue;
            if (!any) {
                body.writeName(LongTextsName);
                body.beginList();
                any = true;
            }
            body.writeInteger(k * TextsPerRow + place);
            body.writeString(text); // a long string: it has more than 255 bytes
        }
    }
    if (any)
        body.endList();
}

// The whole texts of a "LongTexts" entry. A whole text replaces its row's text only when
// the row holds its first 255 bytes, so a table whose rows were changed without the entry
// keeps its rows. Texts of rows not kept are read and dropped.
void readLongTexts(ComponentReader &r, QList<ItemRow> &rows, qint64 rowCount)
{
    if (r.readKind() != ValueKind::List)
        throw LetrafexError(messageText("Invalid property value"));
    while (!r.atListEnd()) {
        const qint64 place = r.readInteger();
        // Only the kind the writer writes: its text decodes to whole characters, so a
        // project reads back from what it writes as it was read.
        if (r.peekKind() != ValueKind::LString)
            throw LetrafexError(messageText("Invalid property value"));
        const QString text = r.readString();
        if (place < 0 || place >= rowCount * TextsPerRow)
            throw LetrafexError(messageText("Invalid property value"));
        if (place / TextsPerRow >= rows.size())
            continue;
        QString &stored = rowText(rows[qsizetype(place / TextsPerRow)], place % TextsPerRow);
        if (decodeText(encodeText(text)) == stored)
            stored = text;
    }
}

QByteArray itemsData(const QList<ItemRow> &rows)
{
    ComponentWriter body;
    body.writeInt32(qint32(rows.size()));
    for (const ItemRow &row : rows) {
        body.writeInt32(0);  // image index
        body.writeInt32(-1); // state index
        body.writeInt32(-1); // overlay index
        body.writeInt32(ItemCellCount);
        body.writeInt32(0);  // data word
        body.writeShortString(encodeText(row.caption));
        for (const QString &cell : row.cells)
            body.writeShortString(encodeText(cell));
    }
    for (qsizetype k = 0; k < rows.size() * ItemCellCount; ++k)
        body.writeInt16(-1); // cell image index
    writeLongTexts(body, rows);
    ComponentWriter payload;
    payload.writeInt32(qint32(body.data().size() + 4));
    payload.writeRaw(body.data());
    return payload.data();
}

void writeTable(ComponentWriter &w, const QList<ItemRow> &rows)
{
    w.beginObject("TListView", "DataBase");
    w.integerProperty("Left", TableLeft);
    w.integerProperty("Top", TableTop);
    w.integerProperty("Width", TableWidth);
    w.integerProperty("Height", TableHeight);
    w.writeName("Columns");
    w.beginCollection();
    for (size_t c = 0; c < std::size(ColumnCaptions); ++c) {
        w.beginList();
        w.stringProperty("Caption", QString::fromLatin1(ColumnCaptions[c]));
        if (c + 1 == std::size(ColumnCaptions))
            w.integerProperty("Width", 0); // the last column is hidden
        w.endList();
    }
    w.endList();
    w.booleanProperty("GridLines", true);
    w.binaryProperty("Items.Data", itemsData(rows));
    w.integerProperty("TabOrder", 1);
    w.identifierProperty("ViewStyle", "vsReport");
    w.endObject();
}

void writeLayer(ComponentWriter &w, const QByteArray &name, const ProjectLayer &layer, bool withHint)
{
    w.beginObject("TImage", name);
    w.integerProperty("Left", layer.left);
    w.integerProperty("Top", layer.top);
    w.integerProperty("Width", layer.width);
    w.integerProperty("Height", layer.height);
    if (withHint) {
        w.stringProperty("Hint", layer.hint);
        w.booleanProperty("ParentShowHint", false);
    }
    w.pictureProperty("Picture.Data", layer.picture);
    if (withHint)
        w.booleanProperty("ShowHint", true);
    w.endObject();
}

// Reads one stored row; cellCount receives the number of cells the row stores.
ItemRow readRow(ComponentReader &r, qint64 &cellCount)
{
    r.skipBytes(3 * 4); // image, state and overlay index
    cellCount = r.readInt32();
    if (cellCount < 0 || cellCount > r.remaining())
        throw LetrafexError(messageText("Stream read error"));
    r.skipBytes(4); // data word
    // Cells the row does not store keep the values of a new row; cells beyond the
    // thirteen the program knows are read and dropped.
    static const ItemRow fresh = ItemRow::newRow(); // copies share its texts
    ItemRow row = fresh;
    row.caption = decodeText(r.readShortString());
    for (qint64 c = 0; c < cellCount; ++c) {
        const QByteArray cell = r.readShortString();
        if (c < ItemCellCount)
            row.cells[size_t(c)] = decodeText(cell);
    }
    return row;
}

QList<ItemRow> readItemsData(const QByteArray &block)
{
    ComponentReader r(block);
    const qint64 totalSize = r.readInt32();
    const qint64 count = r.readInt32();
    // Checked before anything is reserved: every row takes bytes of its own.
    if (count < 0 || count * MinRowBytes > r.remaining())
        throw LetrafexError(messageText("Stream read error"));
    QList<ItemRow> rows;
    rows.reserve(qsizetype(std::min(count, MaxKeptRows)));
    qint64 cells = 0;
    for (qint64 k = 0; k < count; ++k) {
        qint64 cellCount = 0;
        ItemRow row = readRow(r, cellCount);
        if (k < MaxKeptRows)
            rows.append(std::move(row));
        cells += cellCount;
    }
    // The cell image indexes follow when the stored size leaves room for them; the
    // program has no use for them.
    if (totalSize > r.position()) {
        r.skipBytes(cells * 2);
        if (r.atName(LongTextsName))
            readLongTexts(r, rows, count);
    }
    return rows;
}

void readTable(ComponentReader &r, QList<ItemRow> &rows)
{
    if (r.beginObject().className != "TListView")
        throw LetrafexError(messageText("Invalid stream format"));
    // Only the rows vary; the rest describes the control, which the program lays out itself.
    static const QList<QByteArray> lookProperties = {"Left", "Top", "Width", "Height", "Columns",
                                                     "GridLines", "TabOrder", "ViewStyle"};
    while (!r.atListEnd()) {
        const QByteArray name = r.readName();
        if (name == "Items.Data")
            rows = readItemsData(r.readBinary());
        else if (lookProperties.contains(name))
            r.skipValue();
        else
            throwUnknownProperty(name);
    }
    r.endObject();
}

void readLayer(ComponentReader &r, ProjectLayer &layer)
{
    ImageRecord record = readImageRecord(r);
    if (record.header.className != "TImage")
        throw LetrafexError(messageText("Invalid stream format"));
    // The layer becomes a picture of this size: beyond the picture limits the record is
    // damaged, whatever the picture it holds.
    if (!Raster::sizeAllowed(record.width, record.height))
        throw LetrafexError(messageText("Invalid property value"));
    layer.left = record.left;
    layer.top = record.top;
    layer.width = record.width;
    layer.height = record.height;
    layer.hint = record.hint;
    layer.picture = std::move(record.picture);
}

// The surface section: the stored bitmaps, one after the other, at most one per item.
QList<Raster> readSurfaces(const QByteArray &data, qsizetype start)
{
    QBuffer device;
    device.setData(data);
    device.open(QIODevice::ReadOnly);
    device.seek(start);
    QList<Raster> surfaces;
    while (surfaces.size() < ItemCount && !device.atEnd()) {
        char head[6];
        const qint64 got = device.peek(head, 6);
        if (head[0] != 'B' || (got >= 2 && head[1] != 'M'))
            throw LetrafexError(messageText("Bitmap image is not valid"));
        // The images follow each other with nothing between them, so an image that claims
        // more bytes than are left was cut short, even when its pixels are all there.
        if (got == 6 && qFromLittleEndian<quint32>(head + 2) > quint64(device.size() - device.pos()))
            throw LetrafexError(messageText("Stream read error"));
        surfaces.append(ReadBmp(device));
    }
    return surfaces;
}

// Gives the k-th stored surface to the k-th item whose row is marked as owning one. Files
// without marks (written elsewhere), or whose marks do not account for every stored
// surface, fill the slots 1, 2, ... in turn. The marks are the file's business only: they
// are cleared from the rows.
void placeSurfaces(QList<ItemRow> &rows, const QList<Raster> &stored, std::array<Raster, ItemCount> &surfaces)
{
    QList<int> owners;
    for (qsizetype k = 0; k < rows.size() && k < ItemCount; ++k)
        if (cellInteger(rows[k].cells[SurfaceMarkCell]) == 1)
            owners.append(int(k));
    const bool marked = !owners.isEmpty() && owners.size() >= stored.size();
    for (qsizetype j = 0; j < stored.size(); ++j)
        surfaces[size_t(marked ? owners[j] : j)] = stored[j];
    // Every item row's mark is cleared, whatever it held: the writer writes the cell from
    // the surfaces alone, so a project reads back as it was read.
    for (qsizetype k = 0; k < rows.size() && k < ItemCount; ++k)
        rows[k].cells[SurfaceMarkCell] = NoSurfaceStored;
}

} // namespace

QByteArray WriteProject(const Project &project)
{
    ComponentWriter w;
    writeTable(w, markSurfaces(project.rows, project.surfaces));
    writeLayer(w, "TitleImage", project.title, true);
    writeLayer(w, "BgImage", project.bg, false);
    QByteArray out = w.data();
    for (const Raster &surface : project.surfaces) {
        if (!surface.isEmpty())
            out.append(WriteBmp(surface, 24));
    }
    return out;
}

Project ReadProject(const QByteArray &data)
{
    Project project;
    ComponentReader r(data);
    readTable(r, project.rows);
    readLayer(r, project.title);
    readLayer(r, project.bg);
    placeSurfaces(project.rows, readSurfaces(data, r.position()), project.surfaces);
    return project;
}

void SaveProjectFile(const QString &fileName, const Project &project)
{
    writeWholeFile(fileName, WriteProject(project));
}

Project LoadProjectFile(const QString &fileName)
{
    const QByteArray data = readWholeFile(fileName); // its errors name the file already
    try {
        return ReadProject(data);
    } catch (const LetrafexError &e) {
        throw LetrafexError(messageText("The file \"%1\" is not a readable Letrafex project: %2")
                                .arg(nativeFilePath(fileName), e.text()));
    }
}

void applyProjectItems(const Project &project, ItemTable &table)
{
    for (int k = 0; k < ItemCount; ++k) {
        table.rows[size_t(k)] = k < project.rows.size() ? project.rows[k] : ItemRow::newRow();
        table.surfaces[size_t(k)] = project.surfaces[size_t(k)];
    }
}

void takeProjectItems(const ItemTable &table, Project &project)
{
    project.rows = QList<ItemRow>(table.rows.begin(), table.rows.end());
    project.surfaces = table.surfaces;
}
