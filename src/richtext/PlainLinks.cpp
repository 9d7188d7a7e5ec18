#include "richtext/PlainLinks.h"

#include <QRegularExpression>

namespace {
// A scheme or "www." up to the next blank, or a mail address; neither may continue a word
// or an address that came before it.
const QRegularExpression &addressPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"((?<![\w@.:/+-])(?:(?:https?|ftp|file)://|mailto:|www\.)[^\s<>"]+)"
                       R"(|(?<![\w@.+-])[\w+-][\w.+-]*@[\w-]+(?:\.[\w-]+)+)"),
        QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// How long the address is without the punctuation that ends the sentence around it.
qsizetype trimmedLength(QStringView address)
{
    qsizetype n = address.size();
    while (n > 0) {
        const QChar last = address[n - 1];
        const int opened = int(address.left(n).count(QLatin1Char('('))), closed = int(address.left(n).count(QLatin1Char(')')));
        if (QStringLiteral(".,;:!?'").contains(last) || (last == QLatin1Char(')') && closed > opened) ||
            last == QLatin1Char(']') || last == QLatin1Char('}'))
            --n;
        else
            break;
    }
    return n;
}

// Whether anything but the scheme or "www." is left of the address.
bool hasBody(QStringView address)
{
    static const QRegularExpression prefix(QStringLiteral(R"(^(?:(?:https?|ftp|file)://|mailto:|www\.))"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = prefix.match(address);
    return !m.hasMatch() || m.capturedLength() < address.size();
}
} // namespace

std::vector<PlainLink> FindPlainLinks(const QString &text)
{
    std::vector<PlainLink> links;
    for (auto it = addressPattern().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QStringView address = QStringView(text).mid(m.capturedStart(), trimmedLength(m.capturedView()));
        if (address.isEmpty() || !hasBody(address))
            continue;
        QString target = address.toString();
        if (target.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
            target.prepend(QLatin1String("http://"));
        else if (!target.contains(QLatin1Char(':')))
            target.prepend(QLatin1String("mailto:"));
        links.push_back({int(m.capturedStart()), int(address.size()), target});
    }
    return links;
}

std::optional<PlainLink> PlainLinkAt(const QString &text, int index)
{
    for (const PlainLink &link : FindPlainLinks(text))
        if (index >= link.start && index < link.start + link.length)
            return link;
    return std::nullopt;
}

PlainLinkHighlighter::PlainLinkHighlighter(QTextDocument *document) : QSyntaxHighlighter(document)
{
    look_.setForeground(QColor(0, 0, 255));
    look_.setFontUnderline(true);
}

void PlainLinkHighlighter::highlightBlock(const QString &text)
{
    for (const PlainLink &link : FindPlainLinks(text))
        setFormat(link.start, link.length, look_);
}
