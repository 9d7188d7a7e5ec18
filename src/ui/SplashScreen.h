#pragma once
// The splash window shown while the main window is being created.
#include <QPointer>
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

    // Hides the splash window that is on screen, if any, for as long as it lives, and shows
    // it again afterwards: a question asked while the program starts must not lie under a
    // window that stays on top.
    class StepAside
    {
    public:
        StepAside();
        ~StepAside();
        StepAside(const StepAside &) = delete;
        StepAside &operator=(const StepAside &) = delete;

    private:
        QPointer<TSplashScreen> hidden_;
    };

    // How the splash waits after showing a percentage; tests replace it so that nothing
    // sleeps (and to see the sequence).
    static std::function<void(int percent, int pauseMs)> pause;

protected:
    void paintEvent(QPaintEvent *) override;
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;

private:
    QProgressBar *gauge_;
    QColor shadowColor_;
    // The splash window on screen, if any.
    static QPointer<TSplashScreen> shown_;
};
