#pragma once
// An image control: a widget that shows one raster picture at its own size (or stretched
// over the widget) and keeps a display size of its own, like the core's ImageBox.
#include "core/ImageBox.h"

#include <QWidget>

class TImage : public QWidget
{
    Q_OBJECT
public:
    explicit TImage(const QString &name, QWidget *parent = nullptr);

    ImageBox &box() { return *box_; }
    const ImageBox &box() const { return *box_; }
    Raster &picture() { return box_->picture; }
    const Raster &picture() const { return box_->picture; }
    // Shows a box someone else owns (a layer of the composition) instead of its own; the
    // box must outlive the control's use of it.
    void showBox(ImageBox &box);

    // Draws the picture stretched over the whole control instead of at its own size.
    void setStretch(bool stretch);
    // Makes the widget's size follow the box's display size (after the core changed it).
    void syncGeometry();
    // Sets display size and picture size together.
    void setImageSize(int width, int height);
    // Call after changing the picture's pixels.
    void pictureChanged()
    {
        update();
        emit picturePixelsChanged();
    }

    QSize sizeHint() const override { return {box_->width, box_->height}; }

signals:
    void mousePressed(QMouseEvent *event);
    void mouseMoved(QMouseEvent *event);
    // The picture's pixels changed (pictureChanged was called).
    void picturePixelsChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    ImageBox ownBox_;
    ImageBox *box_ = &ownBox_;
    bool stretch_ = false;
    bool syncing_ = false;
};
