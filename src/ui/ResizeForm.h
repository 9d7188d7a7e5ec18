#pragma once
// The modal dialog that asks for a picture's width and height in pixels. The caller fills
// both fields, runs the dialog, and reads them only when Confirmed is true.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TResizeForm : public QDialog
{
    Q_OBJECT
public:
    explicit TResizeForm(QWidget *parent = nullptr);

    void FormShow();
    void btnOKClick();
    void btnCancelClick();

    // The field's number; a field left empty reads as 0.
    static int fieldValue(const QLineEdit *field);

    // Asks for a new size, starting from size. True with the new size when the user confirms
    // a size a picture can have; a size of nothing or beyond the picture limits is refused
    // with a warning, and false is returned.
    static bool askPictureSize(QWidget *parent, QSize &size);

    bool Confirmed = false;
    QLabel *lblWidth = nullptr;
    QLabel *lblHeight = nullptr;
    QLineEdit *edtImgWidth = nullptr;
    QLineEdit *edtImgHeight = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Widens the buttons and the dialog to the translated captions and title.
    void fitToCaptions();
};
