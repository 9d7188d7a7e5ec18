// One pass over an RTF byte stream. Text runs are collected while the character state
// stays the same and placed in the document when a control word, a group boundary or the
// end of the input comes.
#include "richtext/RtfParser.h"

#include "richtext/RtfCodePages.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include <algorithm>
#include <limits>

namespace {
// Deeper nesting than this is read as skipped text: no writer nests so deep, and the
// group stack stays small whatever the input.
constexpr size_t MaxDepth = 1000;
constexpr int MaxWordLength = 32;
// Paragraph lengths and picture sizes beyond the largest sheet (22 inches in twips) are
// read as that: larger values only break the layout, whose coordinates overflow.
constexpr int MaxTwips = 31680;
// Tab stops and table columns per paragraph beyond these are dropped: a line has no room
// for more, and a damaged file cannot make every paragraph large.
constexpr size_t MaxTabStops = 64;

int twips(int value)
{
    return std::clamp(value, -MaxTwips, MaxTwips);
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The target of a HYPERLINK field instruction: its first argument, quoted or not; a
// \l argument names a place in the document.
QString hyperlinkTarget(const QString &instruction)
{
    QString rest = instruction.trimmed();
    if (!rest.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return {};
    rest = rest.mid(9).trimmed();
    QString prefix;
    if (rest.startsWith(QLatin1String("\\l"))) {
        prefix = QStringLiteral("#");
        rest = rest.mid(2).trimmed();
    }
    if (rest.startsWith(QLatin1Char('"'))) {
        const qsizetype end = rest.indexOf(QLatin1Char('"'), 1);
        return prefix + rest.mid(1, end < 0 ? -1 : end - 1);
    }
    return prefix + rest.section(QLatin1Char(' '), 0, 0);
}
} // namespace

RtfParser::RtfParser(const QByteArray &data, QTextDocument &document) : in_(data), doc_(document), cursor_(&document)
{
}

void RtfParser::run()
{
    while (pos_ < in_.size()) {
        const char c = in_[pos_++];
        if (c == '{')
            openGroup();
        else if (c == '}')
            closeGroup();
        else if (c == '\\')
            readControl();
        else
            textByte(c);
    }
    flush();
    cursor_.setBlockFormat(blockFormat());
}

void RtfParser::openGroup()
{
    flush();
    skipAfterUnicode_ = 0;
    if (stack_.size() >= MaxDepth) {
        ++overflow_;
        return;
    }
    stack_.push_back(g_);
    star_ = false;
}

void RtfParser::closeGroup()
{
    flush();
    skipAfterUnicode_ = 0;
    if (overflow_ > 0) {
        --overflow_;
        return;
    }
    if (stack_.empty())
        return; // a stray closing brace
    const Group inner = g_;
    g_ = stack_.back();
    stack_.pop_back();
    if (inner.dest == Dest::Picture && g_.dest != Dest::Picture)
        insertPicture();
    if (inner.dest == Dest::FontTable && g_.dest != Dest::FontTable)
        finishFontName();
}

void RtfParser::readControl()
{
    if (pos_ >= in_.size())
        return;
    const char c = in_[pos_];
    if (!isLetter(c)) {
        ++pos_;
        if (c == '\'') {
            const int hi = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
            const int lo = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
            if (hi >= 0 && lo >= 0) {
                pos_ += 2;
                textByte(char(hi * 16 + lo));
            }
            return;
        }
        if (c == '*') {
            star_ = true;
            return;
        }
        flush();
        skipAfterUnicode_ = 0;
        if (c == '{' || c == '}' || c == '\\')
            textChar(QLatin1Char(c));
        else if (c == '~')
            textChar(QChar(0x00A0));
        else if (c == '_')
            textChar(QChar(0x2011));
        else if (c == '\n' || c == '\r')
            controlWord("par", false, 0);
        return;
    }
    const qsizetype start = pos_;
    while (pos_ < in_.size() && isLetter(in_[pos_]))
        ++pos_;
    const QByteArray word = in_.mid(start, std::min<qsizetype>(pos_ - start, MaxWordLength));
    bool negative = false;
    if (pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    qint64 value = 0;
    bool hasParam = false;
    while (pos_ < in_.size() && isDigit(in_[pos_])) {
        hasParam = true;
        value = std::min<qint64>(value * 10 + (in_[pos_++] - '0'), qint64(std::numeric_limits<int>::max()) + 1);
    }
    if (pos_ < in_.size() && in_[pos_] == ' ')
        ++pos_;
    if (negative)
        value = -value;
    const int param = int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    if (word == "bin") {
        skipBinary(hasParam ? param : 0);
        return;
    }
    if (overflow_ > 0)
        return; // inside groups beyond the nesting limit nothing changes the state

    if (word == "u") {
        flush();
        if (param >= -32768 && param <= 65535 && param != 0)
            textChar(QChar(ushort(param < 0 ? param + 65536 : param)));
        skipAfterUnicode_ = g_.uc;
        return;
    }
    flush();
    skipAfterUnicode_ = 0;
    controlWord(word, hasParam, param);
    star_ = false;
}

void RtfParser::controlWord(const QByteArray &word, bool hasParam, int param)
{
    if (destinationWord(word))
        return;
    if (star_ && g_.dest != Dest::Picture) {
        // An optional destination this reader does not know: its whole group is skipped.
        g_.dest = Dest::Skip;
        return;
    }
    if (g_.dest == Dest::Skip)
        return;
    if (g_.dest == Dest::Picture) {
        pictureWord(word, hasParam, param);
        return;
    }
    if (g_.dest == Dest::FontTable) {
        if (word == "f") {
            finishFontName();
            tableFont_ = param;
        } else if (word == "fcharset") {
            if (const int cp = codePageOfCharset(param))
                fontCodePages_[tableFont_] = cp;
        } else if (word == "cpg") {
            fontCodePages_[tableFont_] = param;
        }
        return;
    }
    if (g_.dest == Dest::ColorTable) {
        if (word == "red")
            red_ = std::clamp(param, 0, 255), colorGiven_ = true;
        else if (word == "green")
            green_ = std::clamp(param, 0, 255), colorGiven_ = true;
        else if (word == "blue")
            blue_ = std::clamp(param, 0, 255), colorGiven_ = true;
        return;
    }
    if (word == "ansicpg" && param > 0)
        codePage_ = param;
    else if (word == "mac")
        codePage_ = 10000;
    else if (word == "pc")
        codePage_ = 437;
    else if (word == "pca")
        codePage_ = 850;
    else if (word == "deff")
        defaultFont_ = param;
    else if (word == "uc")
        g_.uc = std::clamp(param, 0, 10);
    else if (!characterWord(word, hasParam, param))
        paragraphWord(word, param);
}

bool RtfParser::destinationWord(const QByteArray &word)
{
    static const char *const skipped[] = {
        "stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
        "footerf", "footnote", "nonshppict", "object", "xe", "tc", "txe", "rxe", "annotation", "atnid",
        "atnauthor", "pn", "listtable", "listoverridetable", "revtbl", "filetbl", "themedata", "datastore"};
    if (word == "fonttbl") {
        g_.dest = Dest::FontTable;
        tableFont_ = -1;
        tableFontName_.clear();
    } else if (word == "colortbl") {
        g_.dest = Dest::ColorTable;
    } else if (word == "pict") {
        g_.dest = Dest::Picture;
        picture_ = Picture();
    } else if (word == "field") {
        if (g_.dest != Dest::Text)
            return false;
        fields_.emplace_back();
        g_.field = int(fields_.size()) - 1;
    } else if (word == "fldinst") {
        g_.dest = g_.field >= 0 && !g_.result ? Dest::FieldInstruction : Dest::Skip;
    } else if (word == "fldrslt") {
        g_.result = g_.field >= 0;
    } else if (word == "shppict") {
        // The picture of a shape: read like any \pict in the text.
    } else if (std::any_of(std::begin(skipped), std::end(skipped), [&](const char *s) { return word == s; })) {
        g_.dest = Dest::Skip;
    } else {
        return false;
    }
    star_ = false;
    return true;
}

bool RtfParser::characterWord(const QByteArray &word, bool hasParam, int param)
{
    const bool on = !hasParam || param != 0;
    CharState &c = g_.chr;
    if (word == "plain")
        c = CharState();
    else if (word == "f")
        c.font = param;
    else if (word == "fs")
        c.halfPoints = hasParam && param > 0 ? std::min(param, 3276) : 24;
    else if (word == "b")
        c.bold = on;
    else if (word == "i")
        c.italic = on;
    else if (word == "ul" || word == "uld" || word == "uldb" || word == "ulw" || word == "uldash" || word == "ulth" ||
             word == "ulwave")
        c.underline = on;
    else if (word == "ulnone")
        c.underline = false;
    else if (word == "strike" || word == "striked")
        c.strike = on;
    else if (word == "cf")
        c.foreground = param;
    else if (word == "cb" || word == "highlight" || word == "chcbpat")
        c.background = param;
    else if (word == "super")
        c.vertical = 1;
    else if (word == "sub")
        c.vertical = -1;
    else if (word == "nosupersub")
        c.vertical = 0;
    else
        return false;
    return true;
}

bool RtfParser::paragraphWord(const QByteArray &word, int param)
{
    ParaState &p = g_.para;
    static const std::pair<const char *, ushort> symbols[] = {
        {"emdash", 0x2014}, {"endash", 0x2013}, {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019},
        {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"tab", '\t'},
        {"cell", '\t'}, {"line", 0x2028}};
    for (const auto &s : symbols)
        if (word == s.first) {
            textChar(QChar(s.second));
            return true;
        }
    if (word == "par" || word == "sect" || word == "row")
        endParagraph();
    else if (word == "page") {
        endParagraph();
        pageBreakNext_ = true;
    } else if (word == "pard")
        p = ParaState();
    else if (word == "intbl")
        p.inTable = true;
    else if (word == "trowd")
        row_ = RowState();
    else if (word == "cellx") {
        if (row_.cellRight.size() < MaxTabStops)
            row_.cellRight.push_back(twips(param));
    } else if (word == "trgaph")
        row_.gap = std::clamp(twips(param), 0, MaxTwips);
    else if (word == "tqr")
        p.nextTabType = QTextOption::RightTab;
    else if (word == "tqc")
        p.nextTabType = QTextOption::CenterTab;
    else if (word == "tx") {
        if (p.tabs.size() < MaxTabStops)
            p.tabs.emplace_back(twips(param), p.nextTabType);
        p.nextTabType = QTextOption::LeftTab;
    }
    else if (word == "ql")
        p.align = Qt::AlignLeft;
    else if (word == "qc")
        p.align = Qt::AlignHCenter;
    else if (word == "qr")
        p.align = Qt::AlignRight;
    else if (word == "qj")
        p.align = Qt::AlignJustify;
    else if (word == "li")
        p.left = twips(param);
    else if (word == "ri")
        p.right = twips(param);
    else if (word == "fi")
        p.first = twips(param);
    else if (word == "sb")
        p.before = twips(param);
    else if (word == "sa")
        p.after = twips(param);
    else
        return false;
    return true;
}

bool RtfParser::pictureWord(const QByteArray &word, bool hasParam, int param)
{
    Picture &p = picture_;
    if (word == "pngblip")
        p.kind = RtfPictureKind::Png;
    else if (word == "jpegblip")
        p.kind = RtfPictureKind::Jpeg;
    else if (word == "dibitmap")
        p.kind = RtfPictureKind::Dib;
    else if (word == "wbitmap" || word == "wmetafile" || word == "emfblip" || word == "macpict")
        p.kind = RtfPictureKind::None;
    else if (word == "picwgoal")
        p.goalWidth = std::max(twips(param), 0);
    else if (word == "pichgoal")
        p.goalHeight = std::max(twips(param), 0);
    else if (word == "picscalex")
        p.scaleX = hasParam && param > 0 ? std::min(param, 1000) : 100;
    else if (word == "picscaley")
        p.scaleY = hasParam && param > 0 ? std::min(param, 1000) : 100;
    else
        return false;
    return true;
}

void RtfParser::textByte(char c)
{
    if (c == '\r' || c == '\n')
        return;
    if (skipAfterUnicode_ > 0) {
        --skipAfterUnicode_;
        return;
    }
    if (overflow_ > 0)
        return;
    switch (g_.dest) {
    case Dest::Picture:
        hexByte(c);
        return;
    case Dest::ColorTable:
        if (c == ';')
            finishColor();
        return;
    case Dest::FontTable:
        if (c == ';') {
            flush();
            finishFontName();
            return;
        }
        break;
    case Dest::Skip:
        return;
    default:
        break;
    }
    if (uchar(c) < 0x20 && c != '\t')
        return;
    bytes_.append(c);
}

void RtfParser::textChar(QChar c)
{
    if (overflow_ > 0 || g_.dest == Dest::Skip || g_.dest == Dest::Picture || g_.dest == Dest::ColorTable)
        return;
    if (!bytes_.isEmpty())
        text_ += decodeCodePage(std::exchange(bytes_, {}), currentCodePage());
    text_ += c;
}

void RtfParser::hexByte(char c)
{
    const int v = hexValue(c);
    if (v < 0)
        return;
    if (picture_.nibble < 0) {
        picture_.nibble = v;
    } else {
        picture_.data.append(char(picture_.nibble * 16 + v));
        picture_.nibble = -1;
    }
}

void RtfParser::skipBinary(int count)
{
    const qsizetype n = std::clamp<qsizetype>(count, 0, in_.size() - pos_);
    if (g_.dest == Dest::Picture && overflow_ == 0)
        picture_.data.append(in_.constData() + pos_, n);
    pos_ += n;
}

int RtfParser::currentCodePage() const
{
    const int font = g_.dest == Dest::FontTable ? tableFont_ : g_.chr.font >= 0 ? g_.chr.font : defaultFont_;
    const auto it = fontCodePages_.find(font);
    return it != fontCodePages_.end() ? it->second : codePage_;
}

void RtfParser::flush()
{
    if (!bytes_.isEmpty())
        text_ += decodeCodePage(std::exchange(bytes_, {}), currentCodePage());
    if (text_.isEmpty())
        return;
    const QString text = std::exchange(text_, {});
    if (overflow_ > 0)
        return;
    switch (g_.dest) {
    case Dest::Text:
        cursor_.insertText(text, charFormat());
        break;
    case Dest::FontTable:
        tableFontName_ += text;
        break;
    case Dest::FieldInstruction:
        if (g_.field >= 0)
            fields_[size_t(g_.field)] += text;
        break;
    default:
        break;
    }
}

void RtfParser::endParagraph()
{
    if (g_.dest != Dest::Text || overflow_ > 0)
        return;
    cursor_.setBlockFormat(blockFormat());
    pageBreakNext_ = false;
    afterPrevious_ = std::max(g_.para.after, 0);
    cursor_.insertBlock(blockFormat(), charFormat());
}

QTextCharFormat RtfParser::charFormat() const
{
    const CharState &c = g_.chr;
    QTextCharFormat f;
    const auto name = fontNames_.find(c.font >= 0 ? c.font : defaultFont_);
    if (name != fontNames_.end() && !name->second.isEmpty())
        f.setFontFamilies({name->second});
    f.setFontPointSize(c.halfPoints / 2.0);
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    if (c.foreground > 0 && size_t(c.foreground) < colors_.size() && colors_[size_t(c.foreground)].isValid())
        f.setForeground(colors_[size_t(c.foreground)]);
    if (c.background > 0 && size_t(c.background) < colors_.size() && colors_[size_t(c.background)].isValid())
        f.setBackground(colors_[size_t(c.background)]);
    if (c.vertical != 0)
        f.setVerticalAlignment(c.vertical > 0 ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignSubScript);
    if (g_.result && g_.field >= 0) {
        const QString target = hyperlinkTarget(fields_[size_t(g_.field)]);
        if (!target.isEmpty()) {
            f.setAnchor(true);
            f.setAnchorHref(target);
        }
    }
    return f;
}

QTextBlockFormat RtfParser::blockFormat() const
{
    // Lengths are kept in pixels of 96 per inch (a twip is 1/1440 inch); the layout
    // scales them to the device it lays the text out for.
    const ParaState &p = g_.para;
    QTextBlockFormat f;
    f.setAlignment(p.align);
    f.setLeftMargin(std::max(p.left, 0) / 15.0);
    f.setRightMargin(std::max(p.right, 0) / 15.0);
    f.setTextIndent(p.first / 15.0);
    // RTF adds a paragraph's space before to the space after the one above it; the layout
    // keeps the larger of the two. The sum, given as the space before, is the larger.
    const int before = std::max(p.before, 0);
    f.setTopMargin((before > 0 ? before + afterPrevious_ : 0) / 15.0);
    f.setBottomMargin(std::max(p.after, 0) / 15.0);
    f.setTabPositions(tabStops());
    if (pageBreakNext_)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    return f;
}

QList<QTextOption::Tab> RtfParser::tabStops() const
{
    const ParaState &p = g_.para;
    std::vector<std::pair<int, QTextOption::TabType>> stops = p.tabs;
    // The text of a table's cell starts at the cell's left edge, inside its gap; the cell
    // marks are read as tabs, so the column edges are the row's tab stops.
    if (p.inTable)
        for (size_t i = 0; i + 1 < row_.cellRight.size(); ++i)
            stops.emplace_back(row_.cellRight[i] + row_.gap, QTextOption::LeftTab);
    // In a hanging indent the left indent is a tab stop: the text after a bullet and a
    // tab starts where the lines below it start.
    if (p.first < 0)
        stops.emplace_back(std::max(p.left, 0), QTextOption::LeftTab);
    std::sort(stops.begin(), stops.end());
    // RTF measures tab stops from the left margin; the layout measures them from where a
    // line starts. Most tabs stand in a paragraph's first line, so they are measured from
    // the first line's start.
    const int lineStart = std::max(p.left, 0) + p.first;
    QList<QTextOption::Tab> tabs;
    for (const auto &[position, type] : stops)
        if (position > lineStart && (tabs.isEmpty() || tabs.last().position < (position - lineStart) / 15.0))
            tabs << QTextOption::Tab((position - lineStart) / 15.0, type);
    return tabs;
}

void RtfParser::finishFontName()
{
    if (!tableFontName_.trimmed().isEmpty())
        fontNames_[tableFont_] = tableFontName_.trimmed();
    tableFontName_.clear();
}

void RtfParser::finishColor()
{
    colors_.push_back(colorGiven_ ? QColor(red_, green_, blue_) : QColor());
    red_ = green_ = blue_ = 0;
    colorGiven_ = false;
}

void RtfParser::insertPicture()
{
    if (g_.dest != Dest::Text)
        return;
    const Picture picture = std::exchange(picture_, Picture());
    const QImage image = decodeRtfPicture(picture.kind, picture.data);
    if (image.isNull())
        return;
    const QString name = QStringLiteral("rtfpict:%1").arg(++pictureCount_);
    doc_.addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    // \picwgoal and \pichgoal are twips; the layout's image sizes are pixels at 96 per inch.
    const double w = picture.goalWidth > 0 ? picture.goalWidth / 15.0 : image.width();
    const double h = picture.goalHeight > 0 ? picture.goalHeight / 15.0 : image.height();
    const double width = w * picture.scaleX / 100.0, height = h * picture.scaleY / 100.0;
    const double shrink = std::min({1.0, MaxTwips / 15.0 / width, MaxTwips / 15.0 / height});
    format.setWidth(width * shrink);
    format.setHeight(height * shrink);
    cursor_.insertImage(format);
}
