// Plain web and mail addresses in a paragraph: where they start and end, and what they open.
#include "richtext/PlainLinks.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {
// Each address found, as "text -> target".
QStringList found(const QString &text)
{
    QStringList out;
    for (const PlainLink &link : FindPlainLinks(text))
        out << text.mid(link.start, link.length) + " -> " + link.target;
    return out;
}
} // namespace

TEST(PlainLinks, WebAndMailAddressesAreFoundWithoutTheSentenceAroundThem)
{
    EXPECT_EQ(found("See https://letrafex.org/donate. Or www.letrafex.org, or write to help@letrafex.org!"),
              (QStringList{"https://letrafex.org/donate -> https://letrafex.org/donate",
                           "www.letrafex.org -> http://www.letrafex.org", "help@letrafex.org -> mailto:help@letrafex.org"}));
    EXPECT_EQ(found("(siehe http://de.wikipedia.org/wiki/Farbe_(Begriff)) und WWW.Müller-Grafik.de; "
                    "mailto:hilfe@letrafex.de? ftp://files.letrafex.org/a?b=1&c=2"),
              (QStringList{"http://de.wikipedia.org/wiki/Farbe_(Begriff) -> http://de.wikipedia.org/wiki/Farbe_(Begriff)",
                           "WWW.Müller-Grafik.de -> http://WWW.Müller-Grafik.de",
                           "mailto:hilfe@letrafex.de -> mailto:hilfe@letrafex.de",
                           "ftp://files.letrafex.org/a?b=1&c=2 -> ftp://files.letrafex.org/a?b=1&c=2"}));
    EXPECT_EQ(found("<https://letrafex.org/a> \"www.letrafex.org\" first.last+tag@mail.letrafex.co.uk."),
              (QStringList{"https://letrafex.org/a -> https://letrafex.org/a", "www.letrafex.org -> http://www.letrafex.org",
                           "first.last+tag@mail.letrafex.co.uk -> mailto:first.last+tag@mail.letrafex.co.uk"}));
    // Not addresses: a scheme or "www." with nothing after it, a word that merely contains
    // one, and mail addresses without a dotted domain.
    EXPECT_EQ(found("https:// and www. and awww.letrafex.org and xhttp://a.b and user@host and a@.org and @letrafex.org"),
              QStringList());

    const QString text = "Mail help@letrafex.org now";
    EXPECT_EQ(PlainLinkAt(text, 5)->target, "mailto:help@letrafex.org");
    EXPECT_EQ(PlainLinkAt(text, 21)->start, 5);
    EXPECT_FALSE(PlainLinkAt(text, 4));
    EXPECT_FALSE(PlainLinkAt(text, 22));
}
