#pragma once
// TPreviewForm: the print preview window. It shows the engine's recorded pages, one or
// two side by side, at a chosen zoom, with an optional one-inch grid, page navigation,
// click-to-zoom and a print button. Everything it shows comes from the page recorder; its
// print button asks whoever opened it to print.
#include <QCursor>
#include <QDialog>
#include <QWidget>

class QAbstractButton;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;
class TPageRecorder;

// A paint box: the form draws it and, for the first one, takes its mouse input.
class TPageView : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

signals:
    void painting(TPageView *view);
    void mousePressed(QMouseEvent *event);
    void mouseMoved(QMouseEvent *event);
    void mouseReleased(QMouseEvent *event);

protected:
    void paintEvent(QPaintEvent *) override { emit painting(this); }
    void mousePressEvent(QMouseEvent *event) override { emit mousePressed(event); }
    void mouseMoveEvent(QMouseEvent *event) override { emit mouseMoved(event); }
    void mouseReleaseEvent(QMouseEvent *event) override { emit mouseReleased(event); }
};

class TPreviewForm : public QDialog
{
    Q_OBJECT
public:
    explicit TPreviewForm(const TPageRecorder *engine, QWidget *parent = nullptr);

    const TPageRecorder *engine = nullptr; // not owned
    int CurrentPage = 0;
    double ZoomFactor = 0;
    bool Dragging = false;
    int DragX = 0, DragY = 0;
    QCursor ZoomCursor; // the program's own zoom cursor

    QFrame *ToolBarPanel = nullptr;
    QGroupBox *PageBox = nullptr;
    QLabel *CurPageLabel = nullptr;
    QToolButton *FirstPageSpeed = nullptr;
    QToolButton *PrevPageSpeed = nullptr;
    QToolButton *NextPageSpeed = nullptr;
    QToolButton *LastPageSpeed = nullptr;
    QComboBox *ZoomBox = nullptr;
    QToolButton *FitPageBut = nullptr;
    QToolButton *FitWidthBut = nullptr;
    QToolButton *PrintBut = nullptr;
    QToolButton *GridBut = nullptr;
    QToolButton *ZoomCursorBut = nullptr;
    QToolButton *HandCursorBut = nullptr;
    QToolButton *OnePageBut = nullptr;
    QToolButton *TwoPageBut = nullptr;
    QToolButton *CloseBut = nullptr;
    QToolButton *PageNumSpeed = nullptr;
    QPushButton *NextPageBut = nullptr;
    QPushButton *PrevPageBut = nullptr;
    QFrame *StatBarPanel = nullptr;
    QLabel *HintLabel = nullptr;
    QLabel *ZoomLabel = nullptr;
    QScrollArea *ScrollBox1 = nullptr;
    QWidget *ContainPanel = nullptr;
    QFrame *PagePanel = nullptr;
    QFrame *PagePanel2 = nullptr;
    TPageView *PB1 = nullptr;
    TPageView *PB2 = nullptr;

    // A control's hint: its tool tip, and the status text the hint label shows.
    void setHint(QWidget *control, const QString &hint);

    void ShowPage(int index);
    // The engine's pages were laid out anew (a sheet chosen in the print dialog): the
    // sheet, the page count and the buttons follow.
    void PagesChanged();
    // Page Up and Down, Home and End turn pages; so do the arrows and the wheel at Fit To
    // Page, where nothing is left to scroll. True when the key or wheel turned pages.
    bool TurnPageByKey(int key);
    bool TurnPageByWheel(int angleDelta);
    void UpdatePageButtons();
    // The layout step: zoom factor from the zoom choice, sheet and desk sizes, centring.
    void ScrollBox1Resize();
    void ZoomBoxChange();
    void FitPageButClick();
    void FitWidthButClick();
    void TwoPageButClick();
    void OnePageButMouseUp();
    void GridButClick();
    void FirstPageSpeedClick();
    void PrevPageButClick();
    void NextPageButClick();
    void LastPageSpeedClick();
    void PageNumSpeedClick() {}
    void ZoomCursorButClick();
    void HandCursorButClick();
    void PBPaint(TPageView *view);
    void PB1MouseDown(QMouseEvent *event);
    void PB1MouseMove(QMouseEvent *event);
    void PB1MouseUp(QMouseEvent *event);
    // Asks for the print dialog (printRequested).
    void PrintButClick();
    void CloseButClick();

    // The zoom factor of a zoom list index other than the two fitted ones.
    static double zoomFactorOf(int index, double custom);

signals:
    void printRequested();

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildToolBar();
    void buildPages();
    void connectHandlers();
    int pageCount() const;
    int wheelDelta_ = 0;
    void FormCreate();
    void FormShow();
};
