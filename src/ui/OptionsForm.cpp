#include "ui/OptionsForm.h"

#include "ui/Controls.h"
#include "ui/DialogService.h"
#include "program/Language.h"
#include "program/ProgramOptions.h"
#include "ui/Translate.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>

namespace {
TShape *colorShape(QWidget *parent, const char *name, TColor color, const QRect &geometry)
{
    auto *s = new TShape(QLatin1String(name), parent);
    s->setBrushColor(color);
    s->setGeometry(geometry);
    return s;
}
} // namespace

TOptionsForm::TOptionsForm(QWidget *parent) : TPageForm(QStringLiteral("OptionsForm"), QStringLiteral("Options"), parent)
{
    SettingsBox = namedGroupBox(this, "SettingsBox", "Settings", {0, 0, 345, 261});

    GenOptionsBox = namedGroupBox(SettingsBox, "GenOptionsBox", "General options", {8, 16, 329, 76});
    GenOptListBox = new TCheckListBox(QStringLiteral("GenOptListBox"), GenOptionsBox);
    GenOptListBox->setGeometry(8, 18, 313, 52);
    GenOptListBox->setItems({QStringLiteral("Add background to picture automatically"),
                             QStringLiteral("Do not show exit dialog"), QStringLiteral("Redraw while editing")});

    TextBoxPosBox = new TRadioGroup(QStringLiteral("TextBoxPosBox"), QStringLiteral("Menu bar position"), SettingsBox);
    TextBoxPosBox->setGeometry(8, 98, 161, 64);
    TextBoxPosBox->setItems({QStringLiteral("Left"), QStringLiteral("Right")});

    WindowColorBox = namedGroupBox(SettingsBox, "WindowColorBox", "Window color", {176, 98, 161, 64});
    WindowColor = colorShape(WindowColorBox, "WindowColor", Colors::clBtnFace, {12, 24, 137, 26});
    WindowColor->setToolTip(QStringLiteral("Click to change"));

    MessagesBox = namedGroupBox(SettingsBox, "MessagesBox", "Messages", {8, 168, 161, 85});
    MStartLabel = new QLabel(QStringLiteral("Start color:"), MessagesBox);
    MStartLabel->setObjectName(QStringLiteral("MStartLabel"));
    MStartLabel->setGeometry(10, 22, 72, 24);
    MStartColor = colorShape(MessagesBox, "MStartColor", Colors::clYellow, {86, 22, 63, 24});
    MEndLabel = new QLabel(QStringLiteral("End color:"), MessagesBox);
    MEndLabel->setObjectName(QStringLiteral("MEndLabel"));
    MEndLabel->setGeometry(10, 52, 72, 24);
    MEndColor = colorShape(MessagesBox, "MEndColor", Colors::clFuchsia, {86, 52, 63, 24});

    LanguageBox = namedGroupBox(SettingsBox, "LanguageBox", "Language", {176, 168, 161, 85});
    LngListBox = new QListWidget(LanguageBox);
    LngListBox->setObjectName(QStringLiteral("LngListBox"));
    LngListBox->setGeometry(8, 18, 145, 59);
    LngListBox->setToolTip(QStringLiteral("Select language"));
    LngListBox->setSelectionMode(QAbstractItemView::SingleSelection);

    MStartColor->setToolTip(WindowColor->toolTip());
    MEndColor->setToolTip(WindowColor->toolTip());
    for (TShape *shape : {WindowColor, MStartColor, MEndColor})
        connect(shape, &TShape::pressed, this, [this, shape] { WindowColorMouseDown(shape); });
    connect(LngListBox, &QListWidget::itemSelectionChanged, this, &TOptionsForm::LngListBoxClick);
    markDesignedControls(this);
}

void TOptionsForm::FormShow()
{
    TranslateForm(this);
    GenOptListBox->setChecked(0, ProgramOptions.addBackgroundAutomatically);
    GenOptListBox->setChecked(1, ProgramOptions.noExitDialog);
    GenOptListBox->setChecked(2, ProgramOptions.redrawWhileEditing);
    TextBoxPosBox->setItemIndex(ProgramOptions.menuPosition);
    WindowColor->setBrushColor(ProgramOptions.windowColor);
    MStartColor->setBrushColor(ProgramOptions.messageStartColor);
    MEndColor->setBrushColor(ProgramOptions.messageEndColor);
    // Filling the list is not the user's choice of a language.
    const QSignalBlocker blocker(LngListBox);
    LngListBox->clear();
    LngListBox->addItems(LanguageList(true));
    for (int i = 0; i < LngListBox->count(); ++i) {
        if (LngListBox->item(i)->text().compare(ProgramOptions.languageFile, Qt::CaseInsensitive) == 0) {
            LngListBox->setCurrentRow(i);
            break;
        }
    }
}

void TOptionsForm::WindowColorMouseDown(TShape *shape)
{
    QColor color = toQColor(resolveColor(shape->brushColor()));
    if (Dialogs().chooseColor(color, this))
        shape->setBrushColor(fromQColor(color));
}

void TOptionsForm::LngListBoxClick()
{
    const QList<QListWidgetItem *> selected = LngListBox->selectedItems();
    if (selected.isEmpty())
        return;
    LanguageFilePath = languageFilePathFor(selected.first()->text());
    TranslateForm(this);
}

void TOptionsForm::StoreOptions()
{
    ProgramOptions.addBackgroundAutomatically = GenOptListBox->checked(0);
    ProgramOptions.noExitDialog = GenOptListBox->checked(1);
    ProgramOptions.redrawWhileEditing = GenOptListBox->checked(2);
    ProgramOptions.menuPosition = TextBoxPosBox->itemIndex() == 1 ? 1 : 0;
    ProgramOptions.windowColor = WindowColor->brushColor();
    ProgramOptions.messageStartColor = MStartColor->brushColor();
    ProgramOptions.messageEndColor = MEndColor->brushColor();
    const QList<QListWidgetItem *> selected = LngListBox->selectedItems();
    if (!selected.isEmpty())
        ProgramOptions.languageFile = selected.first()->text();
}

void TOptionsForm::FormClose() { StoreOptions(); }

void TOptionsForm::FormResize()
{
    SettingsBox->move(width() / 2 - SettingsBox->width() / 2, height() / 2 - SettingsBox->height() / 2);
}

void TOptionsForm::hideEvent(QHideEvent *event)
{
    TPageForm::hideEvent(event);
    if (!event->spontaneous())
        StoreOptions();
}

void TOptionsForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    TPageForm::closeEvent(event);
}

void TOptionsForm::resizeEvent(QResizeEvent *event)
{
    TPageForm::resizeEvent(event);
    FormResize();
}
