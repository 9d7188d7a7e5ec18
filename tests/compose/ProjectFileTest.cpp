#include "compose/ProjectFile.h"

#include "imageio/ComponentStream.h"
#include "core/Errors.h"
#include "imageio/BmpCodec.h"

#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace {

// Bytes put together by hand, field by field, to check the writer against the layout
// without using it.
struct Bytes
{
    QByteArray b;
    Bytes &u8(int v) { b.append(char(v)); return *this; }
    Bytes &i16(int v) { char c[2]; qToLittleEndian(qint16(v), c); b.append(c, 2); return *this; }
    Bytes &i32(qint64 v) { char c[4]; qToLittleEndian(qint32(v), c); b.append(c, 4); return *this; }
    Bytes &raw(const QByteArray &v) { b.append(v); return *this; }
    Bytes &str(const QByteArray &v) { return u8(int(v.size())).raw(v); }
    Bytes &name(const QByteArray &v) { return str(v); }
};

Raster picture(int w, int h, TColor base)
{
    Raster r(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            r.setPixel(x, y, base + TColor(x * 7 + y * 13));
    return r;
}

ItemRow row(const QString &caption, const QString &font = QStringLiteral("Arial"))
{
    ItemRow r = ItemRow::newRow();
    r.caption = caption;
    r.cells[CellFontName] = font;
    r.cells[CellXPos] = QStringLiteral("12");
    return r;
}

Project sampleProject()
{
    Project p;
    for (int k = 0; k < ItemCount; ++k)
        p.rows.append(row(QStringLiteral("Item%1").arg(k + 1)));
    p.title = {0, 0, 462, 220, QStringLiteral("Working picture"), picture(5, 3, 0x102030)};
    p.bg = {-4, 300, 300, 128, QStringLiteral("ignored but kept"), picture(3, 4, 0x405060)};
    p.surfaces[2] = picture(2, 2, 0x0000FF);
    p.surfaces[7] = picture(4, 1, 0x00FF00);
    return p;
}

void expectError(const std::function<void()> &step, const QString &message)
{
    try {
        step();
        ADD_FAILURE() << "no error, expected " << message.toStdString();
    } catch (const LetrafexError &e) {
        EXPECT_EQ(e.text(), message);
    }
}

QString errorOf(const QByteArray &data)
{
    try {
        (void)ReadProject(data);
    } catch (const LetrafexError &e) {
        return e.text();
    }
    return QString();
}

// The layout of a whole project, field by field.
QByteArray handBuiltTable(const QList<QList<QByteArray>> &rows)
{
    Bytes items;
    items.i32(rows.size());
    for (const QList<QByteArray> &r : rows) {
        items.i32(0).i32(-1).i32(-1).i32(13).i32(0);
        for (const QByteArray &text : r) // caption, then the thirteen cells
            items.str(text);
    }
    for (qsizetype k = 0; k < rows.size() * 13; ++k)
        items.i16(-1);
    const QByteArray payload = Bytes().i32(items.b.size() + 4).raw(items.b).b;

    Bytes t;
    t.raw("TPF0").str("TListView").str("DataBase");
    t.name("Left").u8(2).u8(24).name("Top").u8(2).u8(40);
    t.name("Width").u8(3).i16(569).name("Height").u8(3).i16(289);
    t.name("Columns").u8(14);
    const char *captions[] = {"Text", "Type", "FontName", "FontSize", "FontDepth", "StartColor",
                              "EndColor", "XPos", "YPos", "Direction", "Alignment"};
    for (const char *c : captions) {
        t.u8(1).name("Caption").u8(6).str(c);
        if (QByteArray(c) == "Alignment")
            t.name("Width").u8(2).u8(0);
        t.u8(0);
    }
    t.u8(0);
    t.name("GridLines").u8(9);
    t.name("Items.Data").u8(10).i32(payload.size()).raw(payload);
    t.name("TabOrder").u8(2).u8(1);
    t.name("ViewStyle").u8(7).str("vsReport");
    t.u8(0).u8(0);
    return t.b;
}

QByteArray handBuiltPicture(const Raster &r)
{
    const QByteArray image = r.isEmpty() ? QByteArray() : WriteBmp(r, 24);
    return Bytes().u8(10).i32(12 + image.size()).str("TBitmap").i32(image.size()).raw(image).b;
}

QList<QByteArray> newRowBytes(const QByteArray &caption)
{
    return {caption, "1", "Arial", "48", "10", "65535", "32768", "0", "0", "1", "16776960", "16711680", "0", "0"};
}

} // namespace

// ----- the tagged property stream -----

TEST(ComponentStream, IntegersTakeTheSmallestKind)
{
    const QList<QPair<qint64, QByteArray>> cases = {
        {0, Bytes().u8(2).u8(0).b},          {127, Bytes().u8(2).u8(127).b},
        {-128, Bytes().u8(2).u8(0x80).b},    {128, Bytes().u8(3).i16(128).b},
        {-129, Bytes().u8(3).i16(-129).b},   {32767, Bytes().u8(3).i16(32767).b},
        {32768, Bytes().u8(4).i32(32768).b}, {-32769, Bytes().u8(4).i32(-32769).b}};
    for (const auto &[value, bytes] : cases) {
        ComponentWriter w;
        w.writeInteger(value);
        EXPECT_EQ(w.data(), bytes) << value;
        ComponentReader r(w.data());
        EXPECT_EQ(r.readInteger(), value);
        EXPECT_TRUE(r.atEnd());
    }
}

TEST(ComponentStream, StringsAboveTheShortLengthAreLongStrings)
{
    ComponentWriter w;
    w.writeString(QString(255, QLatin1Char('a')));
    w.writeString(QString(256, QLatin1Char('b')));
    const QByteArray &d = w.data();
    ASSERT_EQ(d.size(), 1 + 1 + 255 + 1 + 4 + 256);
    EXPECT_EQ(d[0], 6);
    EXPECT_EQ(uchar(d[1]), 255);
    EXPECT_EQ(d[257], 12);
    EXPECT_EQ(qFromLittleEndian<qint32>(d.constData() + 258), 256);
    ComponentReader r(d);
    EXPECT_EQ(r.readString(), QString(255, QLatin1Char('a')));
    EXPECT_EQ(r.readString(), QString(256, QLatin1Char('b')));
}

TEST(ComponentStream, TextIsWindows1252WhenItFitsAndUtf8Otherwise)
{
    EXPECT_EQ(encodeText(QStringLiteral("Grüße €")), QByteArray("Gr\xFC\xDF" "e \x80"));
    EXPECT_EQ(decodeText(QByteArray("Gr\xFC\xDF" "e \x80\x9F")), QStringLiteral("Grüße €Ÿ"));
    const QString greek = QStringLiteral("Καλημέρα");
    EXPECT_EQ(encodeText(greek), QByteArray("\xEF\xBB\xBF") + greek.toUtf8());
    EXPECT_EQ(decodeText(encodeText(greek)), greek);
    // Text whose Windows-1252 bytes would look like the mark goes the UTF-8 way.
    const QString markLike = QStringLiteral("ï»¿abc");
    EXPECT_TRUE(encodeText(markLike).startsWith("\xEF\xBB\xBF\xC3\xAF"));
    EXPECT_EQ(decodeText(encodeText(markLike)), markLike);
    // A mark inside UTF-8 text is a character of the text.
    const QString innerMark = QStringLiteral("\uFEFFα");
    EXPECT_EQ(decodeText(encodeText(innerMark)), innerMark);
    // Damaged UTF-8 keeps what it can and never grows.
    EXPECT_EQ(decodeText(QByteArray("\xEF\xBB\xBF" "a\xFF" "b")), QStringLiteral("a?b"));
}

TEST(ComponentStream, LongTextIsCutOnACharacterBoundary)
{
    EXPECT_EQ(encodeText(QString(300, QChar(0xE9))), QByteArray(255, '\xE9'));
    QString emoji;
    for (int k = 0; k < 100; ++k)
        emoji += QStringLiteral("😀");
    const QByteArray cut = encodeText(emoji);
    EXPECT_EQ(cut.size(), 3 + 63 * 4); // 64 would need 259 bytes
    EXPECT_EQ(decodeText(cut), emoji.left(63 * 2));
    // Windows-1252 text is cut by characters even when a character it cannot hold
    // comes only after the cut.
    const QString late = QString(260, QLatin1Char('x')) + QStringLiteral("ж");
    EXPECT_EQ(encodeText(late), QByteArray(255, 'x'));
}

namespace {
// One value of every kind, each followed by the marker byte 0x7E.
QList<QByteArray> valueOfEveryKind()
{
    return {
        Bytes().u8(0).b,
        Bytes().u8(1).u8(2).u8(5).u8(1).u8(9).u8(0).u8(6).str("in").u8(0).b,
        Bytes().u8(2).u8(0xFF).b,
        Bytes().u8(3).i16(-2).b,
        Bytes().u8(4).i32(1 << 20).b,
        Bytes().u8(5).raw(QByteArray(10, '\x3F')).b,
        Bytes().u8(6).str("text").b,
        Bytes().u8(7).str("vsReport").b,
        Bytes().u8(8).b,
        Bytes().u8(9).b,
        Bytes().u8(10).i32(3).raw("abc").b,
        Bytes().u8(11).str("fsBold").str("fsItalic").u8(0).b,
        Bytes().u8(12).i32(300).raw(QByteArray(300, 'L')).b,
        Bytes().u8(13).b,
        Bytes().u8(14).u8(1).name("Caption").u8(6).str("A").u8(0)
            .u8(2).u8(7).u8(1).name("Sub").u8(1).u8(14).u8(0).u8(0).u8(0).u8(0).b,
        Bytes().u8(15).i32(0x3F800000).b,
        Bytes().u8(16).raw(QByteArray(8, '\x01')).b,
        Bytes().u8(17).raw(QByteArray(8, '\x02')).b,
        Bytes().u8(18).i32(2).i16(0x3B1).i16(0x3B2).b,
        Bytes().u8(19).raw(QByteArray(8, '\x03')).b,
        Bytes().u8(20).i32(2).raw("\xCE\xB1").b,
    };
}
} // namespace

TEST(ComponentStream, SkipsEveryKindExactly)
{
    const QList<QByteArray> values = valueOfEveryKind();
    ASSERT_EQ(values.size(), 21);
    for (int kind = 0; kind <= 20; ++kind) {
        const QByteArray data = values[kind] + '\x7E';
        ComponentReader r(data);
        r.skipValue();
        EXPECT_EQ(r.position(), values[kind].size()) << "kind " << kind;
    }
    // Every kind but the end marker as an entry of one list, inside a record whose
    // unknown properties are skipped one by one.
    Bytes list;
    list.u8(1);
    for (int kind = 1; kind <= 20; ++kind)
        list.raw(values[kind]);
    list.u8(0);
    Bytes record;
    record.raw("TPF0").str("TThing").str("Thing").name("Extra").raw(list.b).name("After").u8(2).u8(42).u8(0).u8(0);
    ComponentReader r(record.b);
    r.beginObject();
    EXPECT_EQ(r.readName(), "Extra");
    r.skipValue();
    EXPECT_EQ(r.readName(), "After");
    EXPECT_EQ(r.readInteger(), 42);
    EXPECT_TRUE(r.atListEnd());
    r.endObject();
    EXPECT_TRUE(r.atEnd());
}

TEST(ComponentStream, ReadsEveryStringKind)
{
    const QList<QByteArray> values = valueOfEveryKind();
    const QStringList expected = {QStringLiteral("text"), QString(300, QLatin1Char('L')), QStringLiteral("αβ"),
                                  QStringLiteral("α")};
    const int kinds[] = {6, 12, 18, 20};
    for (int k = 0; k < 4; ++k) {
        ComponentReader r(values[kinds[k]]);
        EXPECT_EQ(r.readString(), expected[k]);
        EXPECT_TRUE(r.atEnd());
    }
}

TEST(ComponentStream, RejectsLengthsBeyondTheEnd)
{
    const QList<QByteArray> values = valueOfEveryKind();
    for (int kind = 1; kind <= 20; ++kind) {
        const QByteArray &whole = values[kind];
        for (qsizetype cut = 1; cut < whole.size(); ++cut) {
            const QByteArray data = whole.left(cut);
            ComponentReader r(data);
            expectError([&] { r.skipValue(); }, QStringLiteral("Stream read error"));
        }
    }
    for (int kind : {10, 12, 18, 20}) {
        for (qint64 length : {qint64(0x7FFFFFFF), qint64(-1), qint64(5)}) {
            const QByteArray data = Bytes().u8(kind).i32(length).raw("abcd").b;
            ComponentReader r(data);
            expectError([&] { r.skipValue(); }, QStringLiteral("Stream read error"));
        }
    }
}

TEST(ComponentStream, RejectsUnknownKindsAndDeepNesting)
{
    ComponentReader unknown(Bytes().u8(21).b);
    expectError([&] { unknown.skipValue(); }, QStringLiteral("Invalid stream format"));
    const QByteArray deep = QByteArray(100000, '\x01') + QByteArray(100000, '\0');
    ComponentReader nested(deep);
    expectError([&] { nested.skipValue(); }, QStringLiteral("Invalid stream format"));
    ComponentReader wrongKind(Bytes().u8(6).str("12").b);
    expectError([&] { wrongKind.readInteger(); }, QStringLiteral("Invalid property value"));
}

TEST(ComponentStream, ImageRecordOfTheFavouritesLayout)
{
    const Raster texture = picture(3, 2, 0x0A0B0C);
    ComponentWriter w;
    for (int slot = 0; slot < 2; ++slot) {
        w.beginObject("TImage", "TextureImage");
        w.integerProperty("Left", 40);
        w.integerProperty("Top", 32);
        w.integerProperty("Width", 89);
        w.integerProperty("Height", 97);
        w.booleanProperty("Center", true);
        w.pictureProperty("Picture.Data", slot == 0 ? texture : Raster());
        w.booleanProperty("Visible", false);
        w.endObject();
    }
    // An empty slot is a record of 103 bytes.
    EXPECT_EQ(w.data().size() - 103, 103 + WriteBmp(texture, 24).size());
    EXPECT_EQ(w.data().mid(w.data().size() - 103, 11), QByteArray("TPF0\x06TImage"));
    ComponentReader r(w.data());
    const ImageRecord first = readImageRecord(r);
    EXPECT_EQ(first.header.objectName, "TextureImage");
    EXPECT_EQ(first.width, 89);
    EXPECT_TRUE(first.picture.samePixels(texture));
    const ImageRecord second = readImageRecord(r);
    EXPECT_TRUE(second.picture.isEmpty());
    EXPECT_TRUE(r.atEnd());
}

// ----- the project file -----

TEST(ProjectFile, LayoutMatchesTheHandBuiltBytes)
{
    Project p;
    QList<QList<QByteArray>> rows;
    for (int k = 0; k < ItemCount; ++k) {
        p.rows.append(ItemRow::newRow());
        rows.append(newRowBytes(QByteArray()));
    }
    // Windows-1252 text stays 8-bit, byte for byte.
    p.rows[0].caption = QStringLiteral("\"Grüße aus\",Köln");
    p.rows[0].cells[CellFontName] = QStringLiteral("Times New Roman");
    rows[0][0] = "\"Gr\xFC\xDF" "e aus\",K\xF6ln";
    rows[0][2] = "Times New Roman";
    p.title = {0, 0, 462, 220, QStringLiteral("Drag to place the text"), picture(2, 2, 0x112233)};
    p.bg = {0, 0, 462, 220, QString(), Raster()};
    // Without surfaces cell 11 stays 0 in every row; an item whose surface is stored has 1.
    const QByteArray records = WriteProject(p).mid(handBuiltTable(rows).size());
    EXPECT_EQ(WriteProject(p), handBuiltTable(rows) + records);
    p.surfaces[2] = picture(1, 1, 0x445566);
    rows[2][12] = "1";

    Bytes expected;
    expected.raw(handBuiltTable(rows));
    expected.raw("TPF0").str("TImage").str("TitleImage");
    expected.name("Left").u8(2).u8(0).name("Top").u8(2).u8(0);
    expected.name("Width").u8(3).i16(462).name("Height").u8(3).i16(220);
    expected.name("Hint").u8(6).str("Drag to place the text").name("ParentShowHint").u8(8);
    expected.name("Picture.Data").raw(handBuiltPicture(p.title.picture)).name("ShowHint").u8(9).u8(0).u8(0);
    expected.raw("TPF0").str("TImage").str("BgImage");
    expected.name("Left").u8(2).u8(0).name("Top").u8(2).u8(0);
    expected.name("Width").u8(3).i16(462).name("Height").u8(3).i16(220);
    expected.name("Picture.Data").raw(handBuiltPicture(Raster())).u8(0).u8(0);
    expected.raw(WriteBmp(p.surfaces[2], 24));
    EXPECT_EQ(WriteProject(p), expected.b);
}

TEST(ProjectFile, SavedProjectReadsBackExactly)
{
    const Project p = sampleProject();
    const Project back = ReadProject(WriteProject(p));
    EXPECT_EQ(back.rows, p.rows);
    for (const auto &[a, b] : {std::pair{&back.title, &p.title}, std::pair{&back.bg, &p.bg}}) {
        EXPECT_EQ(a->left, b->left);
        EXPECT_EQ(a->top, b->top);
        EXPECT_EQ(a->width, b->width);
        EXPECT_EQ(a->height, b->height);
        EXPECT_TRUE(a->picture.samePixels(b->picture));
        EXPECT_EQ(a->picture.bitCount(), 24);
    }
    EXPECT_EQ(back.title.hint, p.title.hint);
    EXPECT_TRUE(back.bg.hint.isEmpty()); // only the working picture's hint is kept
    // The surfaces of slots 3 and 8 come back in slots 3 and 8.
    for (int k = 0; k < ItemCount; ++k) {
        EXPECT_EQ(back.surfaces[size_t(k)].isEmpty(), p.surfaces[size_t(k)].isEmpty()) << k;
        EXPECT_TRUE(back.surfaces[size_t(k)].samePixels(p.surfaces[size_t(k)])) << k;
    }
}

TEST(ProjectFile, SurfacesComeBackToTheirOwnItems)
{
    // The only surface is item 6's: a single image after record 3, and row 6 says it is its.
    Project p = sampleProject();
    p.surfaces = {};
    p.surfaces[5] = picture(3, 3, 0x808080);
    const QByteArray data = WriteProject(p);
    EXPECT_TRUE(data.endsWith(WriteBmp(p.surfaces[5], 24)));
    ItemTable table;
    applyProjectItems(ReadProject(data), table);
    for (int k = 0; k < ItemCount; ++k)
        EXPECT_EQ(table.surfaces[size_t(k)].isEmpty(), k != 5) << k;
    EXPECT_TRUE(table.surfaces[5].samePixels(p.surfaces[5]));
    EXPECT_EQ(table.rows[5], p.rows[5]); // the mark is the file's, not the row's

    // A file from elsewhere marks no row: its surfaces fill slots 1, 2, ... in turn. So do
    // marks that do not account for every stored surface.
    // Cells 10 to 12 of a row whose surface is stored, as short strings.
    const QByteArray markedCells("\x08" "16711680" "\x01" "1" "\x01" "0");
    QByteArray unmarked = data;
    const qsizetype row6 = unmarked.indexOf("Item6");
    const qsizetype mark = unmarked.indexOf(markedCells, row6);
    ASSERT_GT(mark, row6);
    EXPECT_EQ(unmarked.indexOf(markedCells), mark); // no other row is marked
    unmarked[mark + 10] = '0';
    applyProjectItems(ReadProject(unmarked), table);
    EXPECT_TRUE(table.surfaces[0].samePixels(p.surfaces[5]));
    for (int k = 1; k < ItemCount; ++k)
        EXPECT_TRUE(table.surfaces[size_t(k)].isEmpty()) << k;
    Project two = p;
    two.surfaces[8] = picture(2, 1, 0x0000FF);
    QByteArray fewMarks = WriteProject(two);
    fewMarks[fewMarks.indexOf(markedCells, fewMarks.indexOf("Item9")) + 10] = '0';
    applyProjectItems(ReadProject(fewMarks), table);
    EXPECT_TRUE(table.surfaces[0].samePixels(two.surfaces[5]));
    EXPECT_TRUE(table.surfaces[1].samePixels(two.surfaces[8]));
    EXPECT_TRUE(table.surfaces[5].isEmpty());

    // A mark cell holding anything else reads as no mark, and the project reads back from
    // what it writes exactly as it was read.
    QByteArray odd = data;
    odd[mark + 10] = '7';
    const Project read = ReadProject(odd);
    EXPECT_EQ(read.rows[5].cells[CellUnused1], QStringLiteral("0"));
    EXPECT_TRUE(ReadProject(WriteProject(read)).rows == read.rows);
}

TEST(ProjectFile, WithoutSurfacesTheFileEndsAfterTheThirdRecord)
{
    Project p = sampleProject();
    p.surfaces = {};
    const QByteArray data = WriteProject(p);
    EXPECT_TRUE(data.endsWith(QByteArray("\x0CPicture.Data") + handBuiltPicture(p.bg.picture) + '\0' + '\0'));
    const Project back = ReadProject(data);
    for (const Raster &slot : back.surfaces)
        EXPECT_TRUE(slot.isEmpty());
    // Bytes after ten surfaces are not read.
    Project full = sampleProject();
    for (Raster &slot : full.surfaces)
        slot = picture(1, 1, 0x010203);
    const Project tail = ReadProject(WriteProject(full) + "trailing bytes");
    EXPECT_FALSE(tail.surfaces[9].isEmpty());
}

TEST(ProjectFile, LongCaptionsAndCellsComeBackWholeAndTheRowsKeepTheirFirst255Bytes)
{
    // Texts of more than 255 bytes come back whole; readers of the rows alone (the whole
    // texts' entry renamed here) get their first 255 bytes.
    Project p = sampleProject();
    p.rows[0].caption = QString(300, QLatin1Char('c'));
    p.rows[1].cells[CellFontName] = QString(254, QLatin1Char('f')) + QStringLiteral("ж"); // 513 bytes
    const QByteArray data = WriteProject(p);
    EXPECT_EQ(ReadProject(data).rows, p.rows);
    const Project rowsOnly = ReadProject(QByteArray(data).replace("\x09LongTexts", "\x09SongTexts"));
    EXPECT_EQ(rowsOnly.rows[0].caption, QString(255, QLatin1Char('c')));
    EXPECT_EQ(rowsOnly.rows[1].cells[CellFontName], QString(252, QLatin1Char('f')));
}

TEST(ProjectFile, AnyTextOfAnyLengthComesBackWhole)
{
    std::mt19937 random(27);
    for (int round = 0; round < 40; ++round) {
        Project p = sampleProject(); // random Unicode scalar values (no lone surrogates) of random length
        for (int k = 0; k < ItemCount; ++k) {
            std::u32string text(size_t(std::uniform_int_distribution<int>(0, round % 4 ? 400 : 20000)(random)), U'a');
            for (char32_t &c : text)
                while ((c = std::uniform_int_distribution<char32_t>(0, round % 2 ? 0xFF : 0x10FFFF)(random)) >= 0xD800 && c <= 0xDFFF) {}
            p.rows[k].caption = QString::fromStdU32String(text);
            p.rows[k].cells[size_t(k)] = QString::fromStdU32String(text.substr(text.size() / 3));
        }
        EXPECT_EQ(ReadProject(WriteProject(p)).rows, p.rows) << "round " << round;
    }
}

TEST(ProjectFile, TextOutsideWindows1252ComesBackUnchanged)
{
    Project p = sampleProject();
    p.rows[0].caption = QStringLiteral("Καλημέρα,κόσμε");
    p.rows[1].caption = QStringLiteral("\"Party 🎉\",ok");
    p.rows[2].cells[CellFontName] = QStringLiteral("Noto Sans CJK 日本");
    p.rows[3].caption = QStringLiteral("Привет");
    p.title.hint = QStringLiteral("Подсказка");
    const Project back = ReadProject(WriteProject(p));
    EXPECT_EQ(back.rows, p.rows);
    EXPECT_EQ(back.title.hint, p.title.hint);
}

TEST(ProjectFile, StoredTablesOfOtherSizes)
{
    Project p = sampleProject();
    for (int k = 0; k < 2; ++k)
        p.rows.append(row(QStringLiteral("Extra%1").arg(k)));
    const Project many = ReadProject(WriteProject(p));
    ASSERT_EQ(many.rows.size(), 12);
    ItemTable table;
    applyProjectItems(many, table);
    for (int k = 0; k < ItemCount; ++k)
        EXPECT_EQ(table.rows[size_t(k)], p.rows[k]);

    p.rows = {row(QStringLiteral("one")), row(QStringLiteral("two")), row(QStringLiteral("three"))};
    const Project few = ReadProject(WriteProject(p));
    ASSERT_EQ(few.rows.size(), 3);
    ItemTable edited;
    edited.rows[5].caption = QStringLiteral("left over");
    applyProjectItems(few, edited);
    EXPECT_EQ(edited.rows[2], p.rows[2]);
    for (int k = 3; k < ItemCount; ++k)
        EXPECT_EQ(edited.rows[size_t(k)], ItemRow::newRow()) << k;
}

TEST(ProjectFile, RowsWithOtherCellCountsAndAbsurdCounts)
{
    // A hand-made table whose row stores two cells and no cell image table.
    const QByteArray items = Bytes().i32(8 + 20 + 1 + 3 + 3).i32(1).i32(0).i32(-1).i32(-1).i32(2).i32(0)
                                 .str("").str("3").str("Sym").b;
    Bytes table;
    table.raw("TPF0").str("TListView").str("DataBase").name("Items.Data").u8(10).i32(items.size()).raw(items).u8(0).u8(0);
    Project p = sampleProject();
    p.rows.clear();
    const QByteArray rest = WriteProject(p).mid(handBuiltTable({}).size());
    const Project back = ReadProject(table.b + rest);
    ASSERT_EQ(back.rows.size(), 1);
    ItemRow expected = ItemRow::newRow();
    expected.cells[CellType] = "3";
    expected.cells[CellFontName] = "Sym";
    EXPECT_EQ(back.rows[0], expected);

    // A count of rows or cells larger than the bytes could hold fails before any allocation.
    for (const QByteArray &bad : {Bytes().i32(0).i32(0x7FFFFFFF).b, Bytes().i32(0).i32(-1).b,
                                  Bytes().i32(0).i32(1).i32(0).i32(-1).i32(-1).i32(0x7FFFFFF0).i32(0).u8(0).b}) {
        Bytes t;
        t.raw("TPF0").str("TListView").str("DataBase").name("Items.Data").u8(10).i32(bad.size()).raw(bad).u8(0).u8(0);
        EXPECT_EQ(errorOf(t.b + rest), "Stream read error");
    }
}

TEST(ProjectFile, DamagedFilesGiveTheirMessage)
{
    const Project sample = sampleProject();
    const QByteArray good = WriteProject(sample);
    const qsizetype firstSurface = WriteBmp(sample.surfaces[2], 24).size();
    const qsizetype surfaces = good.size() - firstSurface - WriteBmp(sample.surfaces[7], 24).size();
    const qsizetype titleAt = good.indexOf("TPF0", 4);

    QByteArray noSignature = good;
    noSignature[titleAt + 3] = '1';
    EXPECT_EQ(errorOf(noSignature), "Invalid stream format");
    EXPECT_EQ(errorOf("PK\x03\x04 not a project"), "Invalid stream format");

    QByteArray unknown = good;
    unknown[unknown.indexOf("GridLines")] = 'X';
    EXPECT_EQ(errorOf(unknown), "Property XridLines does not exist");
    QByteArray unknownOnPicture = good;
    unknownOnPicture.replace(unknownOnPicture.indexOf("\x08ShowHint"), 9, "\x08ShowHunt");
    EXPECT_EQ(errorOf(unknownOnPicture), "Property ShowHunt does not exist");

    QByteArray notBitmap = good;
    notBitmap[surfaces + 1] = 'X';
    EXPECT_EQ(errorOf(notBitmap), "Bitmap image is not valid");
    EXPECT_EQ(errorOf(good.left(surfaces) + "Z"), "Bitmap image is not valid");

    QByteArray swapped = good;
    swapped.replace(4, 10, "\x06TImage");
    EXPECT_EQ(errorOf(swapped), "Invalid stream format");

    // A layer that claims a size beyond the picture limits (each side is within them).
    Project huge = sample;
    huge.bg.width = huge.bg.height = 30000;
    EXPECT_EQ(errorOf(WriteProject(huge)), "Invalid property value");

    // Every cut ends early, and nothing half-read is handed back.
    for (qsizetype cut = 0; cut < good.size(); ++cut) {
        const QString error = errorOf(good.left(cut));
        if (cut == surfaces || cut == surfaces + firstSurface)
            EXPECT_TRUE(error.isEmpty()) << cut; // a whole number of surfaces
        else
            EXPECT_EQ(error, "Stream read error") << cut;
    }
}

TEST(ProjectFile, CorruptedBytesNeverCrash)
{
    const Project sample = sampleProject();
    const QByteArray good = WriteProject(sample);
    const QString reasons[] = {QStringLiteral("Invalid stream format"), QStringLiteral("Stream read error"),
                               QStringLiteral("Invalid property value"), QStringLiteral("Bitmap image is not valid")};
    auto knownReason = [&](const QString &e) {
        return std::find(std::begin(reasons), std::end(reasons), e) != std::end(reasons) ||
               e.startsWith(QLatin1String("Bitmap image is not valid: ")) ||
               (e.startsWith(QLatin1String("Property ")) && e.endsWith(QLatin1String(" does not exist")));
    };
    // Every byte set to each of three values reads whole or fails with a reason of the format.
    for (qsizetype at = 0; at < good.size(); ++at)
        for (char value : {'\0', '\x7F', '\xFF'}) {
            QByteArray bad = good;
            bad[at] = value;
            const QString error = errorOf(bad);
            EXPECT_TRUE(error.isEmpty() || knownReason(error)) << at << ": " << error.toStdString();
        }
    // A damaged signature is not a project.
    for (qsizetype at = good.indexOf("TPF0"); at >= 0; at = good.indexOf("TPF0", at + 1)) {
        QByteArray bad = good;
        bad[at + 1] = '\0';
        EXPECT_EQ(errorOf(bad), "Invalid stream format") << at;
    }
    // A damaged letter of a caption changes that caption and nothing else.
    QByteArray caption = good;
    caption[caption.indexOf("Item5") + 2] = 'X';
    const Project captionRead = ReadProject(caption);
    for (int k = 0; k < ItemCount; ++k)
        EXPECT_EQ(captionRead.rows[k].caption, k == 4 ? QStringLiteral("ItXm5") : sample.rows[k].caption) << k;
    // A damaged byte of the working picture's pixels changes that pixel's channel only: the
    // 5 x 3 picture is stored bottom-up, blue, green, red, in rows of 16 bytes.
    const qsizetype pixels = good.indexOf("BM", good.indexOf("TitleImage")) + 54;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            for (int channel = 0; channel < 3; ++channel) {
                QByteArray bad = good;
                bad[pixels + (2 - y) * 16 + x * 3 + channel] = '\x7F';
                const Project read = ReadProject(bad);
                const int shift = (2 - channel) * 8; // TColor holds red in its low byte
                const TColor expected = (sample.title.picture.pixel(x, y) & ~(0xFFu << shift)) | (0x7Fu << shift);
                for (int py = 0; py < 3; ++py)
                    for (int px = 0; px < 5; ++px)
                        ASSERT_EQ(read.title.picture.pixel(px, py),
                                  px == x && py == y ? expected : sample.title.picture.pixel(px, py))
                            << x << "," << y << " channel " << channel;
                EXPECT_EQ(read.rows, sample.rows);
                EXPECT_TRUE(read.bg.picture.samePixels(sample.bg.picture));
            }
}

TEST(ProjectFile, FilesAreWrittenWholeAndReadBack)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("composition.lfx"));
    const Project p = sampleProject();
    SaveProjectFile(name, p);
    EXPECT_EQ(LoadProjectFile(name).rows, p.rows);
    EXPECT_THROW(SaveProjectFile(dir.filePath(QStringLiteral("missing/x.lfx")), p), LetrafexError);
    EXPECT_THROW(LoadProjectFile(dir.filePath(QStringLiteral("none.lfx"))), LetrafexError);
}

TEST(ProjectFile, ItemsGoIntoAProjectAndBack)
{
    ItemTable table;
    table.rows[4] = row(QStringLiteral("five"));
    table.surfaces[4] = picture(2, 3, 0x334455);
    Project p;
    takeProjectItems(table, p);
    ASSERT_EQ(p.rows.size(), ItemCount);
    ItemTable back;
    applyProjectItems(ReadProject(WriteProject(p)), back);
    EXPECT_EQ(back.rows, table.rows);
    EXPECT_TRUE(back.surfaces[4].samePixels(table.surfaces[4]));
    EXPECT_TRUE(back.surfaces[0].isEmpty());
}

TEST(ProjectFile, HugeTablesKeepAThousandRows)
{
    Project p = sampleProject();
    p.rows = QList<ItemRow>(1500, row(QStringLiteral("same")));
    p.rows[999].caption = QStringLiteral("last kept");
    const Project back = ReadProject(WriteProject(p));
    ASSERT_EQ(back.rows.size(), 1000);
    EXPECT_EQ(back.rows[999].caption, "last kept");
    // Rows that are not kept are still checked.
    QByteArray cut = WriteProject(p);
    const qsizetype lastRow = cut.lastIndexOf("same");
    qToLittleEndian(qint32(0x7FFFFFF0), cut.data() + lastRow - 1 - 8); // its cell count
    EXPECT_EQ(errorOf(cut), "Stream read error");
}
