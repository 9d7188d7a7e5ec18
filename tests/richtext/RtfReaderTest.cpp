// The RTF reader: formats, paragraphs, code pages, destinations, links and pictures, and
// damaged input that must read without a crash.
#include "richtext/RtfReader.h"

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

#include <gtest/gtest.h>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {
// The document's text with paragraph ends as line feeds; line separators and no-break
// spaces stay as they are.
QString read(QTextDocument &doc, const QByteArray &rtf)
{
    EXPECT_TRUE(ReadRtf(rtf, doc));
    return doc.toRawText().replace(QChar(0x2029), QLatin1Char('\n'));
}

// The character format at the first occurrence of text.
QTextCharFormat formatOf(QTextDocument &doc, const QString &text)
{
    const QTextCursor hit = doc.find(text);
    EXPECT_FALSE(hit.isNull()) << text.toStdString();
    QTextCursor at(&doc);
    at.setPosition(hit.selectionStart() + 1);
    return at.charFormat();
}

QTextBlockFormat blockOf(QTextDocument &doc, const QString &text)
{
    return doc.find(text).block().blockFormat();
}

QByteArray hex(const QByteArray &data)
{
    return data.toHex();
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return out;
}

QImage imageOf(QTextDocument &doc, QTextImageFormat *formatOut = nullptr)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextImageFormat f = it.fragment().charFormat().toImageFormat();
            if (f.isValid()) {
                if (formatOut)
                    *formatOut = f;
                return doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
            }
        }
    return {};
}
} // namespace

TEST(RtfReader, CharacterFormatsFollowTheFontAndColourTablesAndGroups)
{
    QTextDocument doc;
    read(doc, R"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\froman{\*\panose 0203}Times New Roman;}}
{\colortbl;\red255\green0\blue0;\red0\green0\blue255;}
plain {\f1\fs28 times14} {\b bold}{\i italic}{\ul under\ulnone none}{\strike struck}
{\cf1 red}{\highlight2 marked}{\cb1\b\i\plain reset}\par})");
    EXPECT_EQ(formatOf(doc, "plain").fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_DOUBLE_EQ(formatOf(doc, "plain").fontPointSize(), 12.0);
    EXPECT_EQ(formatOf(doc, "times14").fontFamilies().toStringList(), QStringList{"Times New Roman"});
    EXPECT_DOUBLE_EQ(formatOf(doc, "times14").fontPointSize(), 14.0);
    EXPECT_EQ(formatOf(doc, "bold").fontWeight(), QFont::Bold);
    EXPECT_NE(formatOf(doc, "plain").fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatOf(doc, "italic").fontItalic());
    EXPECT_TRUE(formatOf(doc, "under").fontUnderline());
    EXPECT_FALSE(formatOf(doc, "none").fontUnderline());
    EXPECT_TRUE(formatOf(doc, "struck").fontStrikeOut());
    EXPECT_EQ(formatOf(doc, "red").foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatOf(doc, "marked").background().color(), QColor(0, 0, 255));
    const QTextCharFormat reset = formatOf(doc, "reset");
    EXPECT_FALSE(reset.fontItalic());
    EXPECT_NE(reset.fontWeight(), QFont::Bold);
    EXPECT_EQ(reset.background().style(), Qt::NoBrush);
    // Group ends restore the outer state: the text after a bold group is not bold.
    EXPECT_EQ(doc.toPlainText(), "plain times14 bolditalicundernonestruckredmarkedreset\n");
}

TEST(RtfReader, ParagraphsCarryAlignmentIndentsSpacingAndBreaks)
{
    QTextDocument doc;
    const QString text = read(doc, R"({\rtf1\ansi
\pard\qc centred\par
\qr right\par
\pard\qj\li720\ri1440\fi-360\sb240\sa120 justified\par
\pard left\line next\tab tabbed\page after\par})");
    EXPECT_EQ(blockOf(doc, "centred").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(blockOf(doc, "right").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    const QTextBlockFormat j = blockOf(doc, "justified");
    EXPECT_EQ(j.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    EXPECT_DOUBLE_EQ(j.leftMargin(), 48.0); // half an inch at 96 pixels per inch
    EXPECT_DOUBLE_EQ(j.rightMargin(), 96.0);
    EXPECT_DOUBLE_EQ(j.textIndent(), -24.0);
    EXPECT_DOUBLE_EQ(j.topMargin(), 16.0);
    EXPECT_DOUBLE_EQ(j.bottomMargin(), 8.0);
    EXPECT_EQ(blockOf(doc, "left").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_DOUBLE_EQ(blockOf(doc, "left").leftMargin(), 0.0);
    EXPECT_TRUE(text.contains(QString("left") + QChar(0x2028) + "next\ttabbed\n"));
    EXPECT_TRUE(blockOf(doc, "after").pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    EXPECT_FALSE(blockOf(doc, "left").pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
}

TEST(RtfReader, BytesFollowTheCodePageAndUnicodeSkipsItsFallback)
{
    QTextDocument doc;
    EXPECT_EQ(read(doc, R"({\rtf1\ansi caf\'e9 \'80 \'b4})"), QString("caf") + QChar(0xE9) + " " + QChar(0x20AC) + " " + QChar(0xB4));
    EXPECT_EQ(read(doc, R"({\rtf1\ansi\ansicpg1251 \'e9})"), QString(QChar(0x0439)));
    EXPECT_EQ(read(doc, R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset161 Greek;}}\f0 \'e1{\f1 \'e1}})"),
              QString(QChar(0xE1)) + QChar(0x03B1));
    EXPECT_EQ(read(doc, R"({\rtf1 \u8364?x\uc2\u8220\'93\'94y\uc0\u945 z})"),
              QString(QChar(0x20AC)) + "x" + QChar(0x201C) + "y" + QChar(0x03B1) + "z");
    EXPECT_EQ(read(doc, R"({\rtf1 \u-3913?})"), QString(QChar(0xF0B7)));
    EXPECT_EQ(read(doc, R"({\rtf1 \u-10179?\u-8704?})"), QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(read(doc, R"({\rtf1 a\{b\}c\\d\~e\emdash\bullet\ldblquote\rdblquote})"),
              QString("a{b}c\\d") + QChar(0xA0) + "e" + QChar(0x2014) + QChar(0x2022) + QChar(0x201C) + QChar(0x201D));
}

TEST(RtfReader, UnknownAndHiddenDestinationsAreSkipped)
{
    QTextDocument doc;
    EXPECT_EQ(read(doc, R"({\rtf1{\*\generator Writer 1.0;}{\stylesheet{\s0 Normal;}}{\info{\title T}{\author A}}
{\*\unknownthing {nested {deeper}} text}{\header head}{\footer foot}{\*\bkmkstart x}visible{\footnote note}})"),
              "visible");
    EXPECT_EQ(read(doc, R"({\rtf1 a}}}b{c)"), "abc"); // stray and missing braces
    QByteArray deep = "{\\rtf1 start";
    for (int i = 0; i < 5000; ++i)
        deep += "{\\b ";
    deep += "inner";
    for (int i = 0; i < 5000; ++i)
        deep += "}";
    deep += "end}";
    EXPECT_EQ(read(doc, deep), "startend"); // nesting beyond the limit is skipped, not recursed
    // A group beyond the limit does not change the state of the group it stands in.
    const QByteArray edge = "{\\rtf1 " + QByteArray(999, '{') + "y{\\b x}z" + QByteArray(1000, '}');
    EXPECT_EQ(read(doc, edge), "yz");
    EXPECT_NE(formatOf(doc, "z").fontWeight(), QFont::Bold);
}

TEST(RtfReader, HyperlinkFieldsBecomeAnchors)
{
    QTextDocument doc;
    read(doc, R"({\rtf1 see {\field{\*\fldinst{HYPERLINK "https://example.org/a b"}}{\fldrslt{\ul\cf1 the site}}} and {\field{\*\fldinst HYPERLINK \\l "intro"}{\fldrslt intro}} done})");
    EXPECT_EQ(doc.toPlainText(), "see the site and intro done");
    EXPECT_TRUE(formatOf(doc, "the site").isAnchor());
    EXPECT_EQ(formatOf(doc, "the site").anchorHref(), "https://example.org/a b");
    EXPECT_EQ(formatOf(doc, "intro done").anchorHref(), "#intro");
    EXPECT_FALSE(formatOf(doc, "done").isAnchor());
    EXPECT_FALSE(formatOf(doc, "see").isAnchor());
}

TEST(RtfReader, PicturesInPngJpegAndBitmapDataAreShown)
{
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(qRgb(10, 200, 30));
    source.setPixel(0, 0, qRgb(250, 0, 0));
    QTextDocument doc;
    QTextImageFormat format;

    read(doc, "{\\rtf1 a{\\pict\\pngblip\\picw3\\pich2\\picwgoal900\\pichgoal600 " + hex(encoded(source, "png")) + "}b}");
    QImage shown = imageOf(doc, &format);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), source);
    EXPECT_DOUBLE_EQ(format.width(), 60.0); // 900 twips at 96 pixels per inch
    EXPECT_DOUBLE_EQ(format.height(), 40.0);

    read(doc, "{\\rtf1 {\\*\\shppict{\\pict\\jpegblip " + hex(encoded(source, "jpeg")) +
                  "}}{\\nonshppict{\\pict\\wmetafile8 0102}}}");
    shown = imageOf(doc, &format);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.size(), QSize(3, 2));
    EXPECT_EQ(doc.characterCount(), 2); // one picture, the alternative is skipped

    // A 24-bit device-independent bitmap: header, rows bottom-up, padded to 4 bytes.
    QByteArray dib(40, '\0');
    dib[0] = 40;
    dib[4] = 2;
    dib[8] = 1;
    dib[12] = 1;
    dib[14] = 24;
    dib += QByteArray::fromHex("0000ff00ff000000"); // red, green, padding
    read(doc, "{\\rtf1 {\\pict\\dibitmap0 " + hex(dib) + "}}");
    shown = imageOf(doc);
    ASSERT_EQ(shown.size(), QSize(2, 1));
    EXPECT_EQ(shown.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(shown.pixel(1, 0) & 0xFFFFFF, 0x00FF00u);

    // Binary data after \bin, then text that must not be swallowed.
    const QByteArray png = encoded(source, "png");
    read(doc, "{\\rtf1 {\\pict\\pngblip\\bin" + QByteArray::number(png.size()) + " " + png + "}after}");
    EXPECT_FALSE(imageOf(doc).isNull());
    EXPECT_TRUE(doc.toPlainText().endsWith("after"));
}

TEST(RtfReader, DocumentsOfCommonWordProcessorsOpen)
{
    // As a rich-edit control writes it, and as a word processor writes it (style sheet,
    // list text, theme data, bookmarks, Unicode with fallbacks, a table row).
    QTextDocument doc;
    EXPECT_EQ(read(doc, R"({\rtf1\ansi\ansicpg1252\deff0\nouicompat\deflang1031{\fonttbl{\f0\fnil\fcharset0 Calibri;}}
{\*\generator Riched20 10.0.19041}\viewkind4\uc1 
\pard\sa200\sl276\slmult1\f0\fs22\lang7 Gr\'fc\'dfe aus \b M\'fcnchen\b0 !\par
}
)"), QString::fromUtf8("Grüße aus München!\n"));
    EXPECT_EQ(formatOf(doc, QString::fromUtf8("München")).fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(formatOf(doc, "aus").fontPointSize(), 11.0);

    const QString text = read(doc, R"({\rtf1\adeflang1025\ansi\ansicpg1252\uc1\adeff31507\deff0\stshfdbch31505\deflang1033
{\fonttbl{\f0\fbidi \froman\fcharset0\fprq2{\*\panose 02020603050405020304}Times New Roman;}{\f37\fbidi \fswiss\fcharset0\fprq2{\*\panose 020f0502020204030204}Calibri;}}
{\colortbl;\red0\green0\blue0;\red0\green0\blue255;}
{\*\defchp \f31506\fs22 }{\stylesheet{\ql \li0\ri0\sa160\widctlpar\f37\fs22 \snext0 Normal;}{\*\cs10 \additive Default Paragraph Font;}}
{\*\listtable{\list\listtemplateid1{\listlevel\levelnfc23{\leveltext\'01\u-3913 ?;}{\levelnumbers;}}\listid1}}
{\*\rsidtbl \rsid123}{\info{\author Someone}{\creatim\yr2024\mo1\dy2}}
{\*\xmlnstbl {\xmlns1 http://schemas.microsoft.com/office/word/2003/wordml}}
\paperw12240\paperh15840\margl1440\margr1440\sectd\pard\plain \ltrpar\ql \li0\ri0\sa160\f37\fs22 {\rtlch \ltrch\insrsid123 Hello }{\*\bkmkstart intro}{\b\insrsid123 world}{\*\bkmkend intro}\par
{\listtext\pard\plain \f3\fs22 \loch\af3\hich\af3\dbch\af0 \'b7\tab}\ls1 item \u8220\'93quoted\u8221\'94\par
\trowd\cellx4000\cellx8000\pard\intbl A1\cell B1\cell\row
{\*\themedata 504b0304}{\*\datastore 0105}}
)");
    EXPECT_TRUE(text.startsWith("Hello world\n"));
    EXPECT_TRUE(text.contains(QString(QChar(0xB7)) + "\titem " + QChar(0x201C) + "quoted" + QChar(0x201D) + "\n"));
    EXPECT_TRUE(text.contains("A1\tB1\t\n"));
    EXPECT_FALSE(text.contains("Normal"));
    EXPECT_FALSE(text.contains("Someone"));
    EXPECT_EQ(formatOf(doc, "world").fontFamilies().toStringList(), QStringList{"Calibri"});
}

TEST(RtfReader, DamagedInputReadsWhatItCanAndNonRtfIsRefused)
{
    QTextDocument doc;
    QString error;
    EXPECT_FALSE(ReadRtf("plain text", doc, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(doc.isEmpty());
    EXPECT_FALSE(LoadRtfFile("/nonexistent/file.rtf", doc, &error));

    // Pictures with damaged or absurd data are left out; the text around them stays.
    QByteArray huge = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") + QByteArray::fromHex("7fffffff7fffffff0802000000");
    EXPECT_EQ(read(doc, "{\\rtf1 x{\\pict\\pngblip " + hex(huge) + "}{\\pict\\dibitmap0 28000000ffffff7f}{\\pict\\jpegblip zz}y}"), "xy");
    // Truncated escapes, a parameter beyond int, \bin longer than the input.
    EXPECT_EQ(read(doc, "{\\rtf1 a\\'4"), "a4"); // an incomplete escape is left as text
    EXPECT_EQ(read(doc, "{\\rtf1 a\\fs99999999999999999999 b\\u99999999999 c\\bin99999999 zz"), "ab");
    EXPECT_EQ(read(doc, "{\\rtf1 \\"), "");

    // Lengths beyond the largest sheet are read as 22 inches: the layout's coordinates
    // overflow with larger ones (found by fuzzing: "\\sa400000000" hung the pagination).
    read(doc, "{\\rtf1 \\li-99999999\\sa400000000\\sb40000 a\\par}");
    EXPECT_DOUBLE_EQ(blockOf(doc, "a").bottomMargin(), 22 * 96.0);
    EXPECT_DOUBLE_EQ(blockOf(doc, "a").topMargin(), 22 * 96.0);
    EXPECT_DOUBLE_EQ(blockOf(doc, "a").leftMargin(), 0.0);
    QImage dot(2, 1, QImage::Format_RGB32);
    dot.fill(Qt::red);
    QTextImageFormat format;
    read(doc, "{\\rtf1 {\\pict\\pngblip\\picwgoal99999999\\picscalex5000\\picscaley200 " + hex(encoded(dot, "png")) + "}}");
    ASSERT_FALSE(imageOf(doc, &format).isNull());
    EXPECT_DOUBLE_EQ(format.width(), 22 * 96.0);
    EXPECT_DOUBLE_EQ(format.height(), 0.2); // 2 pixels, shrunk as much as the width
}

// A document shown in a window has a layout, which lays a changed paragraph out again after
// each change it hears of. Reading must tell it of the whole document once: one paragraph of
// thousands of lines once took minutes when every insertion re-laid the paragraph out.
TEST(RtfReader, AShownDocumentHearsOfTheReadingOnce)
{
    QTextDocument doc;
    doc.documentLayout(); // as in the help window
    int changes = 0;
    QObject::connect(&doc, &QTextDocument::contentsChange, [&changes](int, int, int) { ++changes; });
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 ";
    for (int i = 0; i < 3000; ++i)
        rtf += "Line " + QByteArray::number(i) + " of one paragraph {\\b bold}\\line\n";
    rtf += "\\par}";
    const QString text = read(doc, rtf);
    EXPECT_LE(changes, 3); // the clearing and the reading, not one per insertion
    EXPECT_TRUE(text.contains(QStringLiteral("Line 2999 of one paragraph bold")));
    EXPECT_EQ(doc.blockCount(), 2);
}
