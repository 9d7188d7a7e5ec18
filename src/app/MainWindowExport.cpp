#include "app/MainWindowExport.h"

#include "app/MainWindow.h"
#include "app/PictureExport.h"
#include "ui/ExportForm.h"
#include "ui/ImageWidget.h"

namespace {
// The last export's file name, offered again by the next export.
QString lastExportName;
} // namespace

void ExportButtonClick(TLetrafex &window)
{
    const Raster &background = window.BgImage->picture();
    TExportForm form(&window);
    form.setPictureSize(QSize(background.width(), background.height()));
    if (!lastExportName.isEmpty())
        form.setFileName(lastExportName);
    if (Dialogs().exec(form) != QDialog::Accepted || !form.Confirmed)
        return;
    lastExportName = form.fileName();
    // The composition the style buttons draw: the stored rows over the background layer,
    // loaded from the values the editing controls hold now.
    ExportPicture(form.fileName(), background, window.Items, form.options(), window.gatherAttributes());
}
