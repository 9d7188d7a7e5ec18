#include "ui/PlainMessageBox.h"

#include "core/PlainMessage.h"
#include "ui/DialogService.h"

#include <QApplication>
#include <QMessageBox>

void installPlainMessageBox()
{
    setPlainMessageHandler([](const QString &text) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        Dialogs().exec(box);
    });
}
