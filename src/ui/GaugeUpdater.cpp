#include "ui/GaugeUpdater.h"

GaugeUpdater::GaugeUpdater(QProgressBar *gauge, int intervalMs) : gauge_(gauge), intervalMs_(intervalMs)
{
    clock_.start();
}

void GaugeUpdater::report(int percent)
{
    if (!gauge_)
        return;
    if (clock_.elapsed() < intervalMs_) {
        pending_ = percent;
        return;
    }
    pending_ = -1;
    // QProgressBar repaints itself within setValue when the bar visibly moves.
    gauge_->setValue(percent);
    clock_.restart();
}

void GaugeUpdater::finish()
{
    if (!gauge_ || pending_ < 0)
        return;
    // With updates off, setValue's own repaint does nothing; turning them on again only
    // schedules the bar for the window's next paint.
    const bool enabled = gauge_->updatesEnabled();
    gauge_->setUpdatesEnabled(false);
    gauge_->setValue(pending_);
    gauge_->setUpdatesEnabled(enabled);
    pending_ = -1;
}
