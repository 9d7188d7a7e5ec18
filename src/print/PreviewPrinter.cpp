// The printer and window half of the print engine.
#include "print/PreviewPrinter.h"

#include "core/CommaText.h"
#include "print/PreviewForm.h"
#include "ui/DialogService.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextEdit>
#include <QToolButton>

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
    const int resolution = printer.resolution();
    const QRect sheet = printer.pageLayout().fullRectPixels(resolution);
    const QRect printable = printer.pageLayout().paintRectPixels(resolution);
    m.LogPixelsX = printer.logicalDpiX();
    m.LogPixelsY = printer.logicalDpiY();
    m.PageWidth = sheet.width();
    m.PageHeight = sheet.height();
    m.OffsetX = printable.left();
    m.OffsetY = printable.top();
    return m.PageWidth > 0 && m.PageHeight > 0;
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
        TPageRecorder::PrintRichText(*source->document());
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
    PrintPages(printer, first, last);
    return true;
}
