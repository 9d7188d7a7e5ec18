// The main window: layout, program start, pages and closing.
#include "app/MainWindow.h"

#include "compose/TextPainter.h"
#include "background/BackgroundForm.h"
#include "help/HelpForm.h"
#include "ui/AboutForm.h"
#include "ui/Controls.h"
#include "program/DialogStyle.h"
#include "ui/ImageWidget.h"
#include "program/Language.h"
#include "core/MessageText.h"
#include "ui/MessageDialogs.h"
#include "ui/OptionsForm.h"
#include "ui/PasteGuard.h"
#include "program/ProgramOptions.h"
#include "ui/SplashScreen.h"
#include "ui/Translate.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace {
// The command buttons' size, unless a button says otherwise.
QToolButton *toolButton(QWidget *parent, const char *name, const char *iconName, const char *hint, QSize size = {33, 25})
{
    return namedToolButton(parent, name, iconName, hint, size);
}
} // namespace

TLetrafex::TLetrafex(QWidget *parent) : QWidget(parent)
{
    initIconResources();
    setObjectName(QStringLiteral("Letrafex"));
    setWindowTitle(QStringLiteral("KORVA's Letrafex"));
    setWindowIcon(programIcon("logo"));
    // Group captions sit on the frame line, as on a classic desktop, which keeps the
    // dense attribute groups readable at 640 x 480.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: 7px; padding-top: 2px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px; padding: 0 2px; }"));
    buildLayout();
    connectHandlers();
    connectCommands();
    connectLiveRedraw();
    markDesignedControls(this);
    FormCreate();
}

TLetrafex::~TLetrafex() { releaseSharedObjects(); }

void TLetrafex::buildLayout()
{
    setMinimumSize(640, 480);
    resize(640, 480);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    auto *top = new QHBoxLayout;
    topLayout_ = top;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    root->addLayout(top, 1);

    SelectionBox = namedGroupBox(this, "SelectionBox", "Selection");
    SelectionBox->setFixedWidth(121);
    auto *selLayout = new QVBoxLayout(SelectionBox);
    selLayout->setContentsMargins(4, 2, 4, 4);
    SelectionView = new QListWidget(SelectionBox);
    SelectionView->setObjectName(QStringLiteral("SelectionView"));
    SelectionView->setViewMode(QListView::IconMode);
    SelectionView->setFlow(QListView::TopToBottom);
    SelectionView->setWrapping(false);
    SelectionView->setMovement(QListView::Static);
    SelectionView->setResizeMode(QListView::Adjust);
    SelectionView->setIconSize(QSize(32, 32));
    SelectionView->setGridSize(QSize(104, 66));
    SelectionView->setWordWrap(true);
    SelectionView->setSelectionMode(QAbstractItemView::SingleSelection);
    SelectionView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const char *pages[5][2] = {{"Create text", "page_text"}, {"Create background", "page_background"},
                               {"Options", "page_options"}, {"Help", "page_help"}, {"About", "page_about"}};
    for (auto &page : pages) {
        auto *item = new QListWidgetItem(programIcon(page[1]), QString::fromLatin1(page[0]), SelectionView);
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    // A new caption can take other lines than the one before, and the list would repaint only
    // the new one's place: repaint the whole list so that nothing of the old caption stays.
    connect(SelectionView->model(), &QAbstractItemModel::dataChanged, SelectionView->viewport(),
            qOverload<>(&QWidget::update));
    selLayout->addWidget(SelectionView);
    top->addWidget(SelectionBox);

    MainPanel = new QWidget(this);
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    auto *mainLayout = new QVBoxLayout(MainPanel);
    mainLayout->setContentsMargins(2, 0, 2, 0);
    mainLayout->setSpacing(0);
    mainLayout->addWidget(buildPictureBox(), 1);
    mainLayout->addWidget(buildTextCreateBox());
    top->addWidget(MainPanel, 1);

    OkBottomPanel = new QWidget(this);
    OkBottomPanel->setObjectName(QStringLiteral("OkBottomPanel"));
    OkBottomPanel->setFixedHeight(30);
    auto *bottom = new QHBoxLayout(OkBottomPanel);
    bottom->setContentsMargins(2, 0, 2, 2);
    bottom->setSpacing(2);
    ProgressBox = namedGroupBox(OkBottomPanel, "ProgressBox", "Progress");
    auto *progLayout = new QHBoxLayout(ProgressBox);
    progLayout->setContentsMargins(6, 3, 6, 2);
    bottom->addWidget(ProgressBox, 1);
    OKRightPanel = new QWidget(OkBottomPanel);
    OKRightPanel->setObjectName(QStringLiteral("OKRightPanel"));
    OKRightPanel->setFixedWidth(224);
    auto *okLayout = new QHBoxLayout(OKRightPanel);
    okLayout->setContentsMargins(0, 2, 2, 0);
    okLayout->addStretch();
    OKButton = new QPushButton(programIcon("exit"), QStringLiteral("Exit"), OKRightPanel);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setFixedSize(100, 25);
    okLayout->addWidget(OKButton);
    bottom->addWidget(OKRightPanel);
    root->addWidget(OkBottomPanel);

    // The item table's columns (caption and cells 0 to 9), never shown: the language files
    // translate its column captions and the project file writes it; the items are the
    // composition's.
    DataBase = new QTreeWidget(this);
    DataBase->setObjectName(QStringLiteral("DataBase"));
    DataBase->setHeaderLabels({QStringLiteral("Text"), QStringLiteral("Type"), QStringLiteral("FontName"),
                               QStringLiteral("FontSize"), QStringLiteral("FontDepth"), QStringLiteral("StartColor"),
                               QStringLiteral("EndColor"), QStringLiteral("XPos"), QStringLiteral("YPos"),
                               QStringLiteral("Direction"), QStringLiteral("Alignment")});
    DataBase->header()->resizeSection(10, 0);
    DataBase->hide();
}

QWidget *TLetrafex::buildPictureBox()
{
    PictureBox = namedGroupBox(MainPanel, "PictureBox", "Picture");
    auto *layout = new QHBoxLayout(PictureBox);
    layout->setContentsMargins(4, 2, 2, 4);
    layout->setSpacing(2);
    sbxPicture = new QScrollArea(PictureBox);
    sbxPicture->setObjectName(QStringLiteral("sbxPicture"));
    sbxPicture->setWidgetResizable(false);
    sbxPicture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pictureLayers_ = new QWidget;
    pictureLayers_->setObjectName(QStringLiteral("PictureLayers"));
    TextureImage = new TImage(QStringLiteral("TextureImage"), pictureLayers_);
    TextCreateImage = new TImage(QStringLiteral("TextCreateImage"), pictureLayers_);
    BgImage = new TImage(QStringLiteral("BgImage"), pictureLayers_);
    SurfaceImage = new TImage(QStringLiteral("SurfaceImage"), pictureLayers_);
    TitleImage = new TImage(QStringLiteral("TitleImage"), pictureLayers_);
    TitleImage->setToolTip(QStringLiteral("Click and drag to position text"));
    TitleImage->setCursor(Qt::CrossCursor);
    // The widgets show the composition's layers.
    TextureImage->showBox(composition_.texture());
    TextCreateImage->showBox(composition_.mask());
    BgImage->showBox(composition_.background());
    SurfaceImage->showBox(composition_.surface());
    TitleImage->showBox(composition_.picture());
    for (TImage *layer : {TextureImage, TextCreateImage, BgImage, SurfaceImage, TitleImage}) {
        // The texture, mask and surface layers get pixels only when a surface fill needs them.
        if (layer == BgImage || layer == TitleImage) {
            layer->setImageSize(462, 220);
        } else {
            layer->box().width = 462;
            layer->box().height = 220;
            layer->syncGeometry();
        }
        layer->move(0, 0);
        // Only the working picture is seen; where it is smaller than the layers below (a
        // pasted picture), the picture area shows its empty colour, not their pixels.
        layer->setVisible(layer == TitleImage);
    }
    PreviewLabel = new TPreviewLabel(QStringLiteral("PreviewLabel"), pictureLayers_);
    PreviewLabel->moveText(QPoint(3, 5));
    QPalette pal = PreviewLabel->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    PreviewLabel->setPalette(pal);
    PreviewLabel->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    pictureLayers_->resize(462, 220);
    sbxPicture->setWidget(pictureLayers_);
    layout->addWidget(sbxPicture, 1);

    PicRightPanel = new QWidget(PictureBox);
    PicRightPanel->setObjectName(QStringLiteral("PicRightPanel"));
    PicRightPanel->setFixedWidth(41);
    auto *rightLayout = new QVBoxLayout(PicRightPanel);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    PicButtonPanel = new QWidget(PicRightPanel);
    PicButtonPanel->setObjectName(QStringLiteral("PicButtonPanel"));
    auto *column = new QVBoxLayout(PicButtonPanel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    PicLoadButton = toolButton(PicButtonPanel, "PicLoadButton", "open", "Open picture");
    PicSaveButton = toolButton(PicButtonPanel, "PicSaveButton", "save", "Save picture");
    UndoButton = toolButton(PicButtonPanel, "UndoButton", "undo", "Undo action");
    RedoButton = toolButton(PicButtonPanel, "RedoButton", "redo", "Redo action");
    SendClipboardButton = toolButton(PicButtonPanel, "SendClipboardButton", "copy", "Copy picture to clipboard");
    GetClipboardButton = toolButton(PicButtonPanel, "GetClipboardButton", "paste", "Paste picture from clipboard");
    PrintButton = toolButton(PicButtonPanel, "PrintButton", "print", "Print picture");
    PicDeleteButton = toolButton(PicButtonPanel, "PicDeleteButton", "clear", "Clear image");
    btnResizeImage = toolButton(PicButtonPanel, "btnResizeImage", "resize", "Resize Image");
    QToolButton *exportButton = toolButton(PicButtonPanel, "ExportButton", "export", "Export picture");
    for (QToolButton *b : {PicLoadButton, PicSaveButton, UndoButton, RedoButton, SendClipboardButton,
                           GetClipboardButton, PrintButton, PicDeleteButton, btnResizeImage, exportButton}) {
        // Ten buttons of full height are taller than the picture group at the smallest
        // window: there they give up a few pixels each rather than the last one being cut.
        b->setMinimumHeight(22);
        column->addWidget(b, 0, Qt::AlignHCenter);
    }
    rightLayout->addStretch(1);
    rightLayout->addWidget(PicButtonPanel, 0, Qt::AlignHCenter);
    rightLayout->addStretch(1);
    layout->addWidget(PicRightPanel);
    return PictureBox;
}

QWidget *TLetrafex::buildTextCreateBox()
{
    TextCreateBox = namedGroupBox(MainPanel, "TextCreateBox", "Text Creation");
    TextCreateBox->setFixedHeight(182);
    auto *layout = new QHBoxLayout(TextCreateBox);
    layout->setContentsMargins(4, 0, 2, 4);
    layout->setSpacing(3);

    TextNoBox = new TRadioGroup(QStringLiteral("TextNoBox"), QStringLiteral("Text#"), TextCreateBox);
    TextNoBox->setFixedWidth(47);
    TextNoBox->setItems({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
    TextNoBox->setItemIndex(0);
    layout->addWidget(TextNoBox);

    ContentBox = namedGroupBox(TextCreateBox, "ContentBox", "Content");
    auto *contentLayout = new QVBoxLayout(ContentBox);
    contentLayout->setContentsMargins(4, 2, 4, 4);
    auto *memo = new TTextEdit(ContentBox);
    // A paste or drop beyond the limit is refused before the field takes any of it.
    // The message waits for the paste or drop to end: a modal dialog inside a drop would
    // hold up the program the data comes from.
    memo->setLengthLimit(MaxTextLength, [this](qsizetype length) {
        QTimer::singleShot(0, this, [this, length] {
            runGuarded(this, [length] {
                ShowMessageBox(
                    messageText("The text is too long: an item holds at most %1 characters, and this one would have %2.")
                        .arg(MaxTextLength)
                        .arg(length),
                    QStringLiteral("w"));
            });
        });
    });
    TextMemo = memo;
    TextMemo->setObjectName(QStringLiteral("TextMemo"));
    TextMemo->setAcceptRichText(false);
    TextMemo->setLineWrapMode(QTextEdit::NoWrap);
    TextMemo->setFont(QFont(QStringLiteral("Arial"), 10));
    // Tab moves on, as in every other field; the texts have no use for tab characters.
    TextMemo->setTabChangesFocus(true);
    contentLayout->addWidget(TextMemo);
    layout->addWidget(ContentBox, 1);

    layout->addWidget(buildAttributeBox(), 0, Qt::AlignTop);

    TextButtonPanel = new QWidget(TextCreateBox);
    TextButtonPanel->setObjectName(QStringLiteral("TextButtonPanel"));
    TextButtonPanel->setFixedWidth(41);
    auto *styleColumn = new QVBoxLayout(TextButtonPanel);
    styleColumn->setContentsMargins(0, 8, 0, 0);
    styleColumn->setSpacing(4);
    Text3dButton = toolButton(TextButtonPanel, "Text3dButton", "style_3d", "Generate 3D text", {36, 36});
    TextShadowButton = toolButton(TextButtonPanel, "TextShadowButton", "style_shadow", "Generate text with shadow", {36, 36});
    TextFlatButton = toolButton(TextButtonPanel, "TextFlatButton", "style_flat", "Generate flat text", {36, 36});
    int tag = 1;
    for (QToolButton *b : {Text3dButton, TextShadowButton, TextFlatButton}) {
        b->setIconSize(QSize(24, 24));
        b->setProperty("tag", tag++);
        b->setEnabled(false);
        styleColumn->addWidget(b, 0, Qt::AlignHCenter);
    }
    styleColumn->addStretch();
    layout->addWidget(TextButtonPanel);
    return TextCreateBox;
}

QWidget *TLetrafex::buildAttributeBox()
{
    TextAttribBox = namedGroupBox(TextCreateBox, "TextAttribBox", "Text attributes");
    TextAttribBox->setFixedSize(311, 162);
    QWidget *box = TextAttribBox;

    FontButton = toolButton(box, "FontButton", "font", "Set font", {28, 25});
    FontButton->move(8, 14);
    BoldButton = toolButton(box, "BoldButton", nullptr, "Enable/disable bold style", {36, 25});
    ItalicButton = toolButton(box, "ItalicButton", nullptr, "Enable/disable italic style", {36, 25});
    UnderLineButton = toolButton(box, "UnderLineButton", nullptr, "Enable/disable underline style", {36, 25});
    int x = 40;
    for (QToolButton *b : {BoldButton, ItalicButton, UnderLineButton}) {
        b->setText(QStringLiteral("ABC"));
        b->setCheckable(true);
        b->move(x, 14);
        x += 37;
    }
    QFont f = BoldButton->font();
    f.setBold(true);
    BoldButton->setFont(f);
    f = ItalicButton->font();
    f.setItalic(true);
    ItalicButton->setFont(f);
    f = UnderLineButton->font();
    f.setUnderline(true);
    UnderLineButton->setFont(f);

    alignGroup = new QButtonGroup(this);
    alignGroup->setObjectName(QStringLiteral("alignGroup"));
    AlignLeftButton = toolButton(box, "AlignLeftButton", "align_left", "Align text left", {28, 25});
    AlignCenterButton = toolButton(box, "AlignCenterButton", "align_center", "Center text", {28, 25});
    AlignRightButton = toolButton(box, "AlignRightButton", "align_right", "Align text right", {28, 25});
    x = 160;
    for (QToolButton *b : {AlignLeftButton, AlignCenterButton, AlignRightButton}) {
        b->setCheckable(true);
        b->move(x, 14);
        alignGroup->addButton(b);
        x += 29;
    }
    AlignLeftButton->setChecked(true);

    FontSizeBox = namedGroupBox(box, "FontSizeBox", "Font size");
    FontSizeBox->setGeometry(8, 42, 68, 44);
    FontSizeEdit = new TSpinEdit(QStringLiteral("FontSizeEdit"), FontSizeBox);
    FontSizeEdit->setRange(MinFontSize, MaxFontSize);
    FontSizeEdit->setGeometry(6, 15, 56, 22);

    DepthBox = namedGroupBox(box, "DepthBox", "Depth");
    DepthBox->setGeometry(80, 42, 68, 44);
    FontDepth = new TSpinEdit(QStringLiteral("FontDepth"), DepthBox);
    FontDepth->setRange(MinDepth, MaxDepth);
    FontDepth->setValue(10);
    FontDepth->setGeometry(6, 15, 56, 22);

    ColorBox = namedGroupBox(box, "ColorBox", "Start / End color");
    ColorBox->setGeometry(152, 42, 151, 44);
    StartColor = new TShape(QStringLiteral("StartColor"), ColorBox);
    StartColor->setGeometry(8, 14, 64, 24);
    StartColor->setBrushColor(Colors::clYellow);
    StartColor->setToolTip(QStringLiteral("Click to change"));
    EndColor = new TShape(QStringLiteral("EndColor"), ColorBox);
    EndColor->setGeometry(79, 14, 64, 24);
    EndColor->setBrushColor(Colors::clGreen);

    DirectionBox = namedGroupBox(box, "DirectionBox", "Text direction");
    DirectionBox->setGeometry(8, 90, 92, 66);
    directionGroup = new QButtonGroup(this);
    directionGroup->setObjectName(QStringLiteral("directionGroup"));
    directionGroup->setExclusive(true);
    struct Dir { QToolButton **button; const char *name; const char *icon; const char *hint; int col, row; };
    const Dir dirs[] = {{&TextUpLeftButton, "TextUpLeftButton", "dir_upleft", "Extrude up and to the left", 0, 0},
                        {&TextUpButton, "TextUpButton", "dir_up", "Extrude up", 1, 0},
                        {&TextUpRightButton, "TextUpRightButton", "dir_upright", "Extrude up and to the right", 2, 0},
                        {&TextDownLeftButton, "TextDownLeftButton", "dir_downleft", "Extrude down and to the left", 0, 1},
                        {&TextDownButton, "TextDownButton", "dir_down", "Extrude down", 1, 1},
                        {&TextDownRightButton, "TextDownRightButton", "dir_downright", "Extrude down and to the right", 2, 1}};
    int code = DirUpLeft;
    for (const Dir &d : dirs) {
        *d.button = toolButton(DirectionBox, d.name, d.icon, d.hint, {26, 22});
        (*d.button)->setIconSize(QSize(16, 16));
        (*d.button)->setCheckable(true);
        (*d.button)->move(6 + d.col * 27, 15 + d.row * 24);
        directionGroup->addButton(*d.button, code++);
    }
    TextUpLeftButton->setChecked(true);

    SurfaceBox = namedGroupBox(box, "SurfaceBox", "Surface");
    SurfaceBox->setGeometry(104, 90, 110, 66);
    SurfaceIconImage = new TImage(QStringLiteral("SurfaceIconImage"), SurfaceBox);
    SurfaceIconImage->setStretch(true);
    SurfaceIconImage->setGeometry(8, 15, 44, 44);
    SurfaceIconImage->box().width = 0;
    SurfaceIconImage->box().height = 0;
    SurfaceIconImage->setAutoFillBackground(true);
    QPalette sp = SurfaceIconImage->palette();
    sp.setColor(QPalette::Window, Qt::white);
    SurfaceIconImage->setPalette(sp);
    auto *frame = new QFrame(SurfaceBox);
    frame->setFrameShape(QFrame::Box);
    frame->setGeometry(7, 14, 46, 46);
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    SurfaceOpenButton = toolButton(SurfaceBox, "SurfaceOpenButton", "surface_open", "Open picture", {48, 22});
    SurfaceOpenButton->move(56, 14);
    SurfaceDeleteButton = toolButton(SurfaceBox, "SurfaceDeleteButton", "surface_delete", "Empty surface", {48, 22});
    SurfaceDeleteButton->move(56, 38);
    SurfaceDeleteButton->setEnabled(false);

    PosBox = namedGroupBox(box, "PosBox", "Pos.");
    PosBox->setGeometry(218, 90, 85, 66);
    auto *xLabel = new QLabel(QStringLiteral("X"), PosBox);
    xLabel->setObjectName(QStringLiteral("XLabel"));
    xLabel->setGeometry(8, 15, 12, 21);
    auto *yLabel = new QLabel(QStringLiteral("Y"), PosBox);
    yLabel->setObjectName(QStringLiteral("YLabel"));
    yLabel->setGeometry(8, 39, 12, 21);
    XEdit = new TNumberEdit(QStringLiteral("XEdit"), QStringLiteral("0"), PosBox);
    XEdit->setGeometry(22, 15, 55, 21);
    YEdit = new TNumberEdit(QStringLiteral("YEdit"), QStringLiteral("0"), PosBox);
    YEdit->setGeometry(22, 39, 55, 21);
    return TextAttribBox;
}

void TLetrafex::createSecondaryWindows()
{
    // Pages are hidden from their creation; FormShow moves them into the page area.
    BackgroundForm = new TBackgroundForm(
        TBackgroundForm::SharedObjects{&composition_.sharedBackground(), PictureOpenDialog.get(), ProgressGauge, sbxPicture}, this);
    OptionsForm = new TOptionsForm(this);
    HelpForm = new THelpForm(this);
    HelpForm->progress = [this](int percent) {
        if (ProgressGauge)
            ProgressGauge->setValue(percent);
    };
    AboutForm = new TAboutForm(this);
}

void TLetrafex::FormCreate()
{
    TSplashScreen splash;
    splash.show();
    splash.progress(10);
    QDir().mkpath(userDataFolder());
    splash.progress(50);
    DroppedFile = false;
    FontSizeEdit->setValue(48);
    // Undo and Redo are enabled when a click would change the picture shown, so they follow
    // the history and every change of the picture's pixels.
    composition_.undo().changed = [this] { updateUndoButtons(); };
    connect(TitleImage, &TImage::picturePixelsChanged, this, &TLetrafex::updateUndoButtons);
    updateUndoButtons();
    composition_.setCurrentItem(0);
    composition_.setCurrentType(Style3D);
    CreateItems();
    LoadSettings();
    splash.progress(90);
    EndColor->setToolTip(StartColor->toolTip());
    composition_.sharedBackground() = Raster();
    ProgressGauge = new QProgressBar(ProgressBox);
    ProgressGauge->setObjectName(QStringLiteral("ProgressGauge"));
    ProgressGauge->setRange(0, 100);
    ProgressGauge->setValue(0);
    ProgressGauge->setTextVisible(false);
    ProgressGauge->setFixedHeight(10);
    ProgressBox->layout()->addWidget(ProgressGauge);
    PictureOpenDialog = std::make_unique<TOpenDialogState>();
    SelectionView->setCurrentRow(0);
    splash.progress(100, 500);
}

void TLetrafex::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TLetrafex::FormShow()
{
    ApplyLanguage();
    ResizeLayers(sbxPicture->viewport()->width(), sbxPicture->viewport()->height());
    for (QWidget *form : {static_cast<QWidget *>(BackgroundForm), static_cast<QWidget *>(OptionsForm),
                          static_cast<QWidget *>(HelpForm), static_cast<QWidget *>(AboutForm)}) {
        if (!form)
            continue;
        form->setParent(MainPanel);
        form->hide();
        MainPanel->layout()->addWidget(form);
    }
    // The pages joined the tab order at its end; Exit, at the bottom, comes after them.
    setTabOrder(previousInFocusChain(), OKButton);
    ShownForm = this;
}

void TLetrafex::SelectionViewClick()
{
    const QList<QListWidgetItem *> selected = SelectionView->selectedItems();
    if (selected.isEmpty())
        return;
    const int entry = SelectionView->row(selected.first());
    if (entry != 0)
        CommitLiveEdits();
    if (ShownForm && ShownForm != this && ShownForm->isVisible()) {
        ShownForm->hide();
        if (ShownForm->objectName() == QLatin1String("BackgroundForm") && composition_.sharedBackground().height() > 0) {
            composition_.backgroundFromShared();
            BgImage->syncGeometry();
            RenderAll();
        }
        if (ShownForm->objectName() == QLatin1String("OptionsForm"))
            ApplyLanguage();
    }
    PictureBox->setVisible(entry == 0);
    TextCreateBox->setVisible(entry == 0);
    QWidget *forms[] = {nullptr, BackgroundForm, OptionsForm, HelpForm, AboutForm};
    if (entry >= 1 && entry <= 4 && forms[entry]) {
        ShownForm = forms[entry];
        ShownForm->show();
    }
}

void TLetrafex::OKButtonClick() { close(); }

void TLetrafex::closeEvent(QCloseEvent *event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

bool TLetrafex::FormClose()
{
    // Leaving the program from the options page closes that page: its choices count,
    // "Do not show exit dialog" among them.
    if (OptionsForm && OptionsForm->isVisible())
        OptionsForm->FormClose();
    if (!ProgramOptions.noExitDialog &&
        !ShowMessageBox(LngText(QStringLiteral("Messages"), QStringLiteral("Do you really want to exit the program?")),
                        QStringLiteral("c")))
        return false;
    SaveSettings();
    releaseSharedObjects();
    return true;
}

void TLetrafex::releaseSharedObjects()
{
    // A redraw still waiting for its frame or pause would reach for the released history.
    stopLiveRedraw();
    composition_.release();
    PictureOpenDialog.reset();
}

void TLetrafex::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TLetrafex::FormResize()
{
    // The button columns are kept in place by the layouts (centred picture commands, style
    // buttons level with the attribute group); the minimum size keeps 640 x 480.
    if (width() < 640 || height() < 480)
        resize(qMax(640, width()), qMax(480, height()));
}
