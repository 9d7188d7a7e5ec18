#pragma once
// The main window: the page list, the picture with its layers, the text creation controls
// and the objects every page shares.
#include "compose/Composition.h"
#include "core/Raster.h"
#include "ui/DialogService.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
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
    // The Exit button (its name is the one the language files know).
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
    // The click of any of the three style buttons: the button's tag is the style drawn.
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
    bool itemDrawn(int item) const { return composition_.itemDrawn(item); }
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

    // What the window shows: layers, items, current item and style, history, background.
    Composition &composition() { return composition_; }
    const Composition &composition() const { return composition_; }
    // The page shown: the window itself for the text page, else the page's window.
    QWidget *shownForm() const { return ShownForm; }
    // Whether the picture being opened came from a drop on the window.
    bool droppedFile() const { return DroppedFile; }
    // The save dialog's last file name and file type.
    const TOpenDialogState &pictureSaveDialog() const { return PictureSaveDialog; }
    // The last export's file name, offered again by the next export.
    QString &exportFileName() { return ExportFileName; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    Composition composition_;
    bool DroppedFile = false;
    // Created by FormCreate and released by FormClose.
    std::unique_ptr<TOpenDialogState> PictureOpenDialog;
    TOpenDialogState PictureSaveDialog;
    // The last export's file name, offered again by the next export.
    QString ExportFileName;
    QWidget *ShownForm = nullptr;

    // Controls (object names as the language files know them).
    QGroupBox *SelectionBox = nullptr;
    QListWidget *SelectionView = nullptr;
    QWidget *OkBottomPanel = nullptr;
    QGroupBox *ProgressBox = nullptr;
    QProgressBar *ProgressGauge = nullptr;
    QWidget *OKRightPanel = nullptr;
    QPushButton *OKButton = nullptr; // Exit
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
    // A hidden tree whose columns the language files and the project file still name; the
    // items themselves live in the composition.
    QTreeWidget *DataBase = nullptr;

    TBackgroundForm *BackgroundForm = nullptr;
    TOptionsForm *OptionsForm = nullptr;
    THelpForm *HelpForm = nullptr;
    TAboutForm *AboutForm = nullptr;

    // The commands of the picture column and the surface group; each action holds its
    // button's shortcut, hint and enabled state.
    QAction *UndoAction = nullptr, *RedoAction = nullptr, *SurfaceDeleteAction = nullptr;

    void buildLayout();
    QWidget *buildPictureBox();
    QWidget *buildTextCreateBox();
    QWidget *buildAttributeBox();
    void connectHandlers();
    void connectCommands();
    void connectLiveRedraw();
    // Stops both live-redraw timers; nothing scheduled runs afterwards.
    void stopLiveRedraw();
    // Gives each command the (translated) hint of its button with its keyboard shortcut.
    void showShortcutsInHints();
    // Makes each command button show an action of its own running the handler.
    void attachCommand(QToolButton *button, QAction *action, std::function<void()> handler);
    // Loads the current item into the controls, starting from the values given.
    void showItem(ItemAttributes a);
    // Shows a picture just rendered and the current item the rendering left in editor.
    void showRendered(const ItemAttributes &editor);
    // The layer widgets' sizes follow the composition's layers.
    void syncLayers();
    // Undo and Redo are enabled only when they would show another picture.
    void updateUndoButtons();
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
    // The language file whose fault has been told in this run (told once, not at every apply).
    QString languageProblemTold_;
    bool liveBurst_ = false;
    QTimer *liveTimer_ = nullptr;
    QTimer *pauseTimer_ = nullptr;
    QHBoxLayout *topLayout_ = nullptr;
    QWidget *pictureLayers_ = nullptr;
};
