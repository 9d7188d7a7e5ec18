#pragma once
// A secondary window shown as a borderless page inside the main window's page area.
#include <QWidget>

class TPageForm : public QWidget
{
    Q_OBJECT
public:
    TPageForm(const QString &name, const QString &caption, QWidget *parent = nullptr);

    // Runs each time the page is shown; pages translate themselves here.
    virtual void FormShow();

protected:
    void showEvent(QShowEvent *event) override;
};
