#include "core/CommaText.h"

namespace {
bool isBlank(QChar c) { return c.unicode() >= 1 && c.unicode() <= ' '; }

bool needsQuotes(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() <= ' ' || c == QLatin1Char('"') || c == QLatin1Char(','))
            return true;
    return false;
}
} // namespace

QString toCommaText(const QStringList &items)
{
    if (items.size() == 1 && items.first().isEmpty())
        return QStringLiteral("\"\"");
    QString out;
    for (int i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        const QString &s = items[i];
        if (needsQuotes(s)) {
            QString q = s;
            q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            out += QLatin1Char('"') + q + QLatin1Char('"');
        } else {
            out += s;
        }
    }
    return out;
}

QStringList fromCommaText(const QString &text)
{
    QStringList items;
    const int n = int(text.size());
    int p = 0;
    auto at = [&](int i) { return i < n ? text[i] : QChar(0); };
    while (p < n && isBlank(text[p]))
        ++p;
    while (p < n && at(p) != QChar(0)) {
        QString item;
        if (text[p] == QLatin1Char('"')) {
            ++p;
            while (p < n) {
                if (text[p] == QLatin1Char('"')) {
                    if (at(p + 1) == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const int start = p;
            while (p < n && text[p].unicode() > ' ' && text[p] != QLatin1Char(','))
                ++p;
            item = text.mid(start, p - start);
        }
        items << item;
        while (p < n && isBlank(text[p]))
            ++p;
        if (p < n && text[p] == QLatin1Char(',')) {
            if (p + 1 == n)
                items << QString();
            do
                ++p;
            while (p < n && isBlank(text[p]));
        }
    }
    return items;
}
