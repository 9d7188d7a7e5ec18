#include "program/HelpTopics.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(HelpTopics, DepthsFollowTheLineBeforeAndTheFirstLineIsAlwaysTopLevel)
{
    QString error;
    const QList<HelpTopic> topics =
        ParseHelpTopics("\t\tStart\n\tChild\n\t\tGrandchild\n \tSecond child\nTop\n\nAfter empty\r\n", &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    const QList<HelpTopic> expected{{0, "Start"}, {1, "Child"},      {2, "Grandchild"}, {2, "Second child"},
                                    {0, "Top"},   {0, ""},           {0, "After empty"}};
    EXPECT_EQ(topics, expected);
}

TEST(HelpTopics, ALineTwoLevelsDeeperStopsWithItsDepthAndText)
{
    QString error;
    const QList<HelpTopic> topics = ParseHelpTopics("First\n\t\tToo deep\nNever read\n", &error);
    EXPECT_EQ(error, "Invalid level (2) for item \"Too deep\"");
    ASSERT_EQ(topics.size(), 1);
    EXPECT_EQ(topics.first().text, "First");
}

TEST(HelpTopics, DocumentsAreTheRtfEntriesWithoutExtension)
{
    QTemporaryDir dir;
    for (const char *name : {"English.rtf", "German.RTF", "English.ini", "notes.txt"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    QStringList names = ListRtfFiles(dir.path());
    names.sort();
    EXPECT_EQ(names, (QStringList{"English", "German"}));
    EXPECT_TRUE(ListRtfFiles(dir.filePath("missing")).isEmpty());
}
