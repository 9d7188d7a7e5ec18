#pragma once
// The one "open picture" operation of every window: the shared open dialog, the reader
// chosen by the file's extension, and the fitting into the image control by draw mode.
#include "ui/DialogService.h"

class TImage;

enum class PictureLoad
{
    Cancelled, // the user cancelled the open dialog
    Loaded,    // the file was read and fitted into the image
    // Nothing was loaded: the file could not be read (the error report named the file and
    // the reason), its format is not supported (a notice naming the file said so), or it
    // is a project file (a notice says so unless the caller opens projects itself).
    Failed,
};

// After Cancelled or Failed the image, its picture and its size are exactly as they were.
// opensProjects: the caller opens a project file chosen here (the main window's "Open
// picture"); every other caller wants a picture, and a project gets a notice.
PictureLoad LoadPictureFile(TImage &image, int drawMode, bool skipDialog, TOpenDialogState &dialog,
                            bool opensProjects = false);
