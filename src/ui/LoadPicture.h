#pragma once
// The one "open picture" operation of every window: the shared open dialog, the reader
// chosen by the file's extension, and the fitting into the image control by draw mode.
#include "ui/DialogService.h"

class TImage;

// Returns true when the dialog was accepted or skipped, false when the user cancelled.
// The result says nothing about whether a file was read. Errors of the readers propagate
// to the caller's handler (see runGuarded).
bool LoadPictureFile(TImage &image, int drawMode, bool skipDialog, TOpenDialogState &dialog);
