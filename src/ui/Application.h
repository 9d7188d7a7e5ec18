#pragma once
// The application object of the program and its widget tests: every event, and so every
// event handler and every connected slot, runs inside one error guard. An error a handler
// raises is reported through the message dialogs and the program goes on.
#include <QApplication>

class TApplication : public QApplication
{
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
