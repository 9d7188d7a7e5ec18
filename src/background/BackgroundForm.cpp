// The background page's handlers: gradients, favourite textures, loaded pictures and the
// hand-over to the main window.
#include "background/BackgroundForm.h"

#include "compose/GradientPainters.h"
#include "core/CommaText.h"
#include "core/ImageBox.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "program/Language.h"
#include "ui/LoadPicture.h"
#include "ui/MessageDialogs.h"
#include "program/ProgramOptions.h"
#include "ui/ResizeForm.h"
#include "ui/Translate.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

namespace {
QString caption(const char *key) { return LngText(QStringLiteral("Captions"), QLatin1String(key)); }
QString message(const char *key) { return LngText(QStringLiteral("Messages"), QLatin1String(key)); }
} // namespace

TBackgroundForm::TBackgroundForm(QWidget *parent) : TBackgroundForm(SharedObjects{}, parent) {}

TBackgroundForm::TBackgroundForm(const SharedObjects &shared, QWidget *parent)
    : TPageForm(QStringLiteral("BackgroundForm"), QStringLiteral("Background"), parent), shared_(shared)
{
    if (!shared_.sharedBackground)
        shared_.sharedBackground = &ownBackground_;
    if (!shared_.pictureOpenDialog)
        shared_.pictureOpenDialog = &ownOpenDialog_;
    buildLayout();
    connectHandlers();
    markDesignedControls(this);
}

TBackgroundForm::~TBackgroundForm() = default;

void TBackgroundForm::setProgress(int percent)
{
    if (shared_.progressGauge)
        shared_.progressGauge->setValue(percent);
}

void TBackgroundForm::FormShow()
{
    TranslateForm(this);
    setProgress(30);
    sharedBackground().setHeight(0);
    for (Raster &slot : FavouriteTextures)
        slot = Raster();
    setProgress(60);
    if (QFile::exists(favouriteTexturesPath(userDataFolder())))
        LoadFavouriteTextures();
    favouritesLoaded_ = true;
    setProgress(100);
    // The preview shows slot 1 even when it is empty, so the texture buttons never act on
    // a texture of an earlier showing. The slot they act on is the one whose number
    // button is down.
    Texture1ButtonClick(1);
    TextureButtons[0]->setChecked(true);
    for (int k = 1; k < 10; ++k)
        BgTypeButtons[k]->setToolTip(BgTypeButtons[0]->toolTip());
    BgClearButtonClick();
}

void TBackgroundForm::LoadFavouriteTextures()
{
    const QString path = favouriteTexturesPath(userDataFolder());
    const FavouritesReading reading = loadFavouriteTexturesFile(path, FavouriteTextures);
    keepDamagedFile_ = !reading.error.isEmpty();
    if (!keepDamagedFile_)
        return;
    // Told once per damaged file, not at every showing; a file damaged anew (another size
    // or time) is told again. The notice waits until the page has been drawn.
    const QFileInfo file(path);
    const QString damage = QStringLiteral("%1|%2|%3")
                               .arg(file.absoluteFilePath())
                               .arg(file.size())
                               .arg(file.lastModified().toMSecsSinceEpoch());
    if (damage == reportedDamage_)
        return;
    reportedDamage_ = damage;
    QTimer::singleShot(0, this, [this] {
        runGuarded(this, [] {
            ShowMessageBox(message("The favourite textures file is damaged. Only the textures before the damaged one "
                                   "could be read; the file stays as it is until you change a texture."),
                           QStringLiteral("i"));
        });
    });
}

void TBackgroundForm::SaveFavouriteTextures()
{
    const QRect g = TextureImage->geometry();
    saveFavouriteTexturesFile(favouriteTexturesPath(userDataFolder()), FavouriteTextures,
                              CarrierBounds{g.x(), g.y(), g.width(), g.height()});
    keepDamagedFile_ = false;
}

int TBackgroundForm::checkedKind() const
{
    for (int k = 1; k <= 10; ++k)
        if (BgTypeButtons[k - 1]->isChecked())
            return k;
    return 0;
}

void TBackgroundForm::BgType1ButtonClick()
{
    Raster &picture = BackImage->picture();
    picture.setHeight(BackImage->box().height);
    picture.setWidth(BackImage->box().width);
    PaintGradient(checkedKind(), BackImage->box(), BackCanvas, BgStartColor->brushColor(), BgEndColor->brushColor(),
                  [this](int percent) { setProgress(percent); });
    BackImage->pictureChanged();
    backgroundChanged();
}

void TBackgroundForm::backgroundChanged()
{
    if (ProgramOptions.addBackgroundAutomatically)
        BgAddButtonClick();
    else
        BgAddButton->setEnabled(true);
}

void TBackgroundForm::BgStartColorMouseDown(TShape *shape)
{
    QColor color = lastDialogColor_;
    if (!Dialogs().chooseColor(color, this))
        return;
    lastDialogColor_ = color;
    shape->setBrushColor(fromQColor(color));
}

void TBackgroundForm::EnableTextureButtons(bool on)
{
    TextureDeleteButton->setEnabled(on);
    TextureAddButton->setEnabled(on);
}

void TBackgroundForm::Texture1ButtonClick(int slot)
{
    if (slot < 1 || slot > FavouriteSlotCount)
        return;
    Raster &preview = TextureIconImage->picture();
    preview = Raster();
    const Raster &texture = FavouriteTextures[size_t(slot - 1)];
    preview.setHeight(texture.height());
    preview.setWidth(texture.width());
    CopyPixels(texture, preview);
    TextureIconImage->pictureChanged();
    SelectedTexture = slot;
    EnableTextureButtons(preview.height() > 0);
}

void TBackgroundForm::TextureOpenButtonClick()
{
    // Draw mode 0 makes the preview's picture an 89 x 97 tile of the file's picture. A
    // cancelled dialog or a file that cannot be read leaves the slot and the favourites
    // file as they were.
    if (LoadPictureFile(*TextureIconImage, 0, false, *shared_.pictureOpenDialog) != PictureLoad::Loaded)
        return;
    const Raster &preview = TextureIconImage->picture();
    Raster &slot = FavouriteTextures[size_t(SelectedTexture - 1)];
    slot = Raster();
    slot.setHeight(preview.height());
    slot.setWidth(preview.width());
    CopyPixels(preview, slot);
    if (preview.height() > 0) {
        EnableTextureButtons(true);
        SaveFavouriteTextures();
    }
}

void TBackgroundForm::TextureDeleteButtonClick()
{
    if (!ShowMessageBox(message("Are you sure?"), QStringLiteral("c")))
        return;
    TextureIconImage->picture() = Raster();
    TextureIconImage->pictureChanged();
    FavouriteTextures[size_t(SelectedTexture - 1)].setHeight(0);
    EnableTextureButtons(false);
    SaveFavouriteTextures();
}

void TBackgroundForm::TextureAddButtonClick()
{
    const QString tiled = caption("Tiled");
    const QString answer =
        ShowChoiceBox(message("Please select draw mode"), toCommaText({tiled, caption("Stretched")}));
    const Raster &texture = TextureIconImage->picture();
    if (answer == tiled)
        TileGraphic(texture, BackImage->picture());
    else // a cancelled choice stretches too
        StretchDraw(texture, BackImage->picture(), BackImage->box().width, BackImage->box().height);
    BackImage->pictureChanged();
    backgroundChanged();
}

void TBackgroundForm::BgLoadButtonClick()
{
    const QStringList modes{caption("Tiled"), caption("Stretched"), caption("Original")};
    const QString answer = ShowChoiceBox(message("Please select draw mode"), toCommaText(modes));
    const int mode = answer.isEmpty() ? -1 : int(modes.indexOf(answer));
    if (mode < 0)
        return;
    // A picture read from a file replaces the old one, and with it the canvas's pen.
    if (LoadPictureFile(*BackImage, mode, false, *shared_.pictureOpenDialog) == PictureLoad::Loaded)
        BackCanvas = CanvasTools{};
}

void TBackgroundForm::BgAddButtonClick()
{
    Raster &shared = sharedBackground();
    const int w = BackImage->box().width, h = BackImage->box().height;
    shared.setHeight(h);
    shared.setWidth(w);
    StretchDraw(BackImage->picture(), shared, w, h);
}

void TBackgroundForm::resetBackPicture()
{
    BackImage->picture() = Raster();
    BackCanvas = CanvasTools{};
}

void TBackgroundForm::BgClearButtonClick()
{
    resetBackPicture();
    sharedBackground().setHeight(0);
    QSize size = sbxBgPicture->size();
    if (shared_.pictureView)
        size = size.boundedTo(shared_.pictureView->contentsRect().size());
    BackImage->setImageSize(size.width(), size.height());
}

void TBackgroundForm::btnResizeImageClick()
{
    QSize size(BackImage->box().width, BackImage->box().height);
    if (TResizeForm::askPictureSize(this, size))
        BackImage->setImageSize(size.width(), size.height());
}

void TBackgroundForm::resizeEvent(QResizeEvent *event)
{
    TPageForm::resizeEvent(event);
    FormResize();
}

void TBackgroundForm::FormClose()
{
    // Before the page was first shown the slots hold nothing read from the file, and a
    // damaged file nobody has changed keeps its unread records: neither is written.
    if (favouritesLoaded_ && !keepDamagedFile_)
        runGuarded(this, [this] { SaveFavouriteTextures(); });
    for (Raster &slot : FavouriteTextures)
        slot = Raster();
    favouritesLoaded_ = false;
}

void TBackgroundForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}
