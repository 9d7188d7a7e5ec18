#pragma once
// The main window: the page list, the picture with its layers, the text creation controls
// and the objects every page shares.
#include "app/ItemTable.h"
#include "app/TextPainter.h"
#include "app/UndoHistory.h"
#include "core/Raster.h"
#include "ui/DialogService.h"

#include <QWidget>
#include <cstdint>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QListWidget;
class QPrinter;
class QProgressBar;
class QTimer;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTextEdit;
class QToolButton;
class QTreeWidget;
class TImage;
class TNumberEdit;
class TPreviewLabel;
class TRadioGroup;
class TShape;
class TSpinEdit;
class TSplashScreen;
class TBackgroundForm;
class TOptionsForm;
class THelpForm;
class TAboutForm;
struct ItemAttributes;

class TLetrafex : public QWidget
{
    Q_OBJECT
public:
    explicit TLetrafex(QWidget *parent = nullptr);
    ~TLetrafex() override;

    // Creates the four secondary windows hidden, as children the main window owns; the
    // program does this right after the main window.
    void createSecondaryWindows();

    // Program start and pages.
    void FormCreate();
    void FormShow();
    void SelectionViewClick();
    void OKButtonClick();
    // Asks and tidies up; false when the user keeps the window open.
    bool FormClose();

    // Settings and language.
    void LoadSettings();
    void SaveSettings();
    void ApplyLanguage();

    // Text items.
    void CreateItems();
    void StoreItem();
    void LoadItem();
    void UpdateStyleButtons();
    void ClearSurface();
    void TextNoBoxClick();
    void TextMemoChange();
    void FontSizeEditChange();
    void FontButtonClick();
    void BoldButtonClick();
    void ItalicButtonClick();
    void UnderLineButtonClick();
    void AlignLeftButtonClick();
    void AlignCenterButtonClick();
    void AlignRightButtonClick();
    void StartColorMouseDown(TShape *shape);

    // Picture layers, composition and placement.
    void InitPics();
    void ResizeLayers(int w, int h);
    void RenderAll();
    void Text3DButtonClick(QAbstractButton *sender);
    void TitleImageMouseDown(int mx, int my);
    void TitleImageMouseMove(int mx, int my, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void PreviewLabelMouseDown(int x, int y);
    void PreviewLabelMouseMove(int x, int y, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void FormResize();

    // Undo and redo.
    void PushUndoSnapshot();
    void UndoButtonClick();
    void RedoButtonClick();

    // Redrawing while editing (general option 3): an edit of a drawn item schedules one
    // redraw per frame; a burst of edits becomes one undo step when the user pauses,
    // clicks a style button, switches the item or leaves the page.
    void ItemEdited();
    void LiveRedrawTimer();
    void LiveEditPause();
    void CommitLiveEdits();
    // Redraws every item over the background without touching the editing controls.
    void RedrawLive();
    PictureLayers pictureLayers();
    bool itemDrawn(int item) const { return drawnItems_[size_t(item)]; }
    bool liveEditPending() const { return liveBurst_; }

    // Picture commands and the project file.
    void PicLoadButtonClick();
    void WMDropFiles(const QStringList &fileNames);
    void PicSaveButtonClick();
    void SaveProject(const QString &fileName);
    void LoadProject(const QString &fileName);
    void SendClipboardButtonClick();
    void GetClipboardButtonClick();
    void PicDeleteButtonClick();
    void btnResizeImageClick();
    void PrintButtonClick();
    // Prints the picture on an already set-up printer; false when the job could not start.
    bool PrintPicture(QPrinter &printer, const Raster &picture);
    void SurfaceOpenButtonClick();
    void SurfaceDeleteButtonClick();

    // The values the editing controls hold, and writing such values back into them.
    ItemAttributes gatherAttributes() const;
    void applyAttributes(const ItemAttributes &a, bool loadSurface);
    QStringList memoLines() const;
    void setMemoLines(const QStringList &lines);
    int styleSetOfMemo() const;
    void setStyleSetOfMemo(int styleSet);
    int directionCode() const;
    void setDirectionCode(int code);
    int alignmentCode() const;
    void setAlignmentCode(int code);

    // Shared state.
    ItemTable Items;
    std::uint8_t CurrentItem = 0;
    std::uint8_t CurrentType = 1;
    bool DroppedFile = false;
    Raster SharedBackground;
    // Created by FormCreate and released by FormClose.
    std::unique_ptr<TOpenDialogState> PictureOpenDialog;
    TOpenDialogState PictureSaveDialog;
    // The last export's file name, offered again by the next export.
    QString ExportFileName;
    std::unique_ptr<UndoHistory> Undo;
    QWidget *ShownForm = nullptr;

    // Controls (object names as the language files know them).
    QGroupBox *SelectionBox = nullptr;
    QListWidget *SelectionView = nullptr;
    QWidget *OkBottomPanel = nullptr;
    QGroupBox *ProgressBox = nullptr;
    QProgressBar *ProgressGauge = nullptr;
    QWidget *OKRightPanel = nullptr;
    QPushButton *OKButton = nullptr;
    QWidget *MainPanel = nullptr;
    QGroupBox *PictureBox = nullptr;
    QScrollArea *sbxPicture = nullptr;
    QWidget *PicRightPanel = nullptr;
    QWidget *PicButtonPanel = nullptr;
    QToolButton *PicLoadButton = nullptr, *PicSaveButton = nullptr, *UndoButton = nullptr, *RedoButton = nullptr;
    QToolButton *SendClipboardButton = nullptr, *GetClipboardButton = nullptr, *PrintButton = nullptr;
    QToolButton *PicDeleteButton = nullptr, *btnResizeImage = nullptr;
    TImage *TextureImage = nullptr, *TextCreateImage = nullptr, *BgImage = nullptr, *SurfaceImage = nullptr,
           *TitleImage = nullptr;
    TPreviewLabel *PreviewLabel = nullptr;
    QGroupBox *TextCreateBox = nullptr;
    TRadioGroup *TextNoBox = nullptr;
    QGroupBox *ContentBox = nullptr;
    QTextEdit *TextMemo = nullptr;
    QGroupBox *TextAttribBox = nullptr;
    QToolButton *FontButton = nullptr, *BoldButton = nullptr, *ItalicButton = nullptr, *UnderLineButton = nullptr;
    QToolButton *AlignLeftButton = nullptr, *AlignCenterButton = nullptr, *AlignRightButton = nullptr;
    QGroupBox *FontSizeBox = nullptr, *DepthBox = nullptr, *ColorBox = nullptr, *DirectionBox = nullptr,
              *SurfaceBox = nullptr, *PosBox = nullptr;
    TSpinEdit *FontSizeEdit = nullptr, *FontDepth = nullptr;
    TShape *StartColor = nullptr, *EndColor = nullptr;
    QToolButton *TextUpLeftButton = nullptr, *TextUpButton = nullptr, *TextUpRightButton = nullptr;
    QToolButton *TextDownLeftButton = nullptr, *TextDownButton = nullptr, *TextDownRightButton = nullptr;
    QButtonGroup *directionGroup = nullptr;
    QButtonGroup *alignGroup = nullptr;
    TImage *SurfaceIconImage = nullptr;
    QToolButton *SurfaceOpenButton = nullptr, *SurfaceDeleteButton = nullptr;
    TNumberEdit *XEdit = nullptr, *YEdit = nullptr;
    QWidget *TextButtonPanel = nullptr;
    QToolButton *Text3dButton = nullptr, *TextShadowButton = nullptr, *TextFlatButton = nullptr;
    QTreeWidget *DataBase = nullptr;

    TBackgroundForm *BackgroundForm = nullptr;
    TOptionsForm *OptionsForm = nullptr;
    THelpForm *HelpForm = nullptr;
    TAboutForm *AboutForm = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildLayout();
    QWidget *buildPictureBox();
    QWidget *buildTextCreateBox();
    QWidget *buildAttributeBox();
    void connectHandlers();
    void connectCommands();
    void connectLiveRedraw();
    // Stops both live-redraw timers; nothing scheduled runs afterwards.
    void stopLiveRedraw();
    // Adds each command's keyboard shortcut to its (translated) hint.
    void showShortcutsInHints();
    // Undo and Redo are enabled only when they would show another picture.
    void updateUndoButtons();
    // Gives the mask and surface layers pixels when an item fills its letters with a
    // surface picture, and takes them away when none does.
    void prepareSurfaceLayers();
    // Makes the scrolled area as large as the largest picture layer.
    void updatePictureArea();
    void releaseSharedObjects();
    // Moves the text preview to where the current item's front face will be drawn.
    void placePreview();
    // Ends the typing in the number fields as leaving them would: typed sizes are moved
    // into their ranges, positions that are no whole numbers go back to the last one.
    void finishFieldEdits();

    bool shownOnce_ = false;
    bool loadingItem_ = false;
    // A failed write of the settings is told once per run, not at start and again at exit.
    bool settingsWarningShown_ = false;
    bool liveBurst_ = false;
    std::array<bool, ItemCount> drawnItems_{};
    QTimer *liveTimer_ = nullptr;
    QTimer *pauseTimer_ = nullptr;
    QHBoxLayout *topLayout_ = nullptr;
    QWidget *pictureLayers_ = nullptr;
};
