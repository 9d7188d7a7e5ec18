#pragma once
// Printing a raster picture as it is on the screen: every screen pixel becomes a block of
// whole printer dots (printer resolution div screen resolution in each direction), placed
// at the top-left of the printable area, neither centred nor fitted to the page.
#include "core/Raster.h"

#include <QSize>
#include <QString>

class QPrinter;

// The integer enlargement for a printer of printerDpi dots per inch and a screen of
// screenDpi pixels per inch (at least 1).
int printFactor(int printerDpi, int screenDpi);

// Prints picture as one page of a job named title. Returns false when the job could not
// be started. The enlarged picture is sent in bands, so memory stays small whatever the
// printer's resolution.
bool PrintPicture(QPrinter &printer, const Raster &picture, QSize screenDpi, const QString &title);
