// The preview window's controls, navigation and buttons.
#include "preview/PreviewForm.h"

#include "print/PageRecorder.h"
#include "program/Language.h"
#include "ui/Controls.h"
#include "ui/DialogService.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

// The zoom cursor and the program's icons live in static libraries' resources, which need
// registering.
static void initPrintResources()
{
    Q_INIT_RESOURCE(print);
    Q_INIT_RESOURCE(icons);
}

namespace {
QToolButton *toolButton(QWidget *parent, const char *name, const QString &hint, const QIcon &icon = {},
                        bool checkable = false)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(icon);
    b->setCheckable(checkable);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    nameByHint(b);
    b->setAutoRaise(true);
    b->setFixedSize(28, 28);
    b->setIconSize(QSize(20, 20));
    return b;
}

// A hint the engine's preview texts do not cover, from the language file's "Print Preview"
// section, its English text being the key.
QString previewHint(const char *english)
{
    return LngText(QStringLiteral("Print Preview"), QLatin1String(english));
}
} // namespace

TPreviewForm::TPreviewForm(const TPageRecorder *engineRef, QWidget *parent) : QDialog(parent), engine(engineRef)
{
    initPrintResources();
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(QStringLiteral("Preview Form"));
    resize(693, 504);
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPointSize(8);
    setFont(formFont);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildToolBar();
    buildPages();
    column->addWidget(ToolBarPanel);
    column->addWidget(ScrollBox1, 1);
    column->addWidget(StatBarPanel);
    connectHandlers();
    FormCreate();
}

void TPreviewForm::buildToolBar()
{
    ToolBarPanel = new QFrame(this);
    ToolBarPanel->setObjectName(QStringLiteral("ToolBarPanel"));
    ToolBarPanel->setFixedHeight(41);
    QFont barFont(QStringLiteral("Arial"));
    barFont.setPointSize(9);
    ToolBarPanel->setFont(barFont);
    auto *row = new QHBoxLayout(ToolBarPanel);
    row->setContentsMargins(4, 0, 4, 2);
    row->setSpacing(2);

    PageBox = new QGroupBox(QStringLiteral("Page"), ToolBarPanel);
    PageBox->setObjectName(QStringLiteral("PageBox"));
    auto *pageRow = new QHBoxLayout(PageBox);
    pageRow->setContentsMargins(4, 0, 4, 0);
    CurPageLabel = new QLabel(PageBox);
    CurPageLabel->setObjectName(QStringLiteral("CurPageLabel"));
    CurPageLabel->setMinimumWidth(56);
    pageRow->addWidget(CurPageLabel);
    setHint(CurPageLabel, previewHint("Displays the Current Page of the Document"));

    QWidget *p = ToolBarPanel;
    auto standard = [p](QStyle::StandardPixmap icon) { return p->style()->standardIcon(icon); };
    FirstPageSpeed = toolButton(p, "FirstPageSpeed", QStringLiteral("Go to First Page in Document"), standard(QStyle::SP_MediaSkipBackward));
    PrevPageSpeed = toolButton(p, "PrevPageSpeed", QStringLiteral("Move to Previous Page in Document"), standard(QStyle::SP_MediaSeekBackward));
    NextPageSpeed = toolButton(p, "NextPageSpeed", QStringLiteral("Advance to Next Page in Document"), standard(QStyle::SP_MediaSeekForward));
    LastPageSpeed = toolButton(p, "LastPageSpeed", QStringLiteral("Go to Last Page in Document"), standard(QStyle::SP_MediaSkipForward));
    ZoomBox = new QComboBox(p);
    ZoomBox->setObjectName(QStringLiteral("ZoomBox"));
    ZoomBox->addItems({QStringLiteral("Fit To Page"), QStringLiteral("Fit To Width"), QStringLiteral("Custom"),
                       QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("75%"), QStringLiteral("100%"),
                       QStringLiteral("125%"), QStringLiteral("150%"), QStringLiteral("200%"), QStringLiteral("300%"),
                       QStringLiteral("400%")});
    ZoomBox->setMinimumWidth(110);
    FitPageBut = toolButton(p, "FitPageBut", QStringLiteral("Fit to Page"), programIcon("fit_page"), true);
    FitWidthBut = toolButton(p, "FitWidthBut", QStringLiteral("Fit to Width"), programIcon("fit_width"), true);
    PrintBut = toolButton(p, "PrintBut", QStringLiteral("Print all"), programIcon("print"));
    GridBut = toolButton(p, "GridBut", QStringLiteral("Turns Grid On/Off"), programIcon("grid"), true);
    ZoomCursorBut = toolButton(p, "ZoomCursorBut", QStringLiteral("Selects the Zoom Tool to zoom in or out"), programIcon("zoom"), true);
    HandCursorBut = toolButton(p, "HandCursorBut", previewHint("Selects the Hand Tool to pan across the Page"), {}, true);
    OnePageBut = toolButton(p, "OnePageBut", QStringLiteral("Display One page at a time"), {}, true);
    OnePageBut->setText(QStringLiteral("&1"));
    TwoPageBut = toolButton(p, "TwoPageBut", QStringLiteral("Display Two pages side by side"), {}, true);
    TwoPageBut->setText(QStringLiteral("&2"));
    CloseBut = toolButton(p, "CloseBut", QStringLiteral("Close Window"));
    CloseBut->setText(QStringLiteral("Exit"));
    // At least its designed width, wider when a translated caption needs it.
    CloseBut->setMinimumWidth(64);
    CloseBut->setMaximumWidth(QWIDGETSIZE_MAX);
    CloseBut->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    PageNumSpeed = toolButton(p, "PageNumSpeed", previewHint("Go to Page by Page Number"));
    NextPageBut = new QPushButton(QStringLiteral("&Next"), p);
    NextPageBut->setObjectName(QStringLiteral("NextPageBut"));
    PrevPageBut = new QPushButton(QStringLiteral("Pre&v"), p);
    PrevPageBut->setObjectName(QStringLiteral("PrevPageBut"));
    PrevPageBut->setEnabled(false);
    for (QWidget *hidden : {static_cast<QWidget *>(HandCursorBut), static_cast<QWidget *>(PageNumSpeed),
                            static_cast<QWidget *>(NextPageBut), static_cast<QWidget *>(PrevPageBut)})
        hidden->setVisible(false);

    auto *cursorGroup = new QButtonGroup(this);
    cursorGroup->addButton(ZoomCursorBut);
    cursorGroup->addButton(HandCursorBut);
    ZoomCursorBut->setChecked(true);
    auto *pagesGroup = new QButtonGroup(this);
    pagesGroup->addButton(OnePageBut);
    pagesGroup->addButton(TwoPageBut);
    OnePageBut->setChecked(true);

    row->addWidget(PageBox);
    for (QWidget *w : std::initializer_list<QWidget *>{FirstPageSpeed, PrevPageSpeed, NextPageSpeed, LastPageSpeed,
                                                        ZoomBox, FitPageBut, FitWidthBut, PrintBut, GridBut,
                                                        ZoomCursorBut, HandCursorBut, OnePageBut, TwoPageBut})
        row->addWidget(w);
    row->addStretch(1);
    row->addWidget(CloseBut);
}

void TPreviewForm::buildPages()
{
    StatBarPanel = new QFrame(this);
    StatBarPanel->setObjectName(QStringLiteral("StatBarPanel"));
    StatBarPanel->setFixedHeight(28);
    auto *status = new QHBoxLayout(StatBarPanel);
    HintLabel = new QLabel(StatBarPanel);
    HintLabel->setObjectName(QStringLiteral("HintLabel"));
    ZoomLabel = new QLabel(StatBarPanel);
    ZoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
    ZoomLabel->setToolTip(QStringLiteral("Displays the Current Zoom Level (100% = normal)"));
    status->addWidget(HintLabel, 1);
    status->addWidget(ZoomLabel);
    StatBarPanel->setVisible(false);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setBackgroundRole(QPalette::Button);
    ScrollBox1->setWidgetResizable(false);
    ContainPanel = new QWidget;
    ContainPanel->setObjectName(QStringLiteral("ContainPanel"));
    ContainPanel->setAutoFillBackground(true);
    ContainPanel->setBackgroundRole(QPalette::Dark);
    // A tool tip shows "&" as it is: one, not the doubled one of a button caption.
    const QString pageHint =
        previewHint("Page View.  With Zoom Tool, left or right click to zoom in/out.  Click & drag with Hand Tool to pan.");
    QFrame **panels[] = {&PagePanel, &PagePanel2};
    TPageView **views[] = {&PB1, &PB2};
    for (int i = 0; i < 2; ++i) {
        QFrame *panel = new QFrame(ContainPanel);
        panel->setObjectName(i == 0 ? QStringLiteral("PagePanel") : QStringLiteral("PagePanel2"));
        panel->setAutoFillBackground(true);
        panel->setBackgroundRole(QPalette::Base);
        panel->setFrameShape(QFrame::Box);
        panel->setLineWidth(1);
        auto *fill = new QVBoxLayout(panel);
        fill->setContentsMargins(1, 1, 1, 1);
        TPageView *view = new TPageView(panel);
        view->setObjectName(i == 0 ? QStringLiteral("PB1") : QStringLiteral("PB2"));
        setHint(view, pageHint);
        fill->addWidget(view);
        *panels[i] = panel;
        *views[i] = view;
    }
    PagePanel2->setVisible(false);
    ScrollBox1->setWidget(ContainPanel);
    ScrollBox1->viewport()->installEventFilter(this);
    ScrollBox1->installEventFilter(this);
}

void TPreviewForm::connectHandlers()
{
    connect(ZoomBox, &QComboBox::activated, this, &TPreviewForm::ZoomBoxChange);
    connect(FitPageBut, &QToolButton::clicked, this, &TPreviewForm::FitPageButClick);
    connect(FitWidthBut, &QToolButton::clicked, this, &TPreviewForm::FitWidthButClick);
    connect(TwoPageBut, &QToolButton::clicked, this, &TPreviewForm::TwoPageButClick);
    connect(OnePageBut, &QToolButton::clicked, this, &TPreviewForm::OnePageButMouseUp);
    connect(GridBut, &QToolButton::clicked, this, &TPreviewForm::GridButClick);
    connect(FirstPageSpeed, &QToolButton::clicked, this, &TPreviewForm::FirstPageSpeedClick);
    connect(PrevPageSpeed, &QToolButton::clicked, this, &TPreviewForm::PrevPageButClick);
    connect(PrevPageBut, &QPushButton::clicked, this, &TPreviewForm::PrevPageButClick);
    connect(NextPageSpeed, &QToolButton::clicked, this, &TPreviewForm::NextPageButClick);
    connect(NextPageBut, &QPushButton::clicked, this, &TPreviewForm::NextPageButClick);
    connect(LastPageSpeed, &QToolButton::clicked, this, &TPreviewForm::LastPageSpeedClick);
    connect(PageNumSpeed, &QToolButton::clicked, this, &TPreviewForm::PageNumSpeedClick);
    connect(ZoomCursorBut, &QToolButton::clicked, this, &TPreviewForm::ZoomCursorButClick);
    connect(HandCursorBut, &QToolButton::clicked, this, &TPreviewForm::HandCursorButClick);
    connect(PrintBut, &QToolButton::clicked, this, &TPreviewForm::PrintButClick);
    connect(CloseBut, &QToolButton::clicked, this, &TPreviewForm::CloseButClick);
    for (TPageView *view : {PB1, PB2})
        connect(view, &TPageView::painting, this, &TPreviewForm::PBPaint);
    // Page Up and Down, Home and End turn pages wherever the focus is in the window (after
    // the zoom list or a button took it); the arrows stay with the page view, which scrolls
    // with them when zoomed in.
    for (int key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End}) {
        auto *turn = new QShortcut(QKeySequence(key), this);
        turn->setContext(Qt::WindowShortcut);
        connect(turn, &QShortcut::activated, this, [this, key] { TurnPageByKey(key); });
    }
    // A zoom chosen from the list gives the keys back to the page view.
    connect(ZoomBox, &QComboBox::activated, ScrollBox1, [this] { ScrollBox1->setFocus(); });
    connect(PB1, &TPageView::mousePressed, this, &TPreviewForm::PB1MouseDown);
    connect(PB1, &TPageView::mouseMoved, this, &TPreviewForm::PB1MouseMove);
    connect(PB1, &TPageView::mouseReleased, this, &TPreviewForm::PB1MouseUp);
}

void TPreviewForm::setHint(QWidget *control, const QString &hint)
{
    control->setToolTip(hint);
    control->setStatusTip(hint);
}

void TPreviewForm::FormCreate()
{
    ZoomBox->setCurrentIndex(0);
    setWindowState(windowState() | Qt::WindowMaximized);
    ZoomCursor = QCursor(QPixmap(QStringLiteral(":/print/ZOOM_CURSOR.png")), 12, 12);
    ZoomCursorButClick();
}

void TPreviewForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TPreviewForm::FormShow()
{
    ShowPage(0);
    UpdatePageButtons();
    // The keys that turn pages go to the page view, not to the zoom list.
    ScrollBox1->setFocus();
}

void TPreviewForm::PagesChanged()
{
    ScrollBox1Resize();
    ShowPage(std::clamp(CurrentPage, 0, std::max(pageCount() - 1, 0)));
    UpdatePageButtons();
}

bool TPreviewForm::TurnPageByKey(int key)
{
    // Arrows turn pages while the whole sheet is in view; zoomed in, they scroll.
    const bool fitted = ZoomBox->currentIndex() == 0;
    if (key == Qt::Key_PageDown || (fitted && (key == Qt::Key_Down || key == Qt::Key_Right)))
        NextPageButClick();
    else if (key == Qt::Key_PageUp || (fitted && (key == Qt::Key_Up || key == Qt::Key_Left)))
        PrevPageButClick();
    else if (key == Qt::Key_Home)
        FirstPageSpeedClick();
    else if (key == Qt::Key_End)
        LastPageSpeedClick();
    else
        return false;
    return true;
}

bool TPreviewForm::TurnPageByWheel(int angleDelta)
{
    if (ZoomBox->currentIndex() != 0)
        return false;
    // One notch (120) turns one page; a touchpad's small steps add up to a notch.
    wheelDelta_ += angleDelta;
    for (; wheelDelta_ <= -120; wheelDelta_ += 120)
        NextPageButClick();
    for (; wheelDelta_ >= 120; wheelDelta_ -= 120)
        PrevPageButClick();
    return true;
}

bool TPreviewForm::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip)
        HintLabel->setText(static_cast<QStatusTipEvent *>(event)->tip());
    return QDialog::event(event);
}

int TPreviewForm::pageCount() const
{
    return engine ? engine->PageCount() : 0;
}

void TPreviewForm::ShowPage(int index)
{
    CurrentPage = index;
    CurPageLabel->setText(QStringLiteral(" %1/%2").arg(index + 1).arg(pageCount()));
    PB1->update();
    PB2->update();
}

void TPreviewForm::UpdatePageButtons()
{
    NextPageBut->setEnabled(CurrentPage + 1 < pageCount());
    PrevPageBut->setEnabled(CurrentPage > 0);
    NextPageSpeed->setEnabled(NextPageBut->isEnabled());
    LastPageSpeed->setEnabled(NextPageBut->isEnabled());
    PrevPageSpeed->setEnabled(PrevPageBut->isEnabled());
    FirstPageSpeed->setEnabled(PrevPageBut->isEnabled());
    PageNumSpeed->setEnabled(pageCount() > 1);
}

void TPreviewForm::FirstPageSpeedClick()
{
    ShowPage(0);
    UpdatePageButtons();
}

void TPreviewForm::PrevPageButClick()
{
    if (CurrentPage > 0)
        ShowPage(CurrentPage - 1);
    UpdatePageButtons();
}

void TPreviewForm::NextPageButClick()
{
    if (CurrentPage + 1 < pageCount())
        ShowPage(CurrentPage + 1);
    UpdatePageButtons();
}

void TPreviewForm::LastPageSpeedClick()
{
    ShowPage(pageCount() - 1);
    UpdatePageButtons();
}

void TPreviewForm::PrintButClick() { emit printRequested(); }

void TPreviewForm::CloseButClick()
{
    close();
}
