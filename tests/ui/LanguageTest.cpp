#include "program/Language.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(LngText, LooksUpTheCurrentFileAndFallsBackToTheKey)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("German.lng");
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("[Messages]\nAre you sure?=Sind Sie sicher?\n[Captions]\nOK=\"  OK  \"\n");
    }
    const QString saved = LanguageFilePath;
    LanguageFilePath = path;
    EXPECT_EQ(LngText("Messages", "Are you sure?"), "Sind Sie sicher?");
    EXPECT_EQ(LngText("messages", "ARE YOU SURE?"), "Sind Sie sicher?");
    EXPECT_EQ(LngText("Captions", "OK"), "  OK  ");
    EXPECT_EQ(LngText("Messages", "Do you really want to exit the program?"), "Do you really want to exit the program?");
    EXPECT_EQ(LngText("Nowhere", "Key"), "Key");
    // The file is read at every lookup.
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("[Messages]\nAre you sure?=Wirklich?\n");
    }
    EXPECT_EQ(LngText("Messages", "Are you sure?"), "Wirklich?");
    LanguageFilePath = dir.filePath("Missing.lng");
    EXPECT_EQ(LngText("Messages", "Are you sure?"), "Are you sure?");
    LanguageFilePath.clear();
    EXPECT_EQ(LngText("Messages", "Are you sure?"), "Are you sure?");
    LanguageFilePath = saved;
}
