// The printer and window half of the print engine.
#include "preview/PreviewPrinter.h"

#include "core/CommaText.h"
#include "core/Errors.h"
#include "core/MessageText.h"
#include "preview/PreviewForm.h"
#include "ui/DialogService.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include <cmath>

namespace {
// The busy cursor for the length of a scope, also when it ends with an error.
struct BusyCursor
{
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
};

QPageLayout::Orientation qtOrientation(TPrinterOrientation o)
{
    return o == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// The printer's resolution, sheet and printable-area offsets as it stands now.
TDeviceMetrics sheetOf(QPrinter &printer)
{
    const int resolution = printer.resolution();
    const QRect sheet = printer.pageLayout().fullRectPixels(resolution);
    const QRect printable = printer.pageLayout().paintRectPixels(resolution);
    TDeviceMetrics m;
    m.LogPixelsX = printer.logicalDpiX();
    m.LogPixelsY = printer.logicalDpiY();
    m.PageWidth = sheet.width();
    m.PageHeight = sheet.height();
    m.OffsetX = printable.left();
    m.OffsetY = printable.top();
    return m;
}

} // namespace

TPreviewPrinter::TPreviewPrinter() = default;
TPreviewPrinter::~TPreviewPrinter() = default;

QPrinter &TPreviewPrinter::Printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

bool TPreviewPrinter::ReadPrinterMetrics(TDeviceMetrics &m)
{
    if (!printerChosen_ && QPrinterInfo::availablePrinters().isEmpty())
        return false;
    QPrinter &printer = Printer();
    printer.setPageOrientation(qtOrientation(Orientation));
    m = sheetOf(printer);
    return m.PageWidth > 0 && m.PageHeight > 0;
}

void TPreviewPrinter::PrintRichText(const QTextDocument &source)
{
    source_.reset(source.clone());
    TPageRecorder::PrintRichText(source);
}

void TPreviewPrinter::PrintRichText(QTextEdit *source)
{
    PRINT_ASSERT(source, "Assertion failure");
    BusyCursor busy;
    auto leaveAtStart = [source] {
        QTextCursor caret = source->textCursor();
        caret.setPosition(0);
        source->setTextCursor(caret);
    };
    try {
        PrintRichText(*source->document());
    } catch (...) {
        leaveAtStart();
        throw;
    }
    leaveAtStart();
}

std::unique_ptr<TPreviewForm> TPreviewPrinter::CreatePreviewForm()
{
    PRINT_ASSERT(!InDocument(), "Assertion failure");
    auto form = std::make_unique<TPreviewForm>(this);
    TPreviewForm *shown = form.get();
    QObject::connect(shown, &TPreviewForm::printRequested, shown,
                     [this, shown] { runGuarded(shown, [this, shown] {
                         // A sheet chosen in the dialog lays the pages out anew: show them,
                         // also when printing them then fails.
                         const int layoutsBefore = layouts_;
                         auto showNewPages = [&] {
                             if (layouts_ != layoutsBefore)
                                 shown->PagesChanged();
                         };
                         try {
                             PrintWithDialog();
                         } catch (...) {
                             showNewPages();
                             throw;
                         }
                         showNewPages();
                     }); });
    form->GridBut->setChecked(ShowGrid);
    if (ZoomOption == zoFitToPage) {
        form->ZoomBox->setCurrentIndex(0);
    } else if (ZoomOption == zoFitToWidth) {
        form->ZoomBox->setCurrentIndex(1);
    } else if (ZoomOption == zoTwoPages) {
        form->TwoPageBut->setChecked(true);
    } else if (ZoomOption == zoCustom) {
        // The last entry, with ZoomVal kept as the factor until the layout replaces it.
        form->ZoomBox->setCurrentIndex(form->ZoomBox->count() - 1);
        form->ZoomFactor = ZoomVal;
    }
    form->ScrollBox1Resize();
    form->PageBox->setTitle(TextOptions.PageNumText());
    return form;
}

void TPreviewPrinter::ApplyPreviewTexts(TPreviewForm &form) const
{
    if (PreviewTexts.isEmpty())
        return;
    const QStringList items = fromCommaText(PreviewTexts);
    QAbstractButton *const hinted[] = {form.FirstPageSpeed, form.LastPageSpeed, form.PrevPageSpeed, form.NextPageSpeed,
                                       form.FitPageBut,     form.FitWidthBut,   form.PrintBut,      form.GridBut,
                                       form.ZoomCursorBut,  form.OnePageBut,    form.TwoPageBut,    form.CloseBut};
    qsizetype i = 0;
    for (QAbstractButton *button : hinted) {
        if (i >= items.size())
            return;
        form.setHint(button, items[i++]);
    }
    if (i >= items.size())
        return;
    form.CloseBut->setText(items[i++]);
    if (i >= items.size())
        return;
    form.setWindowTitle(items[i++]);
    if (i >= items.size())
        return;
    form.ZoomBox->clear();
    form.ZoomBox->addItems(fromCommaText(items[i]));
}

void TPreviewPrinter::Preview()
{
    std::unique_ptr<TPreviewForm> form = CreatePreviewForm();
    form->setWindowTitle(QStringLiteral("Print Preview"));
    ApplyPreviewTexts(*form);
    Dialogs().exec(*form);
}

bool TPreviewPrinter::PrintWithDialog()
{
    QPrinter &printer = Printer();
    presetPrinterSheet();
    if (PageCount() > 0)
        printer.setFromTo(1, PageCount());
    printer.setPrintRange(QPrinter::AllPages);
    if (!Dialogs().printerSetup(printer, nullptr))
        return false;
    Orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
    const bool range = printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0;
    const int from = printer.fromPage(), to = printer.toPage();
    LayOutOnPrinter();
    int first = 0, last = PageCount() - 1;
    if (range) {
        // The range was typed against the pages the dialog opened on; laid out on another
        // sheet the document may have fewer, and a range that begins past them prints nothing.
        if (from > PageCount())
            throw LetrafexError(
                messageText("Laid out on the chosen sheet, the document ends on page %1, before the page range begins. Nothing was printed.")
                    .arg(PageCount()));
        first = from - 1;
        last = std::min(to > 0 ? to : PageCount(), PageCount()) - 1;
    }
    const int copies = std::max(1, printer.copyCount());
    printer.setCopyCount(1);
    for (int copy = 0; copy < copies; ++copy)
        PrintRange(first, last);
    return true;
}

bool TPreviewPrinter::PrintAll()
{
    LayOutOnPrinter();
    return PrintRange(0, PageCount() - 1);
}

bool TPreviewPrinter::PrintRange(int first, int last)
{
    BusyCursor busy;
    QPrinter &printer = Printer();
    printer.setPageOrientation(qtOrientation(Orientation));
    printer.setDocName(Title);
    PrintPages(printer, first, last);
    return true;
}

bool TPreviewPrinter::LayOutOnPrinter()
{
    if (!source_ || InDocument())
        return false;
    QPrinter &printer = Printer();
    printer.setPageOrientation(qtOrientation(Orientation));
    if (laidOutOn(sheetOf(printer)))
        return false;
    printerChosen_ = true;
    ++layouts_;
    TPageRecorder::PrintRichText(*source_);
    return true;
}

void TPreviewPrinter::presetPrinterSheet()
{
    if (PageCount() == 0 || LogPixelsX() <= 0 || LogPixelsY() <= 0)
        return;
    const double w = double(PageWidth()) / LogPixelsX(), h = double(PageHeight()) / LogPixelsY();
    QPrinter &printer = Printer();
    printer.setPageOrientation(qtOrientation(Orientation));
    printer.setPageSize(QPageSize(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Inch, QString(), QPageSize::FuzzyMatch));
}

bool TPreviewPrinter::laidOutOn(const TDeviceMetrics &sheet) const
{
    if (sheet.LogPixelsX <= 0 || sheet.LogPixelsY <= 0 || LogPixelsX() <= 0 || LogPixelsY() <= 0)
        return true;
    // Sheets are compared in inches: the same paper at another resolution is the same sheet,
    // and the recorded pages are scaled to it. A hundredth of an inch absorbs rounding.
    auto inches = [](int pixels, int dpi) { return double(pixels) / dpi; };
    return std::abs(inches(sheet.PageWidth, sheet.LogPixelsX) - inches(PageWidth(), LogPixelsX())) < 0.01 &&
           std::abs(inches(sheet.PageHeight, sheet.LogPixelsY) - inches(PageHeight(), LogPixelsY())) < 0.01;
}
