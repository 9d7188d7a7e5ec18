// Redrawing while editing: with general option 3 on, a change of a drawn item's text or
// attributes redraws the picture at once, at most once a frame, and a burst of changes is
// one undo step.
#include "app/MainWindow.h"

#include "compose/TextPainter.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "program/ProgramOptions.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

namespace {
// One screen frame: edits within it share one redraw.
constexpr int FrameMs = 16;
// A pause this long ends a burst of edits and makes it one undo step.
constexpr int PauseMs = 1000;
} // namespace

void TLetrafex::connectLiveRedraw()
{
    liveTimer_ = new QTimer(this);
    liveTimer_->setSingleShot(true);
    liveTimer_->setInterval(FrameMs);
    connect(liveTimer_, &QTimer::timeout, this, &TLetrafex::LiveRedrawTimer);
    pauseTimer_ = new QTimer(this);
    pauseTimer_->setSingleShot(true);
    pauseTimer_->setInterval(PauseMs);
    connect(pauseTimer_, &QTimer::timeout, this, &TLetrafex::LiveEditPause);

    // Connected after the controls' own handlers, so an edit is seen once it has been made.
    connect(TextMemo, &QTextEdit::textChanged, this, &TLetrafex::ItemEdited);
    connect(FontSizeEdit, &QSpinBox::valueChanged, this, &TLetrafex::ItemEdited);
    connect(FontDepth, &QSpinBox::valueChanged, this, &TLetrafex::ItemEdited);
    connect(XEdit, &QLineEdit::textChanged, this, &TLetrafex::ItemEdited);
    connect(YEdit, &QLineEdit::textChanged, this, &TLetrafex::ItemEdited);
    connect(directionGroup, &QButtonGroup::idClicked, this, &TLetrafex::ItemEdited);
    connect(alignGroup, &QButtonGroup::idClicked, this, &TLetrafex::ItemEdited);
    for (QToolButton *b : {FontButton, BoldButton, ItalicButton, UnderLineButton, SurfaceOpenButton, SurfaceDeleteButton})
        connect(b, &QToolButton::clicked, this, &TLetrafex::ItemEdited);
    for (TShape *shape : {StartColor, EndColor})
        connect(shape, &TShape::pressed, this, &TLetrafex::ItemEdited);
}

void TLetrafex::stopLiveRedraw()
{
    liveTimer_->stop();
    pauseTimer_->stop();
    liveBurst_ = false;
}

void TLetrafex::ItemEdited()
{
    // Loading an item into the controls is no edit; an item never drawn waits for its
    // first style click.
    if (!ProgramOptions.redrawWhileEditing || loadingItem_ || !composition_.itemDrawn(composition_.currentItem()))
        return;
    // The picture itself shows the edit: the preview of the text over it would only
    // stand beside the real thing.
    PreviewLabel->clear();
    PreviewLabel->fitText();
    if (!liveTimer_->isActive())
        liveTimer_->start();
}

void TLetrafex::LiveRedrawTimer()
{
    liveTimer_->stop();
    if (!liveBurst_) {
        // As a style click does: after undoing, the picture shown is kept as a step of its own.
        composition_.keepShownPictureForUndo();
        liveBurst_ = true;
    }
    RedrawLive();
    pauseTimer_->start();
}

void TLetrafex::LiveEditPause() { CommitLiveEdits(); }

void TLetrafex::CommitLiveEdits()
{
    if (liveTimer_ && liveTimer_->isActive())
        LiveRedrawTimer();
    if (pauseTimer_)
        pauseTimer_->stop();
    if (!liveBurst_)
        return;
    liveBurst_ = false;
    PushUndoSnapshot();
}

void TLetrafex::RedrawLive()
{
    StoreItem();
    // The items are loaded into values of their own, starting from what the controls hold,
    // exactly as loading them into the controls would; the controls (and the caret in the
    // text being typed) stay untouched.
    composition_.redraw(gatherAttributes());
    TitleImage->syncGeometry();
    updatePictureArea();
    TitleImage->pictureChanged();
}
