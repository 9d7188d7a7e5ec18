// The background page: showing it, the kind buttons, the favourite textures and their
// file, textures and pictures over the background, "Add to picture" and the dialogs.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "background/BackgroundForm.h"
#include "compose/GradientPainters.h"
#include "imageio/BmpCodec.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "ui/MessageDialogs.h"
#include "program/ProgramOptions.h"
#include "ui/ResizeForm.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

Raster pattern(int w, int h)
{
    Raster r(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            r.setPixel(x, y, makeColor(x * 3 % 256, y * 2 % 256, (x * y) % 256));
    return r;
}

class BackgroundPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir(program.path()).mkpath("Data");
        dialogs.onExec = [this](QDialog &d) { return answer(d); };
        dialogs.onOpen = [this](QString &name, int &) {
            ++opened;
            if (openFile.isEmpty())
                return false;
            name = openFile;
            return true;
        };
        form = makeForm();
    }
    std::unique_ptr<TBackgroundForm> makeForm()
    {
        auto f = std::make_unique<TBackgroundForm>(TBackgroundForm::SharedObjects{&shared, &openDialog, &gauge});
        f->resize(520, 420);
        return f;
    }
    int answer(QDialog &d)
    {
        if (auto *list = d.findChild<QListWidget *>("ChoiceList")) {
            ++choices;
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->text() == choice) {
                    list->setCurrentRow(i);
                    return int(mrOk);
                }
            return int(mrCancel);
        }
        if (auto *resize = qobject_cast<TResizeForm *>(&d)) {
            resize->edtImgWidth->setText(QString::number(resizeTo.width()));
            resize->edtImgHeight->setText(QString::number(resizeTo.height()));
            resize->btnOKClick();
            return 1;
        }
        auto *message = qobject_cast<TMessageForm *>(&d);
        messages << (message ? message->messageLabel()->text() : QString());
        messageWidths << d.width();
        return messageAnswer;
    }
    QString pictureFile(const char *name, const Raster &picture)
    {
        const QString path = files.filePath(QLatin1String(name));
        SaveBmpFile(path, picture);
        return path;
    }
    QString favouritesPath() const { return program.filePath("Data/FTextures.Dat"); }
    // Writes a favourites file cut short inside slot 3's record; returns its bytes.
    QByteArray writeDamagedFavourites(FavouriteSlots &stored, int cut = 1500)
    {
        stored[0] = pattern(89, 97);
        stored[1] = pattern(20, 10);
        stored[2] = pattern(89, 97);
        QByteArray data = writeFavouriteTextures(stored);
        data.truncate(data.size() - cut);
        QFile f(favouritesPath());
        if (f.open(QIODevice::WriteOnly))
            f.write(data);
        return data;
    }
    QByteArray favourites() const
    {
        QFile f(favouritesPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void loadTexture(int slot, const Raster &picture)
    {
        form->TextureButtons[slot - 1]->click();
        openFile = pictureFile("texture.bmp", picture);
        form->TextureOpenButton->click();
    }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    QTemporaryDir files;
    Raster shared;
    TOpenDialogState openDialog;
    QProgressBar gauge;
    QString openFile;
    int opened = 0;
    QString choice;
    int choices = 0;
    QSize resizeTo;
    int messageAnswer = mrYes;
    QStringList messages;
    QList<int> messageWidths;
    std::unique_ptr<TBackgroundForm> form;
};

} // namespace

TEST_F(BackgroundPage, AFreshInstallationStartsEmpty)
{
    form->show();
    EXPECT_EQ(form->SelectedTexture, 1);
    EXPECT_FALSE(form->TextureDeleteButton->isEnabled());
    EXPECT_FALSE(form->TextureAddButton->isEnabled());
    EXPECT_TRUE(form->BgAddButton->isEnabled());
    EXPECT_TRUE(form->BgTypeButtons[0]->isChecked());
    EXPECT_EQ(shared.height(), 0);
    EXPECT_EQ(gauge.value(), 100);
    EXPECT_FALSE(QFile::exists(favouritesPath()));
    // The background fills the scroll box and is white.
    EXPECT_GT(form->BackImage->box().width, 100);
    EXPECT_EQ(form->BackImage->box().width, form->sbxBgPicture->width());
    EXPECT_EQ(form->BackImage->box().height, form->sbxBgPicture->height());
    EXPECT_EQ(form->BackImage->picture().pixel(0, 0), Colors::clWhite);
    for (QToolButton *b : form->BgTypeButtons)
        EXPECT_EQ(b->toolTip(), form->BgTypeButtons[0]->toolTip());
    EXPECT_EQ(form->BgSettingsBox->height(), 165);
    EXPECT_EQ(form->BgTypeButtons[9]->size(), QSize(41, 41));
    // Kinds 1, 2, 5, 7, 9 in the upper row.
    for (int k : {1, 2, 5, 7, 9})
        EXPECT_LT(form->BgTypeButtons[k - 1]->y(), form->BgTypeButtons[2]->y()) << k;
}

TEST_F(BackgroundPage, AKindButtonPaintsTheDisplaySizeAndOffersAdding)
{
    form->show();
    form->BgAddButton->setEnabled(false);
    form->BackImage->setImageSize(120, 80);
    form->BackImage->picture().setWidth(10); // the painter sizes the picture first
    form->BgTypeButtons[2]->click();          // kind 3: end colour first
    const Raster &picture = form->BackImage->picture();
    ASSERT_EQ(picture.width(), 120);
    ASSERT_EQ(picture.height(), 80);
    EXPECT_EQ(picture.pixel(0, 40), Colors::clBlue);
    EXPECT_EQ(picture.pixel(119, 40), ColorStep(Colors::clBlue, Colors::clAqua, 120, 119));
    EXPECT_TRUE(form->BgAddButton->isEnabled());
    EXPECT_EQ(shared.height(), 0);
    form->BgAddButton->click();
    EXPECT_TRUE(shared.samePixels(picture));
}

TEST_F(BackgroundPage, OptionOneAddsAGradientOrTextureAtOnce)
{
    form->show();
    ProgramOptions.addBackgroundAutomatically = true;
    form->BgTypeButtons[0]->click();
    EXPECT_EQ(shared.height(), form->BackImage->box().height);
    EXPECT_TRUE(shared.samePixels(form->BackImage->picture()));
    form->BgClearButtonClick();
    EXPECT_EQ(shared.height(), 0);
    loadTexture(1, pattern(89, 97));
    choice = "Tiled";
    form->TextureAddButton->click();
    EXPECT_GT(shared.height(), 0);
    EXPECT_EQ(shared.pixel(89, 0), pattern(89, 97).pixel(0, 0));
}

TEST_F(BackgroundPage, ATextureIsAnAlways89By97TileOfThePicture)
{
    form->show();
    const Raster big = pattern(300, 300);
    loadTexture(1, big);
    const Raster &slot1 = form->FavouriteTextures[0];
    ASSERT_EQ(slot1.width(), 89);
    ASSERT_EQ(slot1.height(), 97);
    EXPECT_EQ(slot1.pixel(88, 96), big.pixel(88, 96));
    EXPECT_TRUE(form->TextureDeleteButton->isEnabled());
    EXPECT_TRUE(form->TextureAddButton->isEnabled());

    const Raster small = pattern(40, 40);
    loadTexture(2, small);
    const Raster &slot2 = form->FavouriteTextures[1];
    ASSERT_EQ(slot2.width(), 89);
    EXPECT_EQ(slot2.pixel(45, 50), small.pixel(5, 10));
    EXPECT_EQ(slot2.pixel(88, 96), small.pixel(8, 16));
    EXPECT_EQ(form->SelectedTexture, 2);
    // The file holds both, written after each load.
    FavouriteSlots back;
    EXPECT_EQ(readFavouriteTextures(favourites(), back).slotsRead, 5);
    EXPECT_TRUE(back[0].samePixels(slot1));
    EXPECT_TRUE(back[1].samePixels(slot2));
    EXPECT_EQ(back[2].height(), 0);

    // A cancelled dialog leaves the slot as it was.
    openFile.clear();
    form->TextureOpenButton->click();
    EXPECT_TRUE(form->FavouriteTextures[1].samePixels(slot2));
}

TEST_F(BackgroundPage, TexturesTileFromTheCornerOrStretchEvenWhenTheChoiceIsCancelled)
{
    form->show();
    const Raster tile = pattern(89, 97);
    loadTexture(1, tile);
    form->BackImage->setImageSize(200, 100);
    choice = "Tiled";
    form->TextureAddButton->click();
    const Raster &bg = form->BackImage->picture();
    for (QPoint at : {QPoint(0, 0), QPoint(89, 0), QPoint(178, 0), QPoint(0, 97), QPoint(178, 97)})
        EXPECT_EQ(bg.pixel(at.x(), at.y()), tile.pixel(0, 0)) << at.x() << "," << at.y();
    EXPECT_EQ(bg.pixel(199, 99), tile.pixel(21, 2));

    choice.clear(); // cancelled
    form->TextureAddButton->click();
    Raster stretched(200, 100);
    StretchDraw(tile, stretched, 200, 100);
    EXPECT_TRUE(form->BackImage->picture().samePixels(stretched));
    EXPECT_EQ(choices, 2);
}

TEST_F(BackgroundPage, LoadingABackgroundByDrawMode)
{
    form->show();
    const Raster before = form->BackImage->picture();
    choice.clear();
    form->BgLoadButton->click(); // cancelled choice: no open dialog, nothing loaded
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(form->BackImage->picture().samePixels(before));

    const Raster photo = pattern(700, 650);
    openFile = pictureFile("photo.bmp", photo);
    choice = "Original";
    form->BgLoadButton->click();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(form->BackImage->box().width, 700);
    EXPECT_EQ(form->BackImage->box().height, 650);
    EXPECT_TRUE(form->BackImage->picture().samePixels(photo));
    EXPECT_EQ(shared.height(), 0); // loading does not add

    form->BgClearButtonClick();
    choice = "Stretched";
    form->BgLoadButton->click();
    EXPECT_EQ(form->BackImage->box().width, form->sbxBgPicture->width());
    EXPECT_EQ(form->BackImage->picture().width(), form->sbxBgPicture->width());
}

TEST_F(BackgroundPage, ShowingAgainStartsWithAnEmptyBackgroundAndReloadsTheFavourites)
{
    form->show();
    form->BgTypeButtons[0]->click();
    form->BgAddButton->click();
    loadTexture(3, pattern(89, 97));
    ASSERT_GT(shared.height(), 0);
    form->hide();
    form->FavouriteTextures[2] = Raster();
    form->show();
    EXPECT_EQ(shared.height(), 0);
    EXPECT_EQ(form->BackImage->picture().pixel(5, 5), Colors::clWhite);
    EXPECT_TRUE(form->FavouriteTextures[2].samePixels(pattern(89, 97)));
    // Slot 1 is empty: the page acts on slot 1, with its button down.
    EXPECT_EQ(form->SelectedTexture, 1);
    EXPECT_TRUE(form->TextureButtons[0]->isChecked());

    // Another page made later finds slot 3 in the file and shows slot 1 when it has one.
    loadTexture(1, pattern(50, 50));
    auto second = makeForm();
    second->show();
    EXPECT_EQ(second->TextureIconImage->picture().height(), 97);
    EXPECT_TRUE(second->TextureAddButton->isEnabled());
}

TEST_F(BackgroundPage, EmptyingASlotAsksFirst)
{
    form->show();
    loadTexture(1, pattern(89, 97));
    messageAnswer = mrNo;
    form->TextureDeleteButton->click();
    EXPECT_EQ(messages, QStringList{"Are you sure?"});
    EXPECT_EQ(form->FavouriteTextures[0].height(), 97);
    messageAnswer = mrYes;
    form->TextureDeleteButton->click();
    EXPECT_EQ(form->FavouriteTextures[0].height(), 0);
    EXPECT_TRUE(form->TextureIconImage->picture().isEmpty());
    EXPECT_FALSE(form->TextureDeleteButton->isEnabled());
    EXPECT_EQ(favourites().size(), 515);
}

TEST_F(BackgroundPage, ADamagedFavouritesFileKeepsItsGoodSlotsAndIsNotRewrittenUnasked)
{
    FavouriteSlots stored;
    const QByteArray data = writeDamagedFavourites(stored);
    form->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("damaged"));
    EXPECT_TRUE(form->FavouriteTextures[0].samePixels(stored[0]));
    EXPECT_TRUE(form->FavouriteTextures[1].samePixels(stored[1]));
    EXPECT_EQ(form->FavouriteTextures[2].height(), 0);
    EXPECT_TRUE(form->TextureAddButton->isEnabled()); // slot 1 shown
    form->close();
    EXPECT_EQ(favourites(), data);

    // A change writes the stored the page holds.
    form->show();
    loadTexture(4, pattern(30, 30));
    FavouriteSlots back;
    EXPECT_EQ(readFavouriteTextures(favourites(), back).slotsRead, 5);
    EXPECT_TRUE(back[1].samePixels(stored[1]));
    EXPECT_EQ(back[3].width(), 89);
}

TEST_F(BackgroundPage, ClosingWritesTheFavouritesOnlyAfterTheyWereRead)
{
    FavouriteSlots stored;
    stored[4] = pattern(89, 97);
    saveFavouriteTexturesFile(favouritesPath(), stored);
    const QByteArray data = favourites();
    form->close(); // never shown: nothing read, nothing written
    EXPECT_EQ(favourites(), data);
    form->show();
    QFile::remove(favouritesPath());
    form->close();
    EXPECT_EQ(favourites(), data);
}

TEST_F(BackgroundPage, TheColourDialogOpensWithTheColourItLastReturned)
{
    QList<QColor> offered;
    QColor next = Qt::red;
    bool confirm = true;
    dialogs.onColor = [&](QColor &c) {
        offered << c;
        c = next;
        return confirm;
    };
    form->show();
    form->BgStartColorMouseDown(form->BgStartColor);
    EXPECT_EQ(form->BgStartColor->brushColor(), makeColor(255, 0, 0));
    next = Qt::green;
    confirm = false;
    form->BgEndColorMouseDown(form->BgEndColor);
    EXPECT_EQ(form->BgEndColor->brushColor(), Colors::clBlue);
    EXPECT_EQ(offered, (QList<QColor>{Qt::black, Qt::red}));
}

TEST_F(BackgroundPage, ResizingKeepsTheContentAndRefusesImpossibleSizes)
{
    form->show();
    form->BgTypeButtons[0]->click();
    const TColor corner = form->BackImage->picture().pixel(0, 0);
    resizeTo = QSize(640, 33);
    form->btnResizeImage->click();
    EXPECT_EQ(form->BackImage->box().width, 640);
    EXPECT_EQ(form->BackImage->picture().height(), 33);
    EXPECT_EQ(form->BackImage->picture().pixel(0, 0), corner);
    resizeTo = QSize(0, 50);
    form->btnResizeImage->click();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(form->BackImage->box().width, 640);
}

TEST_F(BackgroundPage, ClearingGivesThePictureAFreshPen)
{
    form->show();
    form->BgTypeButtons[7]->click(); // the sine kind leaves a 2-pixel pen
    EXPECT_EQ(form->BackCanvas.penWidth, 2);
    form->BgTypeButtons[0]->click();
    EXPECT_EQ(form->BackCanvas.penWidth, 2);
    form->BgClearButton->click();
    EXPECT_EQ(form->BackCanvas.penWidth, 1);
}

TEST_F(BackgroundPage, ACancelledOrFailedTextureOpenChangesNeitherTheSlotNorADamagedFile)
{
    FavouriteSlots stored;
    const QByteArray data = writeDamagedFavourites(stored);
    form->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(messages.size(), 1);

    // Slot 1 is shown in the preview; cancelling its open dialog changes nothing.
    openFile.clear();
    form->TextureOpenButton->click();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(favourites(), data);
    EXPECT_TRUE(form->FavouriteTextures[0].samePixels(stored[0]));

    // A damaged picture and one beyond the size limits are reported; the empty slot 3
    // stays empty and the file untouched.
    QByteArray oversized(18, '\0');
    oversized[2] = 2;                                   // true-colour
    oversized[12] = char(0x40), oversized[13] = char(0x9C); // 40000 wide
    oversized[14] = char(0x40), oversized[15] = char(0x9C); // 40000 high
    oversized[16] = 24;
    const QString big = files.filePath("big.tga");
    QFile bigFile(big);
    ASSERT_TRUE(bigFile.open(QIODevice::WriteOnly));
    bigFile.write(oversized);
    bigFile.close();
    const QString damaged = files.filePath("damaged.png");
    QFile damagedFile(damaged);
    ASSERT_TRUE(damagedFile.open(QIODevice::WriteOnly));
    damagedFile.write("\x89PNG\r\n\x1a\n but no chunks");
    damagedFile.close();
    form->TextureButtons[2]->click();
    for (const QString &name : {damaged, big}) {
        dialogs.errors.clear();
        openFile = name;
        form->TextureOpenButton->click();
        ASSERT_EQ(dialogs.errors.size(), 1) << name.toStdString();
        EXPECT_TRUE(dialogs.errors[0].contains(name)) << dialogs.errors[0].toStdString();
        EXPECT_TRUE(form->FavouriteTextures[2].isEmpty());
        EXPECT_TRUE(form->TextureIconImage->picture().isEmpty());
        EXPECT_FALSE(form->TextureAddButton->isEnabled());
        EXPECT_EQ(favourites(), data);
    }
    EXPECT_TRUE(dialogs.errors[0].contains("TGA picture is too large!"));
}

TEST_F(BackgroundPage, ShowingAgainWithSlotOneEmptyShowsNoTextureOfTheLastShowing)
{
    form->show();
    loadTexture(3, pattern(89, 97));
    ASSERT_TRUE(form->TextureAddButton->isEnabled());
    form->hide();
    form->show();
    EXPECT_EQ(form->SelectedTexture, 1);
    EXPECT_TRUE(form->TextureIconImage->picture().isEmpty());
    EXPECT_FALSE(form->TextureAddButton->isEnabled());
    EXPECT_FALSE(form->TextureDeleteButton->isEnabled());
}

TEST_F(BackgroundPage, TheDamagedFavouritesNoticeComesOnceAfterThePageIsShownAndFitsTheScreen)
{
    FavouriteSlots stored;
    writeDamagedFavourites(stored);
    form->show();
    EXPECT_TRUE(messages.isEmpty()); // not before the page is drawn
    QCoreApplication::processEvents();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_LE(messageWidths[0], QGuiApplication::primaryScreen()->availableGeometry().width() / 2 + 150);

    form->hide();
    form->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.size(), 1); // the same damaged file is told about once

    form->hide();
    writeDamagedFavourites(stored, 2000); // damaged anew
    form->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.size(), 2);
}
