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

    // Paginates the document, and keeps a copy of it: a sheet chosen in the print dialog
    // other than the one the pages were laid out on lays the copy out again on that sheet.
    void PrintRichText(const QTextDocument &source);
    // Paginates the control's document; afterwards its caret stands at the start with
    // nothing selected. The clipboard is not touched.
    void PrintRichText(QTextEdit *source);

    // Shows the pages in the preview window, modally. Refused while recording.
    void Preview();
    // The print dialog, opened on the sheet of the recorded pages; prints the chosen range
    // once per copy, each copy its own job. A sheet, orientation or paper changed in the
    // dialog lays the document out again on it first (LayOutOnPrinter), so all pages are
    // every page of that layout and a range counts its pages; a range that begins after the
    // last of them prints nothing and ends with an error naming the page count, one that
    // ends after it ends at the last page. False when cancelled.
    bool PrintWithDialog();
    bool PrintAll();
    // Prints pages first..last (zero-based) of the recorded pages as one job named Title, on
    // the printer as it stands. Always true; printer errors propagate. Pages recorded at
    // another resolution are scaled to keep their size on paper.
    bool PrintRange(int first, int last);
    // Lays the document out again on the printer's sheet (its paper, orientation and
    // resolution) when the pages were laid out on another sheet, replacing the pages: what
    // the preview shows is then what is printed. Returns whether the pages changed.
    bool LayOutOnPrinter();
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
    // Puts the paper and orientation of the recorded pages on the printer, so that a print
    // dialog opens on the sheet the preview shows.
    void presetPrinterSheet();

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QTextDocument> source_;
    // The printer was chosen in the print dialog or printed on: it is the reference device
    // from then on, also when the platform lists no printer (a PDF file).
    bool printerChosen_ = false;
    // How often the document was laid out again on the printer's sheet.
    int layouts_ = 0;
};
