#pragma once
// The state machine of the RTF reader: one pass over the bytes, a stack of group states,
// text inserted into the document through a cursor as it is read.
#include "richtext/RtfPicture.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTextCursor>
#include <QTextOption>

#include <map>
#include <vector>

class QTextDocument;
class QTextBlockFormat;
class QTextCharFormat;

class RtfParser
{
public:
    RtfParser(const QByteArray &data, QTextDocument &document);
    void run();

private:
    enum class Dest { Text, FontTable, ColorTable, FieldInstruction, Picture, Skip };
    struct CharState
    {
        int font = -1;
        int halfPoints = 24;
        bool bold = false, italic = false, underline = false, strike = false;
        int foreground = 0, background = 0;
        int vertical = 0; // 1 superscript, -1 subscript
    };
    struct ParaState
    {
        Qt::Alignment align = Qt::AlignLeft;
        int left = 0, right = 0, first = 0, before = 0, after = 0; // twips
        bool inTable = false;
        // Tab stops in twips from the left margin, with their alignment.
        std::vector<std::pair<int, QTextOption::TabType>> tabs;
        QTextOption::TabType nextTabType = QTextOption::LeftTab;
    };
    // The columns of the table row being read: the right edges of its cells in twips from
    // the left margin, and the space inside each cell's left edge.
    struct RowState
    {
        std::vector<int> cellRight;
        int gap = 0;
    };
    struct Group
    {
        Dest dest = Dest::Text;
        CharState chr;
        ParaState para;
        int uc = 1;
        int field = -1; // the field whose instruction or result this group holds
        bool result = false;
    };
    struct Picture
    {
        RtfPictureKind kind = RtfPictureKind::None;
        QByteArray data;
        int goalWidth = 0, goalHeight = 0, scaleX = 100, scaleY = 100;
        int nibble = -1;
    };

    void openGroup();
    void closeGroup();
    void readControl();
    void controlWord(const QByteArray &word, bool hasParam, int param);
    bool destinationWord(const QByteArray &word);
    bool characterWord(const QByteArray &word, bool hasParam, int param);
    bool paragraphWord(const QByteArray &word, int param);
    bool pictureWord(const QByteArray &word, bool hasParam, int param);
    void textByte(char c);
    void textChar(QChar c);
    void hexByte(char c);
    void skipBinary(int count);
    void flush();
    void endParagraph();
    void insertPicture();
    int currentCodePage() const;
    QTextCharFormat charFormat() const;
    QTextBlockFormat blockFormat() const;
    // The paragraph's tab stops as the layout takes them, in pixels of 96 per inch.
    QList<QTextOption::Tab> tabStops() const;
    void finishFontName();
    void finishColor();

    const QByteArray &in_;
    qsizetype pos_ = 0;
    QTextDocument &doc_;
    QTextCursor cursor_;
    std::vector<Group> stack_;
    Group g_;
    int overflow_ = 0;         // groups opened beyond the nesting limit
    bool star_ = false;        // the last control was \*
    int skipAfterUnicode_ = 0; // fallback characters still to drop after \uN
    QByteArray bytes_;         // text bytes not yet decoded
    QString text_;             // decoded text not yet placed
    int codePage_ = 1252;
    int defaultFont_ = 0;
    bool pageBreakNext_ = false;
    int afterPrevious_ = 0; // space after the paragraph before this one, in twips
    RowState row_;
    std::map<int, QString> fontNames_;
    std::map<int, int> fontCodePages_;
    int tableFont_ = -1;
    QString tableFontName_;
    std::vector<QColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorGiven_ = false;
    std::vector<QString> fields_;
    Picture picture_;
    int pictureCount_ = 0;
};
