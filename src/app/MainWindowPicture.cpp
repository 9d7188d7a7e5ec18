// The main window's picture: layers, composition, text placement, undo and redo.
#include "app/MainWindow.h"

#include "compose/TextPainter.h"
#include "ui/Controls.h"
#include "ui/GaugeUpdater.h"
#include "ui/ImageWidget.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>


void TLetrafex::syncLayers()
{
    for (TImage *layer : {BgImage, TextureImage, SurfaceImage, TextCreateImage, TitleImage})
        layer->syncGeometry();
    // Clearing and resizing change the picture shown, and so what Undo and Redo would do.
    updateUndoButtons();
}

void TLetrafex::ResizeLayers(int w, int h)
{
    composition_.resize(w, h);
    syncLayers();
    pictureLayers_->resize(w, h);
}

void TLetrafex::InitPics()
{
    ClearSurface();
    PictureLayers layers = composition_.layers();
    ::InitPics(layers);
    syncLayers();
}

void TLetrafex::RenderAll()
{
    // Each row is loaded into values as loading it into the controls would; the controls
    // then end as loading every row in turn and the current one last leaves them.
    ItemAttributes editor = gatherAttributes();
    {
        GaugeUpdater gauge(ProgressGauge);
        composition_.render(editor, gauge.reporter());
    }
    showRendered(editor);
}

void TLetrafex::showRendered(const ItemAttributes &editor)
{
    TitleImage->syncGeometry();
    updatePictureArea();
    showItem(editor);
    PreviewLabel->clear();
    PreviewLabel->fitText();
    TitleImage->pictureChanged();
}

void TLetrafex::Text3DButtonClick(QAbstractButton *sender)
{
    finishFieldEdits();
    CommitLiveEdits();
    ItemAttributes editor = gatherAttributes();
    {
        GaugeUpdater gauge(ProgressGauge);
        composition_.drawItemInStyle(editor, std::uint8_t(sender->property("tag").toInt()), gauge.reporter());
    }
    showRendered(editor);
}

namespace {
// The item's position lies this far up and to the left of the mouse.
constexpr int MouseOffsetX = 3, MouseOffsetY = 5;
} // namespace

void TLetrafex::placePreview()
{
    PreviewLabel->moveText(frontFacePosition(positionValue(XEdit->acceptedText()), positionValue(YEdit->acceptedText()),
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
    PreviewLabel->fitText();
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

void TLetrafex::PushUndoSnapshot() { composition_.pushSnapshot(); }

void TLetrafex::UndoButtonClick()
{
    CommitLiveEdits();
    composition_.undoStep();
    TitleImage->pictureChanged();
}

void TLetrafex::RedoButtonClick()
{
    CommitLiveEdits();
    composition_.redoStep();
    TitleImage->pictureChanged();
}
