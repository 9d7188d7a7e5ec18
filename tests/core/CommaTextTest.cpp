#include "core/CommaText.h"

#include <gtest/gtest.h>

TEST(CommaText, QuotesLinesWithBlanksAndRoundTrips)
{
    const QStringList lines{QStringLiteral("a b"), QStringLiteral("c")};
    EXPECT_EQ(toCommaText(lines), QStringLiteral("\"a b\",c"));
    EXPECT_EQ(fromCommaText(QStringLiteral("\"a b\",c")), lines);
}

TEST(CommaText, SingleEmptyLineIsTwoQuotes)
{
    EXPECT_EQ(toCommaText(QStringList{QString()}), QStringLiteral("\"\""));
    EXPECT_EQ(fromCommaText(QStringLiteral("\"\"")), QStringList{QString()});
    EXPECT_EQ(toCommaText({}), QString());
    EXPECT_TRUE(fromCommaText(QString()).isEmpty());
}

TEST(CommaText, TrailingCommaYieldsEmptyLastItem)
{
    EXPECT_EQ(fromCommaText(QStringLiteral("a,")), (QStringList{QStringLiteral("a"), QString()}));
    const QStringList withEmptyLast{QStringLiteral("x"), QString()};
    EXPECT_EQ(fromCommaText(toCommaText(withEmptyLast)), withEmptyLast);
}

TEST(CommaText, QuotesInsideQuotesAreDoubled)
{
    const QStringList items{QStringLiteral("say \"hi\""), QStringLiteral("a,b"), QStringLiteral("q\"")};
    const QString text = toCommaText(items);
    EXPECT_EQ(text, QStringLiteral("\"say \"\"hi\"\"\",\"a,b\",\"q\"\"\""));
    EXPECT_EQ(fromCommaText(text), items);
}

TEST(CommaText, ReadingSkipsBlanksAndSplitsUnquotedAtBlanks)
{
    EXPECT_EQ(fromCommaText(QStringLiteral("  one, two")), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_EQ(fromCommaText(QStringLiteral("a b")), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(fromCommaText(QStringLiteral(",a")), (QStringList{QString(), QStringLiteral("a")}));
    // An unclosed quote runs to the end.
    EXPECT_EQ(fromCommaText(QStringLiteral("\"open end")), QStringList{QStringLiteral("open end")});
}

TEST(CommaText, RoundTripsAwkwardLists)
{
    const QList<QStringList> cases{
        {QStringLiteral("Tiled"), QStringLiteral("Stretched"), QStringLiteral("Original")},
        {QString(), QString()},
        {QStringLiteral("tab\there"), QStringLiteral("ü ö"), QStringLiteral(" lead")},
        {QStringLiteral("\"")},
    };
    for (const QStringList &c : cases)
        EXPECT_EQ(fromCommaText(toCommaText(c)), c) << toCommaText(c).toStdString();
}
