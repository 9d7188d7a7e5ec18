// Default fonts of the print layout options.
#include "print/TextOptions.h"

namespace {
QFont makeFont(const QString &family, int points, bool bold, bool italic)
{
    QFont font(family);
    font.setPointSize(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}
} // namespace

TTextOptions::TTextOptions()
    : bodyFont_(makeFont(QStringLiteral("Arial"), 10, false, false)),
      headerFont_(makeFont(QStringLiteral("Times New Roman"), 18, true, false)),
      footerFont_(makeFont(QStringLiteral("Times New Roman"), 10, false, true)),
      pageNumFont_(footerFont_)
{
}
