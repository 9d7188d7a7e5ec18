#pragma once
// Feeds a progress bar from long work that runs without returning to the event loop (the
// text painter reports every layer). A value reaches the bar at most once per interval,
// and the bar repaints itself at once then, so long work shows it moving; the reports in
// between are dropped, so short work (a click's redraw) repaints nothing while it runs.
// When the work ends the bar takes the last reported value and is painted with the rest
// of the window.
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressBar>

#include <functional>

class GaugeUpdater
{
public:
    static constexpr int DefaultIntervalMs = 50;

    // The work starts now.
    explicit GaugeUpdater(QProgressBar *gauge, int intervalMs = DefaultIntervalMs);
    ~GaugeUpdater() { finish(); }
    GaugeUpdater(const GaugeUpdater &) = delete;
    GaugeUpdater &operator=(const GaugeUpdater &) = delete;

    void report(int percent);
    // A progress callback for the painters; it must not outlive this updater.
    std::function<void(int)> reporter()
    {
        return [this](int percent) { report(percent); };
    }
    // The work ended: the bar takes the last reported value without a forced repaint.
    void finish();

private:
    QPointer<QProgressBar> gauge_;
    int intervalMs_;
    QElapsedTimer clock_;
    int pending_ = -1; // the last reported value not yet on the bar, or -1
};
