#pragma once
// The "Export picture" command of the main window's command column.
class TLetrafex;

// Shows the export dialog for the composition of the window's rows over its background
// layer and writes the export the user confirms. Errors reach the command's error report.
void ExportButtonClick(TLetrafex &window);
