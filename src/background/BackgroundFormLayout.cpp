// The background page's controls: the "Background" group with the picture and its four
// buttons, and the "Background Settings" group with the gradient and texture controls.
#include "background/BackgroundForm.h"

#include "compose/GradientPainters.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollArea>
#include <QToolButton>

static void initBackgroundIcons() { Q_INIT_RESOURCE(icons); }

namespace {

constexpr int SettingsHeight = 165;
constexpr int ButtonColumnWidth = 41;
const int KindColumns[10] = {0, 1, 0, 1, 2, 2, 3, 3, 4, 4}; // kinds 1, 2, 5, 7, 9 above
const int KindRows[10] = {0, 0, 1, 1, 0, 1, 0, 1, 0, 1};    // kinds 3, 4, 6, 8, 10 below

QToolButton *toolButton(QWidget *parent, const char *name, const char *iconName, const char *hint, const QRect &geometry)
{
    QToolButton *b = namedToolButton(parent, name, iconName, hint);
    b->setGeometry(geometry);
    return b;
}

// A kind button's glyph: the kind's own painter on a small picture.
QIcon kindGlyph(int kind)
{
    ImageBox box(QStringLiteral("Glyph"));
    SetImageSize(box, 120, 120);
    CanvasTools tools;
    PaintGradient(kind, box, tools, Colors::clAqua, Colors::clBlue);
    return QIcon(QPixmap::fromImage(box.picture.image().scaled(33, 33, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

} // namespace

void TBackgroundForm::buildLayout()
{
    initBackgroundIcons();
    BackgroundBox = namedGroupBox(this, "BackgroundBox", "Background");
    sbxBgPicture = new QScrollArea(BackgroundBox);
    sbxBgPicture->setObjectName(QStringLiteral("sbxBgPicture"));
    sbxBgPicture->setFrameShape(QFrame::NoFrame); // its outer size is the picture's size
    sbxBgPicture->setWidgetResizable(false);
    BackImage = new TImage(QStringLiteral("BackImage"));
    sbxBgPicture->setWidget(BackImage);
    BgButtonPanel = new QWidget(BackgroundBox);
    BgButtonPanel->setObjectName(QStringLiteral("BgButtonPanel"));
    BgButtonPanel->resize(ButtonColumnWidth, 4 * 33 + 3 * 4);
    BgAddButton = toolButton(BgButtonPanel, "BgAddButton", "paste", "Add to picture", {4, 0, 33, 33});
    BgLoadButton = toolButton(BgButtonPanel, "BgLoadButton", "open", "Open picture", {4, 37, 33, 33});
    BgClearButton = toolButton(BgButtonPanel, "BgClearButton", "clear", "Clear background image", {4, 74, 33, 33});
    btnResizeImage = toolButton(BgButtonPanel, "btnResizeImage", "resize", "Resize Image", {4, 111, 33, 33});

    BgSettingsBox = namedGroupBox(this, "BgSettingsBox", "Background Settings");
    BgSettingsPanel = new QWidget(BgSettingsBox);
    BgSettingsPanel->setObjectName(QStringLiteral("BgSettingsPanel"));
    BgSettingsPanel->resize(494, 140);

    GradientBox = namedGroupBox(BgSettingsPanel, "GradientBox", "Gradient", {0, 0, 318, 140});
    StartColorBox = namedGroupBox(GradientBox, "StartColorBox", "Start color", {8, 16, 73, 56});
    BgStartColor = new TShape(QStringLiteral("BgStartColor"), StartColorBox);
    BgStartColor->setGeometry(8, 20, 57, 26);
    BgStartColor->setBrushColor(Colors::clAqua);
    BgStartColor->setToolTip(QStringLiteral("Click to change"));
    EndColorBox = namedGroupBox(GradientBox, "EndColorBox", "End color", {8, 76, 73, 56});
    BgEndColor = new TShape(QStringLiteral("BgEndColor"), EndColorBox);
    BgEndColor->setGeometry(8, 20, 57, 26);
    BgEndColor->setBrushColor(Colors::clBlue);
    BgEndColor->setToolTip(QStringLiteral("Click to change"));
    TypeBox = namedGroupBox(GradientBox, "TypeBox", "Type", {88, 16, 222, 116});
    typeGroup = new QButtonGroup(this);
    typeGroup->setExclusive(true);
    for (int k = 1; k <= 10; ++k) {
        const QByteArray name = "BgType" + QByteArray::number(k) + "Button";
        QToolButton *b = toolButton(TypeBox, name.constData(), nullptr, k == 1 ? "Create gradient" : nullptr,
                                    {7 + 42 * KindColumns[k - 1], 18 + 43 * KindRows[k - 1], 41, 41});
        b->setIcon(kindGlyph(k));
        b->setIconSize(QSize(33, 33));
        b->setCheckable(true);
        typeGroup->addButton(b, k);
        BgTypeButtons[k - 1] = b;
    }
    BgTypeButtons[0]->setChecked(true);

    FavouriteBox = namedGroupBox(BgSettingsPanel, "FavouriteBox", "Favourite Textures", {324, 0, 170, 140});
    TextureIconImage = new TImage(QStringLiteral("TextureIconImage"), FavouriteBox);
    TextureIconImage->setGeometry(8, 20, 89, 97);
    // The display size, also before the page is first laid out: a texture loaded into
    // the preview becomes a tile of this size.
    TextureIconImage->box().width = 89;
    TextureIconImage->box().height = 97;
    TextureIconImage->setStretch(true);
    TextureIconImage->setAutoFillBackground(true);
    TextureIconImage->setBackgroundRole(QPalette::Base); // an empty preview still shows its place
    TextureImage = new TImage(QStringLiteral("TextureImage"), FavouriteBox);
    TextureImage->setGeometry(40, 32, 89, 97);
    TextureImage->hide();
    textureGroup = new QButtonGroup(this);
    textureGroup->setExclusive(true);
    for (int n = 1; n <= FavouriteSlotCount; ++n) {
        const QByteArray name = "Texture" + QByteArray::number(n) + "Button";
        QToolButton *b = toolButton(FavouriteBox, name.constData(), nullptr, nullptr, {101, 20 + 19 * (n - 1), 21, 19});
        b->setText(QString::number(n));
        b->setCheckable(true);
        textureGroup->addButton(b, n); // the id is the button's slot number
        TextureButtons[n - 1] = b;
    }
    TextureButtons[0]->setChecked(true);
    TextureOpenButton = toolButton(FavouriteBox, "TextureOpenButton", "surface_open", "Open picture", {129, 20, 33, 29});
    TextureDeleteButton = toolButton(FavouriteBox, "TextureDeleteButton", "surface_delete", "Empty picture", {129, 54, 33, 29});
    TextureAddButton = toolButton(FavouriteBox, "TextureAddButton", "page_background", "Add to background picture",
                                  {129, 88, 33, 29});
    TextureDeleteButton->setEnabled(false);
    TextureAddButton->setEnabled(false);
}

void TBackgroundForm::connectHandlers()
{
    connect(typeGroup, &QButtonGroup::idClicked, this, [this](int) { runGuarded(this, [this] { BgType1ButtonClick(); }); });
    connect(textureGroup, &QButtonGroup::idClicked, this, &TBackgroundForm::Texture1ButtonClick);
    connect(BgStartColor, &TShape::pressed, this, [this] { BgStartColorMouseDown(BgStartColor); });
    connect(BgEndColor, &TShape::pressed, this, [this] { BgEndColorMouseDown(BgEndColor); });
    const QList<QPair<QToolButton *, void (TBackgroundForm::*)()>> commands{
        {BgAddButton, &TBackgroundForm::BgAddButtonClick},
        {BgLoadButton, &TBackgroundForm::BgLoadButtonClick},
        {BgClearButton, &TBackgroundForm::BgClearButtonClick},
        {btnResizeImage, &TBackgroundForm::btnResizeImageClick},
        {TextureOpenButton, &TBackgroundForm::TextureOpenButtonClick},
        {TextureDeleteButton, &TBackgroundForm::TextureDeleteButtonClick},
        {TextureAddButton, &TBackgroundForm::TextureAddButtonClick}};
    for (const auto &[button, handler] : commands)
        connect(button, &QToolButton::clicked, this, [this, handler = handler] { runGuarded(this, [this, handler] { (this->*handler)(); }); });
}

void TBackgroundForm::FormResize()
{
    // The picture follows the control's display size (they differ only while a picture
    // is shown at its original size).
    BackImage->picture().setHeight(BackImage->box().height);
    BackImage->picture().setWidth(BackImage->box().width);
    const int w = width(), h = height();
    BgSettingsBox->setGeometry(0, h - SettingsHeight, w, SettingsHeight);
    BackgroundBox->setGeometry(0, 0, w, std::max(0, h - SettingsHeight));
    BgSettingsPanel->move(w / 2 - BgSettingsPanel->width() / 2, 18);
    const int bw = BackgroundBox->width(), bh = BackgroundBox->height();
    sbxBgPicture->setGeometry(8, 20, std::max(0, bw - 16 - ButtonColumnWidth - 4), std::max(0, bh - 28));
    BgButtonPanel->move(bw - 8 - ButtonColumnWidth, bh / 2 - BgButtonPanel->height() / 2);
}
