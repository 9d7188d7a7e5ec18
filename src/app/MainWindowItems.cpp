// The main window's text items: the editing controls, store and load, and their handlers.
#include "app/MainWindow.h"

#include "compose/TextPainter.h"
#include "core/Canvas.h"
#include "ui/Controls.h"
#include "ui/DialogService.h"
#include "ui/ImageWidget.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>

void TLetrafex::connectHandlers()
{
    connect(SelectionView, &QListWidget::itemSelectionChanged, this, &TLetrafex::SelectionViewClick);
    connect(OKButton, &QPushButton::clicked, this, &TLetrafex::OKButtonClick);
    connect(TextNoBox, &TRadioGroup::clicked, this, [this](int) { TextNoBoxClick(); });
    connect(TextMemo, &QTextEdit::textChanged, this, &TLetrafex::TextMemoChange);
    connect(FontSizeEdit, &QSpinBox::valueChanged, this, &TLetrafex::FontSizeEditChange);
    // The preview follows everything that moves the front face.
    connect(FontDepth, &QSpinBox::valueChanged, this, &TLetrafex::placePreview);
    connect(directionGroup, &QButtonGroup::idClicked, this, &TLetrafex::placePreview);
    connect(XEdit, &QLineEdit::textChanged, this, &TLetrafex::placePreview);
    connect(YEdit, &QLineEdit::textChanged, this, &TLetrafex::placePreview);
    connect(FontButton, &QToolButton::clicked, this, &TLetrafex::FontButtonClick);
    connect(BoldButton, &QToolButton::clicked, this, &TLetrafex::BoldButtonClick);
    connect(ItalicButton, &QToolButton::clicked, this, &TLetrafex::ItalicButtonClick);
    connect(UnderLineButton, &QToolButton::clicked, this, &TLetrafex::UnderLineButtonClick);
    connect(AlignLeftButton, &QToolButton::clicked, this, &TLetrafex::AlignLeftButtonClick);
    connect(AlignCenterButton, &QToolButton::clicked, this, &TLetrafex::AlignCenterButtonClick);
    connect(AlignRightButton, &QToolButton::clicked, this, &TLetrafex::AlignRightButtonClick);
    connect(StartColor, &TShape::pressed, this, [this] { StartColorMouseDown(StartColor); });
    connect(EndColor, &TShape::pressed, this, [this] { StartColorMouseDown(EndColor); });
    // One handler serves the three style buttons; each button's tag is its style.
    for (QToolButton *b : {Text3dButton, TextShadowButton, TextFlatButton})
        connect(b, &QToolButton::clicked, this, [this, b] { Text3DButtonClick(b); });
    connect(TitleImage, &TImage::mousePressed, this,
            [this](QMouseEvent *e) { TitleImageMouseDown(int(e->position().x()), int(e->position().y())); });
    connect(TitleImage, &TImage::mouseMoved, this, [this](QMouseEvent *e) {
        TitleImageMouseMove(int(e->position().x()), int(e->position().y()), e->buttons(), e->modifiers());
    });
    connect(PreviewLabel, &TPreviewLabel::mousePressed, this,
            [this](QMouseEvent *e) { PreviewLabelMouseDown(int(e->position().x()), int(e->position().y())); });
    connect(PreviewLabel, &TPreviewLabel::mouseMoved, this, [this](QMouseEvent *e) {
        PreviewLabelMouseMove(int(e->position().x()), int(e->position().y()), e->buttons(), e->modifiers());
    });
}

QStringList TLetrafex::memoLines() const { return editorLines(TextMemo->toPlainText()); }

void TLetrafex::setMemoLines(const QStringList &lines) { TextMemo->setPlainText(editorText(lines)); }

int TLetrafex::styleSetOfMemo() const { return fontStyleSet(TextMemo->font()); }

void TLetrafex::setStyleSetOfMemo(int styleSet)
{
    QFont f = TextMemo->font();
    setFontStyleSet(f, styleSet);
    TextMemo->setFont(f);
    BoldButton->setChecked(styleSet & StyleBold);
    ItalicButton->setChecked(styleSet & StyleItalic);
    UnderLineButton->setChecked(styleSet & StyleUnderline);
}

int TLetrafex::directionCode() const
{
    const QToolButton *order[] = {TextUpLeftButton, TextUpButton, TextUpRightButton, TextDownLeftButton, TextDownButton};
    for (int i = 0; i < 5; ++i)
        if (order[i]->isChecked())
            return i + 1;
    return DirDownRight;
}

void TLetrafex::setDirectionCode(int code)
{
    if (QAbstractButton *b = directionGroup->button(code))
        b->setChecked(true);
}

int TLetrafex::alignmentCode() const
{
    const Qt::Alignment a = TextMemo->document()->defaultTextOption().alignment();
    if (a & Qt::AlignHCenter)
        return AlignCenterCode;
    if (a & Qt::AlignRight)
        return AlignRightCode;
    return AlignLeftCode;
}

void TLetrafex::setAlignmentCode(int code)
{
    Qt::Alignment a = Qt::AlignLeft;
    QToolButton *button = AlignLeftButton;
    if (code == AlignCenterCode) {
        a = Qt::AlignHCenter;
        button = AlignCenterButton;
    } else if (code == AlignRightCode) {
        a = Qt::AlignRight;
        button = AlignRightButton;
    } else if (code != AlignLeftCode) {
        return;
    }
    QTextOption option = TextMemo->document()->defaultTextOption();
    option.setAlignment(a);
    TextMemo->document()->setDefaultTextOption(option);
    // Existing paragraphs take the alignment too.
    QTextCursor cursor(TextMemo->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(a);
    const bool blocked = TextMemo->blockSignals(true);
    cursor.mergeBlockFormat(format);
    TextMemo->blockSignals(blocked);
    button->setChecked(true);
    PreviewLabel->setAlignment(a | Qt::AlignTop);
    PreviewLabel->fitText();
}

ItemAttributes TLetrafex::gatherAttributes() const
{
    ItemAttributes a;
    a.lines = memoLines();
    a.fontName = TextMemo->font().family();
    a.styleSet = styleSetOfMemo();
    a.fontSize = FontSizeEdit->value();
    a.depth = FontDepth->value();
    a.startColor = StartColor->brushColor();
    a.endColor = EndColor->brushColor();
    a.xText = XEdit->acceptedText();
    a.yText = YEdit->acceptedText();
    a.direction = directionCode();
    a.alignment = alignmentCode();
    a.surface = SurfaceIconImage->picture();
    return a;
}

void TLetrafex::applyAttributes(const ItemAttributes &a, bool loadSurface)
{
    setMemoLines(a.lines);
    QFont f = TextMemo->font();
    f.setFamily(a.fontName);
    TextMemo->setFont(f);
    FontSizeEdit->setValue(a.fontSize);
    FontDepth->setValue(a.depth);
    StartColor->setBrushColor(a.startColor);
    EndColor->setBrushColor(a.endColor);
    XEdit->setText(a.xText);
    YEdit->setText(a.yText);
    setStyleSetOfMemo(a.styleSet);
    if (loadSurface) {
        ClearSurface();
        SurfaceIconImage->picture() = a.surface;
        SurfaceIconImage->pictureChanged();
        if (SurfaceIconImage->picture().height() > 0)
            SurfaceDeleteAction->setEnabled(true);
    }
    setDirectionCode(a.direction);
    setAlignmentCode(a.alignment);
}

void TLetrafex::CreateItems() { composition_.items().CreateItems(); }

void TLetrafex::StoreItem() { composition_.storeItem(gatherAttributes()); }

void TLetrafex::LoadItem() { showItem(gatherAttributes()); }

void TLetrafex::showItem(ItemAttributes a)
{
    // Filling the controls from a row is no edit of the item.
    const bool wasLoading = loadingItem_;
    loadingItem_ = true;
    struct Restore { bool &flag; bool value; ~Restore() { flag = value; } } restore{loadingItem_, wasLoading};
    composition_.loadItem(a);
    applyAttributes(a, true);
    const std::uint8_t type = composition_.currentType();
    if (ShownForm && ShownForm->isVisible() && !TextMemo->toPlainText().isEmpty()) {
        if (type == Style3D) Text3dButton->setFocus();
        else if (type == StyleShadow) TextShadowButton->setFocus();
        else if (type == StyleFlat) TextFlatButton->setFocus();
    }
    UpdateStyleButtons();
}

void TLetrafex::UpdateStyleButtons()
{
    const bool any = !TextMemo->toPlainText().isEmpty();
    for (QToolButton *b : {Text3dButton, TextShadowButton, TextFlatButton})
        b->setEnabled(any);
}

void TLetrafex::updateUndoButtons()
{
    if (!UndoAction || !RedoAction)
        return;
    const Raster &shown = composition_.picture().picture;
    UndoAction->setEnabled(composition_.undo().canUndo(shown));
    RedoAction->setEnabled(composition_.undo().canRedo(shown));
}

void TLetrafex::ClearSurface()
{
    SurfaceIconImage->picture() = Raster();
    SurfaceIconImage->pictureChanged();
}

void TLetrafex::finishFieldEdits()
{
    FontSizeEdit->interpretText();
    FontDepth->interpretText();
    XEdit->finishEdit();
    YEdit->finishEdit();
}

void TLetrafex::TextNoBoxClick()
{
    finishFieldEdits();
    CommitLiveEdits();
    StoreItem();
    composition_.setCurrentItem(qMax(0, TextNoBox->itemIndex()));
    LoadItem();
    TextMemoChange();
    PreviewLabel->clear();
    PreviewLabel->fitText();
    placePreview();
}

void TLetrafex::TextMemoChange()
{
    PreviewLabel->setText(TextMemo->toPlainText());
    QPalette pal = PreviewLabel->palette();
    pal.setColor(QPalette::WindowText, toQColor(resolveColor(EndColor->brushColor())));
    PreviewLabel->setPalette(pal);
    QFont f = PreviewLabel->font();
    f.setPixelSize(fontPixelSize(FontSizeEdit->value()));
    f.setFamily(TextMemo->font().family());
    PreviewLabel->setFont(f);
    PreviewLabel->fitText();
    UpdateStyleButtons();
}

void TLetrafex::FontSizeEditChange()
{
    QFont f = PreviewLabel->font();
    f.setPixelSize(fontPixelSize(FontSizeEdit->value()));
    PreviewLabel->setFont(f);
    PreviewLabel->fitText();
}

void TLetrafex::FontButtonClick()
{
    QFont font = TextMemo->font();
    font.setPointSize(FontSizeEdit->value());
    if (!Dialogs().chooseFont(font, this))
        return;
    QFont editor = TextMemo->font();
    editor.setFamily(font.family());
    copyFontStyle(font, editor);
    TextMemo->setFont(editor);
    setStyleSetOfMemo(styleSetOfMemo());
    QFont preview = font;
    preview.setPixelSize(fontPixelSize(font.pointSize() > 0 ? font.pointSize() : FontSizeEdit->value()));
    PreviewLabel->setFont(preview);
    QPalette pal = PreviewLabel->palette();
    pal.setColor(QPalette::WindowText, toQColor(resolveColor(StartColor->brushColor())));
    PreviewLabel->setPalette(pal);
    PreviewLabel->fitText();
    if (font.pointSize() > 0)
        FontSizeEdit->setValue(clampFontSize(font.pointSize()));
}

namespace {
void copyStyleSet(const QFont &from, TPreviewLabel *to)
{
    QFont f = to->font();
    copyFontStyle(from, f);
    to->setFont(f);
    to->fitText();
}
} // namespace

void TLetrafex::BoldButtonClick()
{
    setStyleSetOfMemo(styleSetOfMemo() ^ StyleBold);
    copyStyleSet(TextMemo->font(), PreviewLabel);
}

void TLetrafex::ItalicButtonClick()
{
    setStyleSetOfMemo(styleSetOfMemo() ^ StyleItalic);
    copyStyleSet(TextMemo->font(), PreviewLabel);
}

void TLetrafex::UnderLineButtonClick()
{
    setStyleSetOfMemo(styleSetOfMemo() ^ StyleUnderline);
    copyStyleSet(TextMemo->font(), PreviewLabel);
}

void TLetrafex::AlignLeftButtonClick() { setAlignmentCode(AlignLeftCode); }
void TLetrafex::AlignCenterButtonClick() { setAlignmentCode(AlignCenterCode); }
void TLetrafex::AlignRightButtonClick() { setAlignmentCode(AlignRightCode); }

void TLetrafex::StartColorMouseDown(TShape *shape)
{
    QColor color = toQColor(resolveColor(shape->brushColor()));
    if (Dialogs().chooseColor(color, this))
        shape->setBrushColor(fromQColor(color));
}
