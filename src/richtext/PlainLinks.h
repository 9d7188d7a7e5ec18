#pragma once
// Web and mail addresses written as plain text, found as a rich-text view that detects
// links finds them, and shown as links without changing the document.
#include <QColor>
#include <QString>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <optional>
#include <vector>

// One address in a paragraph's text: where it is, and what opening it opens.
struct PlainLink
{
    int start = 0, length = 0;
    QString target; // the text itself, "http://" before a "www." address, "mailto:" before a mail address
};

// The addresses in the text of one paragraph: those that begin with http://, https://,
// ftp://, file:// or mailto:, those that begin with "www.", and mail addresses. A
// punctuation mark that ends a sentence, and a closing bracket without its opening one,
// are not part of the address before them.
std::vector<PlainLink> FindPlainLinks(const QString &text);

// The address that covers the character at index of text, if any.
std::optional<PlainLink> PlainLinkAt(const QString &text, int index);

// Shows the plain addresses of a document in the look of a link, blue and underlined, as
// the document is loaded and typed into. The look belongs to the view only: the document,
// its undo steps and what is copied from it stay as they are.
class PlainLinkHighlighter : public QSyntaxHighlighter
{
public:
    explicit PlainLinkHighlighter(QTextDocument *document);

protected:
    void highlightBlock(const QString &text) override;

private:
    QTextCharFormat look_;
};
