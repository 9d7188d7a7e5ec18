#include "core/Color.h"

#include <QGuiApplication>
#include <QPalette>
#include <cmath>

namespace {

// Windows system colour indices that the program and its files may name.
QPalette::ColorRole roleForIndex(int index, QPalette::ColorGroup &group)
{
    group = QPalette::Active;
    switch (index) {
    case 5: return QPalette::Base;             // window
    case 6: return QPalette::Shadow;           // window frame
    case 8: return QPalette::Text;             // window text
    case 13: return QPalette::Highlight;
    case 14: return QPalette::HighlightedText;
    case 16: return QPalette::Dark;            // button shadow
    case 17: group = QPalette::Disabled; return QPalette::Text; // grey text
    case 18: return QPalette::ButtonText;
    case 20: return QPalette::Light;           // button highlight
    case 21: return QPalette::Shadow;          // 3D dark shadow
    case 22: return QPalette::Midlight;        // 3D light
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;     // info background
    default: return QPalette::Button;          // button face and everything else
    }
}

int roundChannel(double v)
{
    // nearbyint rounds with the current mode, which is to nearest, ties to even.
    const double r = std::nearbyint(v);
    if (r < 0) return 0;
    if (r > 255) return 255;
    return int(r);
}

} // namespace

TColor resolveColor(TColor c, const QPalette &palette)
{
    if (!isSystemColor(c))
        return TColor(std::uint32_t(c) & 0x00FFFFFFu);
    QPalette::ColorGroup group;
    const QPalette::ColorRole role = roleForIndex(c & 0xFF, group);
    return fromQColor(palette.color(group, role));
}

TColor resolveColor(TColor c)
{
    if (!isSystemColor(c))
        return TColor(std::uint32_t(c) & 0x00FFFFFFu);
    if (qGuiApp)
        return resolveColor(c, QGuiApplication::palette());
    static const QPalette fallback(QColor(240, 240, 240));
    return resolveColor(c, fallback);
}

QColor toQColor(TColor c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }
QRgb toRgb(TColor c) { return qRgb(redOf(c), greenOf(c), blueOf(c)); }
TColor fromQColor(const QColor &c) { return makeColor(c.red(), c.green(), c.blue()); }
TColor fromRgb(QRgb c) { return makeColor(qRed(c), qGreen(c), qBlue(c)); }

TColor ColorStep(TColor c1, TColor c2, int n, int i)
{
    const TColor a = resolveColor(c1);
    const TColor b = resolveColor(c2);
    if (n == 0)
        return b;
    const double k = 1.0 / n;
    auto channel = [&](int ca, int cb) { return roundChannel(double(cb - ca) * k * i + ca); };
    return makeColor(channel(redOf(a), redOf(b)), channel(greenOf(a), greenOf(b)),
                     channel(blueOf(a), blueOf(b)));
}
