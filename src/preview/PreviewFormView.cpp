// The preview window's page views: the layout step with its zoom factors, painting a
// recorded page scaled onto a sheet, the grid, click-to-zoom and the hand tool.
#include "preview/PreviewForm.h"

#include "print/PageRecorder.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

double TPreviewForm::zoomFactorOf(int index, double custom)
{
    static const double factors[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
    if (index == 2)
        return custom;
    if (index >= 3 && index <= 11)
        return factors[index - 3];
    return 1.0;
}

void TPreviewForm::ScrollBox1Resize()
{
    const int index = ZoomBox->currentIndex();
    FitPageBut->setChecked(index == 0);
    FitWidthBut->setChecked(index == 1);
    if (index == -1)
        ZoomBox->setCurrentIndex(0);
    const int zoom = ZoomBox->currentIndex();
    const double ppi = logicalDpiY();
    const QSize client = ScrollBox1->viewport()->size();
    const double W = engine ? engine->PageWidth() : 0, H = engine ? engine->PageHeight() : 0;
    const double LX = engine && engine->LogPixelsX() > 0 ? engine->LogPixelsX() : ppi;
    const double LY = engine && engine->LogPixelsY() > 0 ? engine->LogPixelsY() : ppi;
    double z = zoomFactorOf(zoom, ZoomFactor);
    if (zoom == 0 && H > 0)
        z = (client.height() - 20) / ppi / (H / LY);
    else if (zoom == 1 && W > 0)
        z = (client.width() - 20) / ppi / (W / LX);
    if (zoom != 0)
        OnePageBut->setChecked(true);

    // Negative sizes (a window smaller than its border) are drawn as empty sheets.
    const int sheetH = std::max(0, int(ppi * z * H / LY));
    const int sheetW = std::max(0, int(ppi * z * W / LX));
    PagePanel->resize(sheetW, sheetH);
    const bool two = TwoPageBut->isChecked();
    PagePanel2->setVisible(two);
    if (two)
        PagePanel2->resize(sheetW, sheetH);
    const int total = sheetW + 20 + (two ? sheetW + 20 : 0);
    const int deskH = sheetH + 20 < client.height() ? client.height() - 1 : sheetH + 20;
    const int deskW = total < client.width() ? client.width() - 1 : total;
    ContainPanel->resize(deskW, deskH);
    const int top = deskH > sheetH + 20 ? deskH / 2 - sheetH / 2 : 10;
    const int left = total < deskW ? deskW / 2 - (total - 20) / 2 : 10;
    PagePanel->move(left, top);
    PagePanel2->move(left + sheetW + 20, top);
    ZoomFactor = z;
    ZoomLabel->setText(QLocale().toString(z * 100, 'f', 0) + QLatin1Char('%'));
}

void TPreviewForm::ZoomBoxChange()
{
    // Twice: the first pass may add or remove scroll bars, which changes the client area.
    ScrollBox1Resize();
    ScrollBox1Resize();
}

void TPreviewForm::FitPageButClick()
{
    ZoomBox->setCurrentIndex(0);
    ZoomBoxChange();
}

void TPreviewForm::FitWidthButClick()
{
    ZoomBox->setCurrentIndex(1);
    ZoomBoxChange();
}

void TPreviewForm::TwoPageButClick()
{
    ZoomBox->setCurrentIndex(0);
    ScrollBox1Resize();
}

void TPreviewForm::OnePageButMouseUp()
{
    ZoomBox->setCurrentIndex(0);
    ScrollBox1Resize();
}

void TPreviewForm::GridButClick()
{
    PB1->update();
    PB2->update();
}

void TPreviewForm::ZoomCursorButClick()
{
    PB1->setCursor(ZoomCursor);
    PB2->setCursor(ZoomCursor);
}

void TPreviewForm::HandCursorButClick()
{
    PB1->setCursor(Qt::PointingHandCursor);
    PB2->setCursor(Qt::PointingHandCursor);
}

void TPreviewForm::PBPaint(TPageView *view)
{
    if (!engine || engine->PageWidth() <= 0 || engine->PageHeight() <= 0)
        return;
    int page = -1;
    if (view == PB1 && CurrentPage >= 0 && CurrentPage < engine->PageCount())
        page = CurrentPage;
    else if (view == PB2 && TwoPageBut->isChecked() && CurrentPage + 1 < engine->PageCount())
        page = CurrentPage + 1;
    const int W = engine->PageWidth(), H = engine->PageHeight();
    QPainter painter(view);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Printer pixels of the whole sheet onto the view, x and y scaled independently.
    painter.setWindow(0, 0, W, H);
    painter.setViewport(0, 0, view->width(), view->height());
    if (page >= 0)
        DrawPagePicture(painter, engine->Page(page));
    if (!GridBut->isChecked())
        return;
    // The grid is drawn in the view's pixels, so a line on the sheet's right or bottom
    // edge lands on the last column or row instead of just outside the view.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setViewTransformEnabled(false);
    painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0), 0));
    const int LX = engine->LogPixelsX(), LY = engine->LogPixelsY();
    const int w = view->width(), h = view->height();
    for (int i = 1; LX > 0 && i <= W / LX; ++i) {
        const int x = std::min(int(double(i) * LX * w / W), w - 1);
        painter.drawLine(x, 0, x, h);
    }
    for (int j = 1; LY > 0 && j <= H / LY; ++j) {
        const int y = std::min(int(double(j) * LY * h / H), h - 1);
        painter.drawLine(0, y, w, y);
    }
}

void TPreviewForm::PB1MouseDown(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (HandCursorBut->isChecked()) {
        DragX = at.x();
        DragY = at.y();
        Dragging = true;
        return;
    }
    if (PagePanel->width() <= 0 || PagePanel->height() <= 0)
        return;
    const float fx = float(at.x()) / PagePanel->width();
    const float fy = float(at.y()) / PagePanel->height();
    if (event->buttons() & Qt::LeftButton)
        ZoomFactor *= 1.5;
    if (event->buttons() & Qt::RightButton)
        ZoomFactor /= 1.5;
    ZoomBox->setCurrentIndex(2);
    ScrollBox1Resize();
    const int x = int(PagePanel->width() * fx);
    const int y = int(PagePanel->height() * fy);
    ScrollBox1->horizontalScrollBar()->setValue(x - ScrollBox1->width() / 2);
    ScrollBox1->verticalScrollBar()->setValue(y - ScrollBox1->height() / 2);
}

void TPreviewForm::PB1MouseMove(QMouseEvent *event)
{
    if (!Dragging)
        return;
    const QPoint at = event->position().toPoint();
    QScrollBar *h = ScrollBox1->horizontalScrollBar();
    QScrollBar *v = ScrollBox1->verticalScrollBar();
    h->setValue(h->value() + DragX - at.x());
    v->setValue(v->value() + DragY - at.y());
}

void TPreviewForm::PB1MouseUp(QMouseEvent *)
{
    Dragging = false;
}

bool TPreviewForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ScrollBox1->viewport() && event->type() == QEvent::Resize)
        ScrollBox1Resize();
    if (watched == ScrollBox1->viewport() && event->type() == QEvent::Wheel &&
        TurnPageByWheel(static_cast<QWheelEvent *>(event)->angleDelta().y()))
        return true;
    if (watched == ScrollBox1 && event->type() == QEvent::KeyPress &&
        TurnPageByKey(static_cast<QKeyEvent *>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}
