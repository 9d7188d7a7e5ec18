#include "app/MainWindowExport.h"

#include "app/MainWindow.h"
#include "compose/PictureExport.h"
#include "app/ExportForm.h"

void ExportButtonClick(TLetrafex &window)
{
    const Raster &background = window.composition().background().picture;
    TExportForm form(&window);
    form.setPictureSize(QSize(background.width(), background.height()));
    if (!window.exportFileName().isEmpty())
        form.setFileName(window.exportFileName());
    if (Dialogs().exec(form) != QDialog::Accepted || !form.Confirmed)
        return;
    window.exportFileName() = form.fileName();
    // The composition the style buttons draw: the stored rows over the background layer,
    // loaded from the values the editing controls hold now.
    ExportPicture(form.fileName(), background, window.composition().items(), form.options(), window.gatherAttributes());
}
