#include "ui/Application.h"

#include "ui/DialogService.h"

#include <QWidget>

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The report goes over the window that was in use; the event counts as handled.
        reportCurrentError(QApplication::activeWindow());
        return true;
    }
}
