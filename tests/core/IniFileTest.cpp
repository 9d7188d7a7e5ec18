#include "core/IniFile.h"

#include "FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString writeFile(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
    return path;
}
QByteArray readFile(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
} // namespace

TEST(IniFile, NamesAreCaseInsensitiveAndValuesTrimmed)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[Captions]\r\nOK =  Gut  \r\n[messages]\nAre you sure?=Sicher?\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("captions", "ok", "x"), "Gut");
    EXPECT_EQ(ini.readString("MESSAGES", "are YOU sure?", "x"), "Sicher?");
}

TEST(IniFile, QuotesAreDroppedAndKeepInnerBlanks)
{
    QTemporaryDir dir;
    IniFile ini(writeFile(dir, "[S]\na=\"  two blanks  \"\nb='single'\nc=\"unmatched'\nd=\"\n"));
    EXPECT_EQ(ini.readString("S", "a", ""), "  two blanks  ");
    EXPECT_EQ(ini.readString("S", "b", ""), "single");
    EXPECT_EQ(ini.readString("S", "c", ""), "\"unmatched'");
    EXPECT_EQ(ini.readString("S", "d", ""), "\"");
}

TEST(IniFile, MissingEntriesGiveTheDefault)
{
    QTemporaryDir dir;
    IniFile ini(writeFile(dir, "[S]\nk=v\n"));
    EXPECT_EQ(ini.readString("S", "missing", "def"), "def");
    EXPECT_EQ(ini.readString("Nope", "k", "def"), "def");
    EXPECT_EQ(ini.readInteger("S", "k", 7), 7);
    IniFile none(dir.filePath("absent.ini"));
    EXPECT_EQ(none.readString("S", "k", "def"), "def");
}

TEST(IniFile, EmptyValueIsNotMissing)
{
    QTemporaryDir dir;
    IniFile ini(writeFile(dir, "[S]\nCaption=\n"));
    EXPECT_EQ(ini.readString("S", "Caption", "def"), "");
}

TEST(IniFile, ValuesAreCutAt2047Characters)
{
    QTemporaryDir dir;
    IniFile ini(writeFile(dir, "[S]\nlong=" + QByteArray(3000, 'x') + "\n"));
    EXPECT_EQ(ini.readString("S", "long", "").size(), 2047);
}

TEST(IniFile, WritePreservesOtherSectionsAndComments)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "; comment\n[A]\nx=1\n\n[B]\ny=2\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.writeString("A", "X", "10"));
    ASSERT_TRUE(ini.writeString("A", "z", "3"));
    ASSERT_TRUE(ini.writeInteger("C", "n", -5));
    const QByteArray text = readFile(path);
    EXPECT_TRUE(text.contains("; comment"));
    EXPECT_TRUE(text.contains("y=2"));
    IniFile again(path);
    EXPECT_EQ(again.readString("a", "x", ""), "10");
    EXPECT_EQ(again.readString("A", "z", ""), "3");
    EXPECT_EQ(again.readString("B", "y", ""), "2");
    EXPECT_EQ(again.readInteger("C", "n", 0), -5);
    EXPECT_EQ(again.sectionKeys("A"), (QStringList{"x", "z"}));
}

TEST(IniFile, ReadsWindows1252Files)
{
    QTemporaryDir dir;
    IniFile ini(writeFile(dir, "[Captions]\nOptions=Einstellungen f\xfcr \xc4nderung\n"));
    EXPECT_EQ(ini.readString("Captions", "Options", ""), QString::fromUtf8("Einstellungen für Änderung"));
}

TEST(IniFile, KeysThatHoldAnEqualsSignAreFoundWhole)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, "[Messages]\nPlease enter text (F3 = repeat search):=Suchtext (F3 = weiter):\nA=b=c\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("Messages", "please enter text (F3 = repeat search):", ""), "Suchtext (F3 = weiter):");
    EXPECT_EQ(ini.readString("Messages", "A", ""), "b=c");
    EXPECT_EQ(ini.readString("Messages", "Please enter text (F3", "?"), "repeat search):=Suchtext (F3 = weiter):");
    ASSERT_TRUE(ini.writeString("Messages", "x = y", "1"));
    ASSERT_TRUE(ini.writeString("Messages", "x = y", "2"));
    EXPECT_EQ(IniFile(path).readString("Messages", "x = y", ""), "2");
    EXPECT_EQ(IniFile(path).sectionKeys("Messages").size(), 3);
}

TEST(IniFile, HeldWritesReachTheFileOnlyWhenCommitted)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[A]\nx=1\n");
    IniFile ini(path);
    ini.holdWrites();
    ini.writeString("A", "x", "2");
    ini.writeInteger("B", "y", 3);
    EXPECT_EQ(IniFile(path).readString("A", "x", ""), "1");
    ASSERT_TRUE(ini.commitWrites());
    EXPECT_EQ(IniFile(path).readString("A", "x", ""), "2");
    EXPECT_EQ(IniFile(path).readInteger("B", "y", 0), 3);
}


TEST(IniFile, AWriteThatFailsKeepsTheOldFileAndGivesTheSystemsReason)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[A]\nx=1\n");
    {
        IniFile ini(path);
        const FileSizeLimit limit(1024);
        // Cut short on the disk: nothing of it may replace the old file.
        EXPECT_FALSE(ini.writeString("A", "x", QString(8000, QLatin1Char('y'))));
        EXPECT_EQ(ini.errorString(), QString("Cannot write file \"%1\". File too large").arg(path));
    }
    EXPECT_EQ(readFile(path), "[A]\nx=1\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"t.ini"});

    // A folder that is a file, and a file name taken by a folder.
    IniFile underFile(path + QStringLiteral("/LETRAFEX.INI"));
    EXPECT_FALSE(underFile.writeInteger("A", "x", 2));
    EXPECT_TRUE(underFile.errorString().endsWith("\". Not a directory"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    IniFile folder(dir.filePath("folder.ini"));
    EXPECT_FALSE(folder.writeInteger("A", "x", 2));
    EXPECT_FALSE(folder.errorString().isEmpty());

    // Once the way is free, the next write succeeds and the reason is gone.
    ASSERT_TRUE(QDir(dir.filePath("folder.ini")).removeRecursively());
    EXPECT_TRUE(folder.writeInteger("A", "x", 3));
    EXPECT_TRUE(folder.errorString().isEmpty());
    EXPECT_EQ(IniFile(dir.filePath("folder.ini")).readInteger("A", "x", 0), 3);
}
