// The about page: the donation text by language, and the links.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "ui/AboutForm.h"
#include "program/ProgramOptions.h"
#include "ui/RichEdit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
class AboutPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir(program.path()).mkpath("Texts");
        write("Texts/Donation.rtf", "{\\rtf1\\ansi Please donate.\\par}");
        write("Texts/Spenden.rtf", "{\\rtf1\\ansi Bitte spenden Sie.\\par}");
    }
    void write(const QString &name, const QByteArray &text)
    {
        QFile f(program.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString shownFor(const QString &languageFile)
    {
        ProgramOptions.languageFile = languageFile;
        TAboutForm form;
        form.show();
        return form.DonationsEdit->toPlainText().trimmed();
    }
    TestProgramFolder program;
    ScriptedDialogs dialogs;
};
} // namespace

TEST_F(AboutPage, TheDonationTextFollowsTheGermanLanguageFileInAnyLetterCase)
{
    EXPECT_EQ(shownFor("German.lng"), "Bitte spenden Sie.");
    EXPECT_EQ(shownFor("german.LNG"), "Bitte spenden Sie.");
    EXPECT_EQ(shownFor("Germany.lng"), "Please donate.");
    EXPECT_EQ(shownFor("English.lng"), "Please donate.");
    QFile::remove(program.filePath("Texts/Donation.rtf"));
    EXPECT_EQ(shownFor("English.lng"), "");
}

TEST_F(AboutPage, LinksAndTheDonationButtonGoToTheDesktop)
{
    TAboutForm form;
    form.resize(640, 400);
    form.show();
    EXPECT_TRUE(form.VersionLabel->text().startsWith("Version "));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.HomepageLabel, &release);
    QCoreApplication::sendEvent(form.eMailLabel, &release);
    form.PayPalBtn->click();
    EXPECT_EQ(dialogs.openedLinks,
              (QStringList{"https://letrafex.org", "mailto:help@letrafex.org", "https://letrafex.org/donate"}));
    // The button stays centred in its panel.
    EXPECT_EQ(form.PayPalBtn->x(), form.DonationBottomPanel->width() / 2 - form.PayPalBtn->width() / 2);
}
