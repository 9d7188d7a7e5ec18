// Every event handler runs inside the application's guard: an error it raises, of any
// kind, reaches the error report and the program goes on.
#include "ScriptedDialogs.h"
#include "core/Errors.h"

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
#define LETRAFEX_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LETRAFEX_LEAK_CHECKS 1
#endif
#endif
#ifdef LETRAFEX_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

TEST(HandlerGuard, AnErrorInAnUnguardedHandlerIsReportedAndTheEventLoopGoesOn)
{
#ifdef LETRAFEX_LEAK_CHECKS
    // Qt's widgets are built without exception support: an error thrown through their frames
    // skips their clean-up, and Qt's own records of the click stay allocated. The guard is the
    // last resort that keeps the program running; these few bytes are Qt's, not leaks of ours.
    const __lsan::ScopedDisabler qtRecordsOfTheClick;
#endif
    ScriptedDialogs dialogs;
    // A button whose click handler throws, clicked with the mouse as a user would.
    QPushButton button(QStringLiteral("Throw"));
    button.resize(80, 30);
    button.show();
    QObject::connect(&button, &QPushButton::clicked, [] { throw LetrafexError(QStringLiteral("Stream read error")); });
    const QPointF centre(40, 15);
    QMouseEvent press(QEvent::MouseButtonPress, centre, button.mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, button.mapToGlobal(centre), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&button, &press);
    QApplication::sendEvent(&button, &release);
    EXPECT_EQ(dialogs.errors, QStringList{QStringLiteral("Stream read error")});

    // Timers run from the event loop, which goes on after each error.
    QEventLoop loop;
    int after = 0;
    QTimer::singleShot(0, &button, [] { throw std::runtime_error("vector::_M_range_check"); });
    QTimer::singleShot(0, &button, [] { throw 42; });
    // Running out of memory is told in words, not as the library's "std::bad_alloc".
    QTimer::singleShot(0, &button, [] { throw std::bad_alloc(); });
    QTimer::singleShot(0, &loop, [&] {
        ++after;
        loop.quit();
    });
    loop.exec();
    EXPECT_EQ(after, 1);
    EXPECT_EQ(dialogs.errors, (QStringList{QStringLiteral("Stream read error"), QStringLiteral("vector::_M_range_check"),
                                           QStringLiteral("An unexpected error occurred."), QStringLiteral("Out of memory.")}));
    // The button still works.
    dialogs.errors.clear();
    QApplication::sendEvent(&button, &press);
    QApplication::sendEvent(&button, &release);
    EXPECT_EQ(dialogs.errors.size(), 1);
}
