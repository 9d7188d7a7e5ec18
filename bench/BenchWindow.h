#pragma once
// The real main window for the window benchmarks: a program folder of its own whose
// settings name the language (so the first start asks nothing), no splash pause, the
// window at 1600 x 1000 (as large as a full-HD picture makes one want it) shown on the
// platform (offscreen unless QT_QPA_PLATFORM says otherwise) and its picture layers at the
// size given, over a plain dark background.
#include "app/MainWindow.h"
#include "ui/ImageWidget.h"
#include "program/Language.h"
#include "program/ProgramOptions.h"
#include "ui/SplashScreen.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

#include <memory>

namespace bench {

class BenchWindow
{
public:
    BenchWindow(int width, int height)
    {
        setProgramDir(folder_.path());
        QDir(folder_.path()).mkpath(QStringLiteral("Data"));
        QFile ini(folder_.filePath(QStringLiteral("Data/LETRAFEX.INI")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Language]\nFile=English.lng\n");
        ini.close();
        TSplashScreen::pause = [](int, int) {};
        window_ = std::make_unique<TLetrafex>();
        window_->createSecondaryWindows();
        window_->resize(1600, 1000);
        window_->show();
        // Repaints reach the screen only once the platform has exposed the window.
        QDeadlineTimer deadline(5000);
        while (!(window_->windowHandle() && window_->windowHandle()->isExposed()) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        window_->ResizeLayers(width, height);
        window_->composition().background().picture.fill(makeColor(20, 40, 90));
    }
    ~BenchWindow()
    {
        ProgramOptions.noExitDialog = true;
        window_.reset();
        setProgramDir(QString());
    }
    BenchWindow(const BenchWindow &) = delete;
    BenchWindow &operator=(const BenchWindow &) = delete;

    TLetrafex &operator*() { return *window_; }
    TLetrafex *operator->() { return window_.get(); }

private:
    QTemporaryDir folder_;
    std::unique_ptr<TLetrafex> window_;
};

} // namespace bench
