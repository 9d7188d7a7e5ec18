#pragma once
// The splash window shown while the main window is being created.
#include <QWidget>
#include <functional>

class QProgressBar;
class QLabel;

class TSplashScreen : public QWidget
{
    Q_OBJECT
public:
    explicit TSplashScreen(QWidget *parent = nullptr);

    // Sets the gauge, repaints the window at once and then waits pauseMs milliseconds.
    void progress(int percent, int pauseMs = 0);
    int position() const;

    // How the splash waits after showing a percentage; tests replace it so that nothing
    // sleeps (and to see the sequence).
    static std::function<void(int percent, int pauseMs)> pause;

protected:
    void paintEvent(QPaintEvent *) override;
    void showEvent(QShowEvent *) override;

private:
    QProgressBar *gauge_;
    QColor shadowColor_;
};
