#pragma once
// The background page: a gradient of ten kinds, a favourite texture tiled or stretched,
// or a loaded picture, made in BackImage and handed to the main window through its shared
// background raster ("Add to picture"). The five favourite textures live in the window
// and in the favourites file beside the program.
#include "compose/FavouriteTextures.h"
#include "core/Canvas.h"
#include "ui/DialogService.h"
#include "ui/PageForm.h"

#include <QColor>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QProgressBar;
class QScrollArea;
class QToolButton;
class TImage;
class TShape;

class TBackgroundForm : public TPageForm
{
    Q_OBJECT
public:
    // The main window's shared objects the page works with: the raster it hands the
    // finished background over in, the one open-picture dialog, and the progress gauge.
    struct SharedObjects
    {
        Raster *sharedBackground = nullptr;
        TOpenDialogState *pictureOpenDialog = nullptr;
        QProgressBar *progressGauge = nullptr;
        // The text page's picture view. A cleared background is no larger than the view
        // shows without scrolling, so a background made at the cleared size and handed
        // over fits there as it fits here.
        const QFrame *pictureView = nullptr;
    };

    // Without shared objects the page keeps stand-ins of its own (a background nobody
    // takes over, a dialog state of its own, no gauge).
    explicit TBackgroundForm(QWidget *parent = nullptr);
    explicit TBackgroundForm(const SharedObjects &shared, QWidget *parent = nullptr);
    ~TBackgroundForm() override;

    void FormShow() override;
    void FormResize();
    void FormClose();
    // The click of any of the ten gradient kind buttons: paints the kind now chosen.
    void BgType1ButtonClick();
    void BgStartColorMouseDown(TShape *shape);
    void BgEndColorMouseDown(TShape *shape) { BgStartColorMouseDown(shape); }
    void Texture1ButtonClick(int slot);
    void TextureOpenButtonClick();
    void TextureDeleteButtonClick();
    void TextureAddButtonClick();
    void BgLoadButtonClick();
    void BgAddButtonClick();
    void BgClearButtonClick();
    void btnResizeImageClick();
    void EnableTextureButtons(bool on);
    void SaveFavouriteTextures();
    void LoadFavouriteTextures();

    // The kind (1 to 10) whose button is down.
    int checkedKind() const;
    Raster &sharedBackground() { return *shared_.sharedBackground; }

    FavouriteSlots FavouriteTextures;
    int SelectedTexture = 1;
    // The pen and brush of BackImage's picture; they stay until the picture is cleared
    // or replaced.
    CanvasTools BackCanvas;

    QGroupBox *BackgroundBox = nullptr;
    QScrollArea *sbxBgPicture = nullptr;
    TImage *BackImage = nullptr;
    QWidget *BgButtonPanel = nullptr;
    QToolButton *BgAddButton = nullptr, *BgLoadButton = nullptr, *BgClearButton = nullptr, *btnResizeImage = nullptr;
    QGroupBox *BgSettingsBox = nullptr;
    QWidget *BgSettingsPanel = nullptr;
    QGroupBox *GradientBox = nullptr, *StartColorBox = nullptr, *EndColorBox = nullptr, *TypeBox = nullptr;
    TShape *BgStartColor = nullptr, *BgEndColor = nullptr;
    QToolButton *BgTypeButtons[10] = {};
    QButtonGroup *typeGroup = nullptr;
    QGroupBox *FavouriteBox = nullptr;
    TImage *TextureIconImage = nullptr;
    TImage *TextureImage = nullptr;
    QToolButton *TextureButtons[FavouriteSlotCount] = {};
    QButtonGroup *textureGroup = nullptr;
    QToolButton *TextureOpenButton = nullptr, *TextureDeleteButton = nullptr, *TextureAddButton = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    void connectHandlers();
    void setProgress(int percent);
    // Empties BackImage's picture: it and its pen and brush start afresh.
    void resetBackPicture();
    // Fills the shared background at once (general option 1) or offers "Add to picture".
    void backgroundChanged();

    SharedObjects shared_;
    Raster ownBackground_;
    TOpenDialogState ownOpenDialog_;
    QColor lastDialogColor_ = Qt::black;
    bool favouritesLoaded_ = false;
    // Set when the favourites file was damaged and no slot has changed since: the file
    // is not rewritten then, so its unread records are not lost by closing the page.
    bool keepDamagedFile_ = false;
    // The damaged favourites file last told about: its path, size and time.
    QString reportedDamage_;
};
