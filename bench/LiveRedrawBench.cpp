// Redrawing while editing, as the user sees it: from a keystroke in the text editor to the
// updated working picture, at 1920 x 1080 with ten items of depth 50 (goal: one frame,
// 16 ms). Runs the real main window on the offscreen platform.
#include "BenchMain.h"
#include "app/MainWindow.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "ui/Language.h"
#include "ui/ProgramOptions.h"
#include "ui/SplashScreen.h"

#include <QApplication>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <benchmark/benchmark.h>

namespace {

void KeystrokeToPicture(benchmark::State &state)
{
    QTemporaryDir folder;
    setProgramDir(folder.path());
    QDir(folder.path()).mkpath(QStringLiteral("Data"));
    QFile ini(folder.filePath(QStringLiteral("Data/LETRAFEX.INI")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Language]\nFile=English.lng\n");
    ini.close();
    TSplashScreen::pause = [](int, int) {};
    TLetrafex window;
    window.createSecondaryWindows();
    window.show();
    window.ResizeLayers(1920, 1080);
    window.BgImage->picture().fill(makeColor(20, 40, 90));
    ProgramOptions.redrawWhileEditing = true;
    for (int k = ItemCount - 1; k >= 0; --k) {
        window.TextNoBox->setItemIndex(k);
        window.TextNoBoxClick();
        window.TextMemo->setPlainText(QStringLiteral("Letrafex%1").arg(k));
        window.FontDepth->setValue(50);
        window.XEdit->setText(QString::number(60 + 40 * k));
        window.YEdit->setText(QString::number(60 + 90 * k));
        window.Text3dButton->click();
    }
    int typed = 0;
    for (auto _ : state) {
        QTextCursor cursor = window.TextMemo->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString(QChar(u'a' + typed++ % 26)));
        window.TextMemo->setTextCursor(cursor);
        window.LiveRedrawTimer(); // the frame
        benchmark::DoNotOptimize(window.TitleImage->picture().image().constBits());
        if (typed % 8 == 0) {
            state.PauseTiming();
            window.TextMemo->setPlainText(QStringLiteral("Letrafex0"));
            window.LiveRedrawTimer();
            state.ResumeTiming();
        }
    }
    window.CommitLiveEdits();
    ProgramOptions.noExitDialog = true;
    setProgramDir(QString());
}

} // namespace

BENCHMARK(KeystrokeToPicture)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv) { return runTextBenchmarks<QApplication>(argc, argv); }
