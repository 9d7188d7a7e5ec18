#pragma once
// TPreviewPrinter: the print engine as the help viewer uses it. It adds to the page
// recorder the printer (its metrics as the reference device when one is installed, the
// print dialog, print jobs) and the preview window.
#include "print/PageRecorder.h"

#include <memory>

class QPrinter;
class QTextDocument;
class QTextEdit;
class TPreviewForm;

class TPreviewPrinter : public TPageRecorder
{
public:
    TPreviewPrinter();
    ~TPreviewPrinter() override;

    // The printer the engine prints on (the system's default printer; tests point it at
    // a PDF file).
    QPrinter &Printer();

    // Paginates the document, and keeps a copy of it: printing on a sheet other than the
    // one the pages were laid out on lays the copy out again on the printer's sheet.
    void PrintRichText(const QTextDocument &source);
    // Paginates the control's document; afterwards its caret stands at the start with
    // nothing selected. The clipboard is not touched.
    void PrintRichText(QTextEdit *source);

    // Shows the pages in the preview window, modally. Refused while recording.
    void Preview();
    // The print dialog; prints the chosen range once per copy, each copy its own job.
    // False when the dialog was cancelled.
    bool PrintWithDialog();
    bool PrintAll();
    // Prints pages first..last (zero-based) as one job named Title. Always true; printer
    // errors propagate. When the printer's sheet (its paper size and orientation) is not
    // the one the pages were laid out on, as when no printer is installed and a PDF file
    // is printed on A4, the document is laid out again on the printer's sheet for this
    // job, so margins and page numbers keep their distances from the sheet's edges; the
    // pages the preview shows stay as they are.
    bool PrintRange(int first, int last);
    // The preview window prepared with grid, zoom choice and page-box caption.
    std::unique_ptr<TPreviewForm> CreatePreviewForm();
    // Puts the 15 PreviewTexts on the window; a short or broken list stops at the first
    // missing text.
    void ApplyPreviewTexts(TPreviewForm &form) const;

protected:
    bool ReadPrinterMetrics(TDeviceMetrics &metrics) override;

private:
    // Whether the recorded pages were laid out on the sheet of these metrics.
    bool laidOutOn(const TDeviceMetrics &sheet) const;
    // Lays the kept document out on sheet and prints pages first..last of that layout.
    void printLaidOutOn(const TDeviceMetrics &sheet, int first, int last);

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QTextDocument> source_;
};
