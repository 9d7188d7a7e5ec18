// The printer and window half of the print engine.
#include "preview/PreviewPrinter.h"

#include "core/CommaText.h"
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

// A recorder whose reference device is a given sheet: the printer as the print dialog left
// it, whether or not the platform lists a printer.
class SheetRecorder : public TPageRecorder
{
public:
    explicit SheetRecorder(const TDeviceMetrics &sheet) : sheet_(sheet) {}

protected:
    bool ReadPrinterMetrics(TDeviceMetrics &m) override
    {
        m = sheet_;
        return true;
    }

private:
    TDeviceMetrics sheet_;
};
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
    if (QPrinterInfo::availablePrinters().isEmpty())
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
                     [this, shown] { runGuarded(shown, [this] { PrintWithDialog(); }); });
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
    if (PageCount() > 0)
        printer.setFromTo(1, PageCount());
    printer.setPrintRange(QPrinter::AllPages);
    if (!Dialogs().printerSetup(printer, nullptr))
        return false;
    int first = 0, last = PageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = (printer.toPage() > 0 ? printer.toPage() : PageCount()) - 1;
    }
    const int copies = std::max(1, printer.copyCount());
    printer.setCopyCount(1);
    for (int copy = 0; copy < copies; ++copy)
        PrintRange(first, last);
    return true;
}

bool TPreviewPrinter::PrintAll()
{
    return PrintRange(0, PageCount() - 1);
}

bool TPreviewPrinter::PrintRange(int first, int last)
{
    BusyCursor busy;
    QPrinter &printer = Printer();
    printer.setPageOrientation(qtOrientation(Orientation));
    printer.setDocName(Title);
    const TDeviceMetrics sheet = sheetOf(printer);
    if (source_ && !InDocument() && !laidOutOn(sheet))
        printLaidOutOn(sheet, first, last);
    else
        PrintPages(printer, first, last);
    return true;
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

void TPreviewPrinter::printLaidOutOn(const TDeviceMetrics &sheet, int first, int last)
{
    SheetRecorder fitted(sheet);
    fitted.Orientation = Orientation;
    fitted.Title = Title;
    fitted.TextOptions = TextOptions;
    fitted.SetUnits(Units());
    fitted.SetPageStartNo(PageStartNo());
    fitted.OnProgress = OnProgress; // laying the pages out again is a wait of its own
    fitted.PrintRichText(*source_);
    // The job's reports are this engine's; the second pagination is not reported.
    fitted.OnStatus = [this](TPageRecorder *, const QString &statMsg, int pageNum, TStatusType type) {
        ReportStatus(statMsg, pageNum, type);
    };
    fitted.PrintPages(Printer(), first, last);
}
