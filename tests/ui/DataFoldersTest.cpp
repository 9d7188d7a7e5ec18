// Where the program finds its data folders and keeps its own files: beside the program as
// in the build tree, or in an installed prefix's share folder, with Data in the user's
// data folder when the program's folder cannot be written.
#include "program/Language.h"
#include "program/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
struct ProgramDirScope
{
    explicit ProgramDirScope(const QString &dir) { setProgramDir(dir); }
    ~ProgramDirScope() { setProgramDir(QString()); }
};
void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}
} // namespace

TEST(DataFolders, BesideTheProgramFirstThenTheInstalledShareFolder)
{
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    touch(prefix.filePath(QStringLiteral("share/letrafex/LScripts/English.lng")));
    QDir().mkpath(prefix.filePath(QStringLiteral("share/letrafex/Help")));
    ProgramDirScope scope(bin);

    EXPECT_EQ(dataFolder(QStringLiteral("LScripts")), prefix.filePath(QStringLiteral("share/letrafex/LScripts")));
    EXPECT_EQ(dataFolder(QStringLiteral("Help")), prefix.filePath(QStringLiteral("share/letrafex/Help")));
    EXPECT_EQ(LanguageList(true), QStringList{QStringLiteral("English.lng")});
    EXPECT_TRUE(QFile::exists(languageFilePathFor(QStringLiteral("English.lng"))));
    // Neither here nor installed: beside the program, where a message would look.
    EXPECT_EQ(dataFolder(QStringLiteral("Texts")), QDir(bin).filePath(QStringLiteral("Texts")));

    // An installed program keeps Data in the user's data folder, even where it could write
    // its own folder (as root can).
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    const QString installedSettings = settingsFilePath();
    qputenv("XDG_DATA_HOME", oldHome);
    EXPECT_TRUE(installedSettings.startsWith(home.path() + QLatin1Char('/'))) << installedSettings.toStdString();

    // Folders beside the program win over the installed ones, and Data goes beside them.
    touch(QDir(bin).filePath(QStringLiteral("LScripts/German.lng")));
    EXPECT_EQ(LanguageList(true), QStringList{QStringLiteral("German.lng")});
    EXPECT_EQ(settingsFilePath(), QDir(bin).filePath(QStringLiteral("Data/LETRAFEX.INI")));
}

TEST(DataFolders, DataBesideAWritableProgramElseInTheUsersDataFolder)
{
    QTemporaryDir prefix, home;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    ProgramDirScope scope(bin);
    EXPECT_EQ(settingsFilePath(), QDir(bin).filePath(QStringLiteral("Data/LETRAFEX.INI")));

    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    // A program folder that cannot be written sends the program's files to the user's
    // data folder.
    const QString userFolder = userDataFolderFor(false);
    EXPECT_TRUE(userFolder.startsWith(home.path() + QLatin1Char('/'))) << userFolder.toStdString();
    EXPECT_EQ(userDataFolderFor(true), QDir(bin).filePath(QStringLiteral("Data")));
    // Where the system really refuses writing (not for root), the settings follow.
    QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool readOnly = !QFileInfo(bin).isWritable();
    const QString settings = settingsFilePath();
    QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_DATA_HOME", oldHome);
    EXPECT_EQ(settings, QDir(readOnly ? userFolder : QDir(bin).filePath(QStringLiteral("Data"))).filePath(QStringLiteral("LETRAFEX.INI")));
}
