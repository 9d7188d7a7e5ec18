// The main window's picture commands: open and save (pictures and projects), files
// dropped on the window, the clipboard, clearing, resizing, printing, and the surface
// buttons; with their keyboard shortcuts.
#include "app/MainWindow.h"

#include "app/MainWindowExport.h"
#include "compose/ProjectFile.h"
#include "core/CommaText.h"
#include "core/Errors.h"
#include "core/MessageText.h"
#include "imageio/PictureFiles.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "program/Language.h"
#include "ui/LoadPicture.h"
#include "ui/MessageDialogs.h"
#include "ui/PicturePrinter.h"
#include "ui/ResizeForm.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QAction>
#include <QTextEdit>
#include <QToolButton>

#include <functional>

namespace {
QString captionText(const char *key) { return LngText(QStringLiteral("Captions"), QLatin1String(key)); }

// The local files among dropped data, in the order they were dropped.
QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (data)
        for (const QUrl &url : data->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

// The shortcut text last added to a command's hint, taken off again before the current one
// is added.
const char *const ShortcutSuffixProperty = "letrafexShortcutSuffix";

// The page list's entry of the help page.
constexpr int HelpPage = 3;

// Gives a copy or paste key to focus when it is a text field of kind Field.
template <class Field>
bool clipboardKeyTo(QWidget *focus, bool copy)
{
    auto *field = qobject_cast<Field *>(focus);
    if (!field)
        return false;
    if (copy)
        field->copy();
    else if (!field->isReadOnly())
        field->paste();
    return true;
}

// Copy and paste keys belong to the text field that has the focus, if one does: it copies
// or pastes text, and the picture command does not run.
bool textFieldTakesClipboardKey(const QKeySequence &key)
{
    const bool copy = QKeySequence::keyBindings(QKeySequence::Copy).contains(key);
    if (!copy && !QKeySequence::keyBindings(QKeySequence::Paste).contains(key))
        return false;
    QWidget *focus = QApplication::focusWidget();
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(focus))
        focus = spin->findChild<QLineEdit *>();
    return clipboardKeyTo<QLineEdit>(focus, copy) || clipboardKeyTo<QTextEdit>(focus, copy) ||
           clipboardKeyTo<QPlainTextEdit>(focus, copy);
}

// A command's action: its shortcut runs it unless a text field with the focus takes the key.
class CommandAction : public QAction
{
public:
    using QAction::QAction;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::Shortcut && textFieldTakesClipboardKey(static_cast<QShortcutEvent *>(e)->key()))
            return true;
        return QAction::event(e);
    }
};
} // namespace

void TLetrafex::attachCommand(QToolButton *button, QAction *action, std::function<void()> handler)
{
    // The action starts with what the button was built with; from now on the button shows
    // the action's hint, icon and enabled state.
    action->setIcon(button->icon());
    action->setToolTip(button->toolTip());
    action->setEnabled(button->isEnabled());
    button->setDefaultAction(action);
    connect(action, &QAction::triggered, this, [this, handler] { runGuarded(this, handler); });
}

void TLetrafex::connectCommands()
{
    // The picture commands' keys belong to the text page: their actions hang on the picture
    // group, which is hidden on every other page, so there their keys do nothing.
    // handler: a member function, or a function taking the window.
    auto command = [this](QToolButton *button, auto handler, QList<QKeySequence> keys = {}) {
        auto *action = new CommandAction(button);
        action->setShortcuts(keys);
        attachCommand(button, action, [this, handler] { std::invoke(handler, *this); });
        if (!keys.isEmpty())
            PictureBox->addAction(action);
        return action;
    };
    command(PicLoadButton, &TLetrafex::PicLoadButtonClick, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    command(PicSaveButton, &TLetrafex::PicSaveButtonClick, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    UndoAction = command(UndoButton, &TLetrafex::UndoButtonClick, {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    RedoAction = command(RedoButton, &TLetrafex::RedoButtonClick,
            {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    command(SendClipboardButton, &TLetrafex::SendClipboardButtonClick, {QKeySequence(Qt::CTRL | Qt::Key_C)});
    command(GetClipboardButton, &TLetrafex::GetClipboardButtonClick, {QKeySequence(Qt::CTRL | Qt::Key_V)});
    command(PrintButton, &TLetrafex::PrintButtonClick, {QKeySequence(Qt::CTRL | Qt::Key_P)});
    command(PicDeleteButton, &TLetrafex::PicDeleteButtonClick);
    command(btnResizeImage, &TLetrafex::btnResizeImageClick);
    command(PicButtonPanel->findChild<QToolButton *>(QStringLiteral("ExportButton")), &ExportButtonClick,
            {QKeySequence(Qt::CTRL | Qt::Key_E)});
    command(SurfaceOpenButton, &TLetrafex::SurfaceOpenButtonClick);
    SurfaceDeleteAction = command(SurfaceDeleteButton, &TLetrafex::SurfaceDeleteButtonClick);

    // Keys of the whole window, on every page.
    auto *help = new QAction(this);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, [this] { SelectionView->setCurrentRow(HelpPage); });
    auto *exit = new QAction(this);
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, OKButton, &QPushButton::click);
    addActions({help, exit});
    setAcceptDrops(true);
}

void TLetrafex::showShortcutsInHints()
{
    // The language file translated the buttons' hints by the buttons' names; the actions
    // take them over, with the shortcut, and give them back to their buttons.
    for (QToolButton *button : findChildren<QToolButton *>()) {
        QAction *action = button->defaultAction();
        if (!action)
            continue;
        QString hint = button->toolTip();
        const QString previous = action->property(ShortcutSuffixProperty).toString();
        if (!previous.isEmpty() && hint.endsWith(previous))
            hint.chop(previous.size());
        // The platform's own text, in the language of the Qt translations loaded now.
        const QKeySequence keys = action->shortcut();
        const QString suffix =
            keys.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(keys.toString(QKeySequence::NativeText));
        action->setToolTip(hint + suffix);
        action->setProperty(ShortcutSuffixProperty, suffix);
    }
}

void TLetrafex::updatePictureArea()
{
    pictureLayers_->resize(qMax(TitleImage->width(), BgImage->width()), qMax(TitleImage->height(), BgImage->height()));
}

void TLetrafex::PicLoadButtonClick()
{
    const QStringList modes{captionText("Tiled"), captionText("Stretched"), captionText("Original")};
    const QString answer = ShowChoiceBox(messageText("Please select draw mode"), toCommaText(modes));
    const int mode = answer.isEmpty() ? -1 : int(modes.indexOf(answer));
    if (mode < 0)
        return;
    CommitLiveEdits();
    const PictureLoad load = LoadPictureFile(*TitleImage, mode, DroppedFile, *PictureOpenDialog, true);
    if (load == PictureLoad::Cancelled)
        return;
    if (pictureReaderFor(PictureOpenDialog->fileName) == ReaderProject) {
        // The project brings its own background: it is not replaced by the working
        // picture, which already holds the texts.
        LoadProject(PictureOpenDialog->fileName);
        return;
    }
    // A file that could not be read has been reported and left every layer as it was.
    if (load != PictureLoad::Loaded)
        return;
    composition_.backgroundFromPicture();
    BgImage->syncGeometry();
    BgImage->pictureChanged();
    updatePictureArea();
}

void TLetrafex::WMDropFiles(const QStringList &fileNames)
{
    if (fileNames.isEmpty())
        return;
    DroppedFile = true;
    PictureOpenDialog->fileName = fileNames.first();
    struct Reset { bool &flag; ~Reset() { flag = false; } } reset{DroppedFile};
    PicLoadButtonClick();
}

void TLetrafex::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TLetrafex::dropEvent(QDropEvent *event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    runGuarded(this, [this, files] { WMDropFiles(files); });
}

void TLetrafex::PicSaveButtonClick()
{
    QString name;
    int index = 0;
    // Declining to replace a file shows the dialog again, so another name can be chosen.
    do {
        name = PictureSaveDialog.fileName;
        index = PictureSaveDialog.filterIndex;
        if (!Dialogs().saveFile(name, pictureSaveFilter(captionText("Files")), index, this))
            return;
        PictureSaveDialog = {name, index};
        name = pictureSaveName(name, index);
    } while (!ConfirmReplaceFile(name));
    if (index == SaveFilter::SaveProject)
        SaveProject(name);
    else
        savePictureFile(name, index, TitleImage->picture());
}

namespace {
ProjectLayer layerRecord(const TImage &image)
{
    return ProjectLayer{image.x(), image.y(), image.box().width, image.box().height, image.toolTip(), image.picture()};
}

void applyLayerRecord(TImage &image, const ProjectLayer &layer)
{
    image.move(layer.left, layer.top);
    image.box().width = layer.width;
    image.box().height = layer.height;
    image.picture() = layer.picture;
    image.syncGeometry();
    image.pictureChanged();
}
} // namespace

void TLetrafex::SaveProject(const QString &fileName)
{
    Project project = composition_.project();
    project.title = layerRecord(*TitleImage);
    project.bg = layerRecord(*BgImage);
    project.bg.hint.clear();
    SaveProjectFile(fileName, project);
}

void TLetrafex::LoadProject(const QString &fileName)
{
    // Read whole first: a damaged file throws here and leaves the composition as it was.
    const Project project = LoadProjectFile(fileName);
    CommitLiveEdits();
    composition_.loadProject(project);
    applyLayerRecord(*TitleImage, project.title);
    applyLayerRecord(*BgImage, project.bg);
    LoadItem();
    PreviewLabel->clear();
    updatePictureArea();
}

void TLetrafex::SendClipboardButtonClick() { QGuiApplication::clipboard()->setImage(TitleImage->picture().toRgb32()); }

void TLetrafex::GetClipboardButtonClick()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    const QImage image = pictureFromMimeData(*data);
    if (image.isNull())
        return;
    if (!Raster::sizeAllowed(image.width(), image.height()))
        throw LetrafexError(Raster::sizeRefusal(image.width(), image.height()));
    // Transparent parts of a pasted picture show white, as on a fresh picture.
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, image);
    TitleImage->box().width = image.width();
    TitleImage->box().height = image.height();
    TitleImage->picture() = Raster::fromImage(opaque, 24);
    TitleImage->syncGeometry();
    TitleImage->pictureChanged();
    updatePictureArea();
}

void TLetrafex::PicDeleteButtonClick()
{
    if (!ShowMessageBox(messageText("Are you sure?"), QStringLiteral("c")))
        return;
    CommitLiveEdits();
    ClearSurface();
    composition_.clear();
    syncLayers();
    TextMemo->clear();
}

void TLetrafex::btnResizeImageClick()
{
    QSize size(TitleImage->picture().width(), TitleImage->picture().height());
    if (TResizeForm::askPictureSize(this, size))
        ResizeLayers(size.width(), size.height());
}

void TLetrafex::PrintButtonClick()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!Dialogs().printerSetup(printer, this))
        return;
    if (!PrintPicture(printer, TitleImage->picture()))
        throw LetrafexError(messageText("The picture could not be printed."));
}

bool TLetrafex::PrintPicture(QPrinter &printer, const Raster &picture)
{
    return ::PrintPicture(printer, picture, QSize(logicalDpiX(), logicalDpiY()), windowTitle());
}

void TLetrafex::SurfaceOpenButtonClick()
{
    if (LoadPictureFile(*SurfaceIconImage, 0, false, *PictureOpenDialog) == PictureLoad::Loaded &&
        SurfaceIconImage->picture().height() > 0)
        SurfaceDeleteAction->setEnabled(true);
}

void TLetrafex::SurfaceDeleteButtonClick()
{
    if (ShowMessageBox(messageText("Are you sure?"), QStringLiteral("c")))
        ClearSurface();
}
