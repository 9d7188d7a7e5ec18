#pragma once
// The layout options of the print engine and the enumerations it publishes.
#include <QFont>
#include <QString>

enum TDrawStyle { dsStandard, dsOwnerDrawFixed, dsOwnerDrawVariable };
enum TPrintPageNumber { pnBottom, pnTop, pnNone };
// Any int is a unit value: values other than these two are kept and leave the factor as it was.
enum TUnits : int { unInches, unCentimeters };
enum TZoomOption { zoFitToPage, zoFitToWidth, zoTwoPages, zoCustom };
// 0 a page is being started during pagination, 1 a page is being printed, 2 pagination
// complete, 3 print job complete.
enum TStatusType { stPaginating, stPrinting, stPaginationComplete, stPrintJobComplete };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TPrinterOrientation { poPortrait, poLandscape };

// Header, footer, page number and margins of the printed pages. Lengths are in the
// engine's Units (inches unless it says centimetres).
class TTextOptions
{
public:
    TTextOptions();

    TDrawStyle DrawStyle = dsStandard; // stored only
    double MarginLeft = 1.0;
    double MarginTop = 1.0;
    double MarginRight = 1.0;
    double MarginBottom = 1.0;
    QString Header;
    QString Footer;
    double HeaderMargin = 0.5;  // top sheet edge to the top of the header line
    double FooterMargin = 0.75; // bottom sheet edge up to the top of the footer line
    TAlignment HeaderAlign = taCenter;
    TAlignment FooterAlign = taCenter;
    TPrintPageNumber PrintPageNumber = pnBottom;
    TAlignment PageNumAlign = taRightJustify;

    // The fonts are the options' own: the setters copy the given font's attributes.
    const QFont &BodyFont() const { return bodyFont_; } // stored only; rich text has its own fonts
    const QFont &HeaderFont() const { return headerFont_; }
    const QFont &FooterFont() const { return footerFont_; }
    const QFont &PageNumFont() const { return pageNumFont_; }
    void SetBodyFont(const QFont &font) { bodyFont_ = font; }
    void SetHeaderFont(const QFont &font) { headerFont_ = font; }
    void SetFooterFont(const QFont &font) { footerFont_ = font; }
    void SetPageNumFont(const QFont &font) { pageNumFont_ = font; }

    const QString &PageNumText() const { return pageNumText_; }
    void SetPageNumText(const QString &text) { pageNumText_ = text; }

private:
    QFont bodyFont_;
    QFont headerFont_;
    QFont footerFont_;
    QFont pageNumFont_;
    QString pageNumText_ = QStringLiteral("Page");
};
