#include "ui/LoadPicture.h"

#include "imageio/PictureFiles.h"
#include "ui/ImageWidget.h"
#include "ui/Language.h"
#include "ui/MessageDialogs.h"

bool LoadPictureFile(TImage &image, int drawMode, bool skipDialog, TOpenDialogState &dialog)
{
    const QString filter = pictureOpenFilter(LngText(QStringLiteral("Captions"), QStringLiteral("Files")),
                                             LngText(QStringLiteral("Captions"), QStringLiteral("Graphic")));
    const bool result = skipDialog || Dialogs().openFile(dialog.fileName, filter, dialog.filterIndex, image.window());
    const int reader = pictureReaderFor(dialog.fileName);
    if (!result)
        return false;
    if (reader < 0) {
        ShowMessageBox(LngText(QStringLiteral("Messages"), QStringLiteral("This format is not supported by the program.")),
                       QStringLiteral("i"));
        return result;
    }
    if (reader == ReaderProject)
        return result;
    readPictureFile(dialog.fileName, reader, image.picture());
    fitLoadedPicture(image.box(), drawMode);
    image.syncGeometry();
    return result;
}
