// The main window's picture: layers, composition, text placement, undo and redo.
#include "app/MainWindow.h"

#include "app/TextPainter.h"
#include "ui/Controls.h"
#include "ui/GaugeUpdater.h"
#include "ui/ImageWidget.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>

PictureLayers TLetrafex::pictureLayers()
{
    return PictureLayers{&TextureImage->box(), &TextCreateImage->box(), &BgImage->box(), &SurfaceImage->box(),
                         &TitleImage->box(), {}, {}};
}

void TLetrafex::ResizeLayers(int w, int h)
{
    // The background and the working picture take the new size with their pixels. The
    // texture, mask and surface layers hold pixels only while a surface fill needs them
    // (prepareSurfaceLayers); until then only their display size follows. A mask that
    // holds pixels stays white, so resizing it keeps it white.
    for (TImage *layer : {BgImage, TextureImage, SurfaceImage, TextCreateImage, TitleImage}) {
        ImageBox &box = layer->box();
        const bool holdsPixels = layer == BgImage || layer == TitleImage ||
                                 (layer == TextCreateImage && !box.picture.isEmpty());
        if (holdsPixels) {
            SetImageSize(box, w, h);
        } else {
            box.width = w;
            box.height = h;
        }
        layer->syncGeometry();
    }
    pictureLayers_->resize(w, h);
}

void TLetrafex::prepareSurfaceLayers()
{
    // Only an item whose slot holds a surface picture is filled: the items are loaded from
    // their slots, never from the controls' surface. The mask must then be white and of
    // the background's size (the size the composition would give it); the surface layer
    // is the fill's scratch raster and takes each item's block size by itself.
    const bool fills = std::any_of(Items.surfaces.begin(), Items.surfaces.end(),
                                   [](const Raster &s) { return s.height() > 0; });
    ImageBox &mask = TextCreateImage->box(), &surface = SurfaceImage->box();
    if (!fills) {
        mask.picture = Raster();
        surface.picture = Raster();
        return;
    }
    if (mask.picture.isEmpty())
        mask.picture = Raster(BgImage->box().width, BgImage->box().height);
    if (surface.picture.isEmpty())
        surface.picture = Raster(1, 1);
}

void TLetrafex::InitPics()
{
    ClearSurface();
    PictureLayers layers = pictureLayers();
    ::InitPics(layers);
    for (TImage *layer : {BgImage, TextureImage, SurfaceImage, TextCreateImage, TitleImage})
        layer->syncGeometry();
}

void TLetrafex::RenderAll()
{
    const std::uint8_t remembered = CurrentItem;
    prepareSurfaceLayers();
    PictureLayers layers = pictureLayers();
    {
        GaugeUpdater gauge(ProgressGauge);
        ComposeItems(layers, Items, [this](int k) {
            CurrentItem = std::uint8_t(k);
            LoadItem();
            ItemAttributes a = gatherAttributes();
            if (drawsText(a.lines))
                drawnItems_[size_t(k)] = true;
            return a;
        }, gauge.reporter());
    }
    TitleImage->syncGeometry();
    updatePictureArea();
    CurrentItem = remembered;
    LoadItem();
    PreviewLabel->clear();
    PreviewLabel->adjustSize();
    PushUndoSnapshot();
    TitleImage->pictureChanged();
}

void TLetrafex::Text3DButtonClick(QAbstractButton *sender)
{
    finishFieldEdits();
    CommitLiveEdits();
    CurrentType = std::uint8_t(sender->property("tag").toInt());
    StoreItem();
    if (Undo->isEmpty() || Undo->index() < Undo->lastIndex())
        PushUndoSnapshot();
    RenderAll();
}

namespace {
// The item's position lies this far up and to the left of the mouse.
constexpr int MouseOffsetX = 3, MouseOffsetY = 5;
} // namespace

void TLetrafex::placePreview()
{
    PreviewLabel->move(frontFacePosition(positionValue(XEdit->acceptedText()), positionValue(YEdit->acceptedText()),
                                         directionCode(), FontDepth->value()));
}

void TLetrafex::TitleImageMouseDown(int mx, int my)
{
    XEdit->setText(QString::number(mx - MouseOffsetX));
    YEdit->setText(QString::number(my - MouseOffsetY));
    PreviewLabel->setText(TextMemo->toPlainText());
    QFont f = PreviewLabel->font();
    f.setFamily(TextMemo->font().family());
    copyFontStyle(TextMemo->font(), f);
    PreviewLabel->setFont(f);
    PreviewLabel->adjustSize();
    placePreview();
}

void TLetrafex::TitleImageMouseMove(int mx, int my, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    if (buttons != Qt::LeftButton || (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return;
    PreviewLabel->setVisible(true);
    XEdit->setText(QString::number(mx - MouseOffsetX));
    YEdit->setText(QString::number(my - MouseOffsetY));
    placePreview();
}

void TLetrafex::PreviewLabelMouseDown(int x, int y)
{
    TitleImageMouseDown(PreviewLabel->x() + x, PreviewLabel->y() + y);
}

void TLetrafex::PreviewLabelMouseMove(int x, int y, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    TitleImageMouseMove(PreviewLabel->x() + x, PreviewLabel->y() + y, buttons, modifiers);
}

void TLetrafex::PushUndoSnapshot()
{
    Undo->push(TitleImage->picture(), TitleImage->box().width, TitleImage->box().height);
}

void TLetrafex::UndoButtonClick()
{
    CommitLiveEdits();
    Undo->undo(TitleImage->picture());
    TitleImage->pictureChanged();
}

void TLetrafex::RedoButtonClick()
{
    CommitLiveEdits();
    Undo->redo(TitleImage->picture());
    TitleImage->pictureChanged();
}
