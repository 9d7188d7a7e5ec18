#include "app/MainWindowExport.h"

#include "app/MainWindow.h"
#include "app/PictureExport.h"
#include "ui/ExportForm.h"
#include "ui/ImageWidget.h"

void ExportButtonClick(TLetrafex &window)
{
    const Raster &background = window.BgImage->picture();
    TExportForm form(&window);
    form.setPictureSize(QSize(background.width(), background.height()));
    if (!window.ExportFileName.isEmpty())
        form.setFileName(window.ExportFileName);
    if (Dialogs().exec(form) != QDialog::Accepted || !form.Confirmed)
        return;
    window.ExportFileName = form.fileName();
    // The composition the style buttons draw: the stored rows over the background layer,
    // loaded from the values the editing controls hold now.
    ExportPicture(form.fileName(), background, window.Items, form.options(), window.gatherAttributes());
}
