#include "ui/ImageWidget.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    ownBox_.name = name;
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImage::showBox(ImageBox &box)
{
    box_ = &box;
    syncGeometry();
}

void TImage::setStretch(bool stretch)
{
    stretch_ = stretch;
    update();
}

void TImage::syncGeometry()
{
    syncing_ = true;
    resize(box_->width, box_->height);
    syncing_ = false;
    update();
}

void TImage::setImageSize(int width, int height)
{
    SetImageSize(*box_, width, height);
    syncGeometry();
}

void TImage::paintEvent(QPaintEvent *)
{
    if (box_->picture.isEmpty())
        return;
    QPainter p(this);
    const QImage &img = box_->picture.image();
    if (stretch_)
        p.drawImage(rect(), img);
    else
        p.drawImage(0, 0, img);
}

void TImage::mousePressEvent(QMouseEvent *event) { emit mousePressed(event); }
void TImage::mouseMoveEvent(QMouseEvent *event) { emit mouseMoved(event); }

void TImage::resizeEvent(QResizeEvent *event)
{
    // A layout or the user resized the control: its display size follows, the picture stays.
    if (!syncing_) {
        box_->width = event->size().width();
        box_->height = event->size().height();
    }
    QWidget::resizeEvent(event);
}
