#include "ui/SplashScreen.h"

#include "core/Color.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QSvgRenderer>
#include <QThread>

std::function<void(int, int)> TSplashScreen::pause = [](int, int ms) {
    if (ms > 0)
        QThread::msleep(ulong(ms));
};

TSplashScreen::TSplashScreen(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      gauge_(new QProgressBar(this)), shadowColor_(toQColor(Colors::clSilver))
{
    setObjectName(QStringLiteral("SplashScreen"));
    setFixedSize(312, 183);
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("GaugePanel"));
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    panel->setPalette(pal);
    panel->setGeometry(64, 128, 161 + 8, 17 + 8);
    gauge_->setParent(panel);
    gauge_->setObjectName(QStringLiteral("Gauge"));
    gauge_->setGeometry(4, 4, 161, 17);
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    gauge_->setTextVisible(false);
    QPalette gp = gauge_->palette();
    gp.setColor(QPalette::Highlight, QColor(0, 0, 255));
    gauge_->setPalette(gp);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

int TSplashScreen::position() const { return gauge_->value(); }

QPointer<TSplashScreen> TSplashScreen::shown_;

void TSplashScreen::showEvent(QShowEvent *)
{
    shadowColor_ = toQColor(TColor(0x00F7CBA5));
    shown_ = this;
}

void TSplashScreen::hideEvent(QHideEvent *)
{
    if (shown_ == this)
        shown_ = nullptr;
}

TSplashScreen::StepAside::StepAside() : hidden_(shown_)
{
    if (hidden_)
        hidden_->hide();
}

TSplashScreen::StepAside::~StepAside()
{
    if (!hidden_)
        return;
    hidden_->show();
    hidden_->repaint();
}

void TSplashScreen::progress(int percent, int pauseMs)
{
    gauge_->setValue(percent);
    if (isVisible())
        repaint();
    pause(percent, pauseMs);
}

void TSplashScreen::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient bg(0, 0, 0, height());
    bg.setColorAt(0, QColor(255, 255, 255));
    bg.setColorAt(1, QColor(176, 206, 240));
    p.fillRect(rect(), bg);
    p.setPen(QColor(0, 0, 128));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    QSvgRenderer logo(QStringLiteral(":/icons/logo.svg"));
    if (logo.isValid())
        logo.render(&p, QRectF(16, 80, 40, 40));
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(QColor(0, 0, 96));
    p.drawText(QRect(64, 84, 240, 40), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
               QStringLiteral("Styled text pictures: gradients, shadows and 3D"));
    QFont name(QStringLiteral("Arial"));
    name.setPixelSize(64); // 48 pt at 96 pixels per inch
    name.setBold(true);
    p.setFont(name);
    const QFontMetrics fm(name);
    p.setPen(shadowColor_);
    p.drawText(28, 12 + fm.ascent(), QStringLiteral("Letrafex"));
    p.setPen(QColor(0, 0, 128));
    p.drawText(24, 8 + fm.ascent(), QStringLiteral("Letrafex"));
}
