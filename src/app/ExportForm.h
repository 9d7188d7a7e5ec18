#pragma once
// The export dialog: format, transparent background, lossless or lossy WebP with its
// quality, the growing animation, scale with the resulting size, and the file name. The caller gives the picture's size (and a file name to start from), runs the
// dialog, and reads options() and fileName() only when Confirmed is true.
#include "compose/PictureExport.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TExportForm : public QDialog
{
    Q_OBJECT
public:
    explicit TExportForm(QWidget *parent = nullptr);

    void setPictureSize(QSize size);
    void setFileName(const QString &fileName);
    ExportOptions options() const;
    // The name typed, with the chosen format's extension when it names another one.
    QString fileName() const;

    void FormShow();
    void cbxFormatChange();
    void chkLosslessClick();
    void spnScaleChange();
    void btnBrowseClick();
    void btnOKClick();
    void btnCancelClick();

    bool Confirmed = false;
    QLabel *lblFormat = nullptr;
    QComboBox *cbxFormat = nullptr;
    QCheckBox *chkTransparent = nullptr;
    QCheckBox *chkLossless = nullptr;
    QLabel *lblQuality = nullptr;
    QSpinBox *spnQuality = nullptr;
    QCheckBox *chkAnimate = nullptr;
    QLabel *lblScale = nullptr;
    QSpinBox *spnScale = nullptr;
    QLabel *lblSize = nullptr;
    QLabel *lblSizeValue = nullptr;
    QLabel *lblFileName = nullptr;
    QLineEdit *edtFileName = nullptr;
    QPushButton *btnBrowse = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QSize pictureSize_{462, 220};
    int filterIndex_ = 1;
};
