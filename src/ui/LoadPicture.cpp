#include "ui/LoadPicture.h"

#include "imageio/PictureFiles.h"
#include "ui/ImageWidget.h"
#include "program/Language.h"
#include "ui/MessageDialogs.h"

PictureLoad LoadPictureFile(TImage &image, int drawMode, bool skipDialog, TOpenDialogState &dialog, bool opensProjects)
{
    const QString filter = pictureOpenFilter(LngText(QStringLiteral("Captions"), QStringLiteral("Files")),
                                             LngText(QStringLiteral("Captions"), QStringLiteral("Graphic")));
    if (!skipDialog && !Dialogs().openFile(dialog.fileName, filter, dialog.filterIndex, image.window()))
        return PictureLoad::Cancelled;
    const int reader = pictureReaderFor(dialog.fileName);
    if (reader < 0) {
        ShowMessageBox(notAPictureFormatText(dialog.fileName), QStringLiteral("i"));
        return PictureLoad::Failed;
    }
    if (reader == ReaderProject) {
        if (!opensProjects)
            ShowMessageBox(projectNotPictureText(dialog.fileName), QStringLiteral("i"));
        return PictureLoad::Failed;
    }
    PictureRead read = readPictureFile(dialog.fileName, reader, image.picture());
    if (!read.ok()) {
        Dialogs().showError(read.error, image.window());
        return PictureLoad::Failed;
    }
    image.picture() = read.picture;
    fitLoadedPicture(image.box(), drawMode);
    image.syncGeometry();
    image.pictureChanged();
    return PictureLoad::Loaded;
}
