#include "ui/ButtonFit.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

int captionWidth(const QPushButton &button)
{
    if (button.text().isEmpty())
        return 0;
    const QFontMetrics fm = button.fontMetrics();
    int w = fm.size(Qt::TextShowMnemonic, button.text()).width() + 2 * fm.horizontalAdvance(QLatin1Char(' '));
    if (!button.icon().isNull())
        w += button.iconSize().width() + 4;
    // The caption stays out of the option: some styles give every captioned button a
    // minimum width of their own, wider than a dialog's designed buttons.
    QStyleOptionButton opt;
    opt.initFrom(&button);
    const QSize contents(w, std::max(fm.height(), button.iconSize().height()));
    return button.style()->sizeFromContents(QStyle::CT_PushButton, &opt, contents, &button).width();
}

int titleRoomWidth(const QWidget &window)
{
    QFont titleFont = window.font();
    titleFont.setBold(true);
    return QFontMetrics(titleFont).horizontalAdvance(window.windowTitle()) +
           5 * window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
}
