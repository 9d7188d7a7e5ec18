#include "app/ExportForm.h"

#include "imageio/PictureFiles.h"
#include "ui/DialogService.h"
#include "program/Language.h"
#include "ui/MessageDialogs.h"
#include "ui/Translate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>

#include <iterator>

namespace {
// The formats in the order of the format list.
const ExportFormat listedFormats[] = {ExportFormat::Png, ExportFormat::Tiff, ExportFormat::Jpeg, ExportFormat::Bmp,
                                      ExportFormat::Svg, ExportFormat::Pdf,  ExportFormat::Webp};
constexpr int listedCount = int(std::size(listedFormats));

template <typename W>
W *placed(W *w, const char *name, int x, int y, int width, int height = 21)
{
    w->setObjectName(QLatin1String(name));
    w->setGeometry(x, y, width, height);
    return w;
}
} // namespace

TExportForm::TExportForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ExportForm"));
    setWindowTitle(QStringLiteral("Export picture"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(360, 240);
    lblFormat = placed(new QLabel(QStringLiteral("Format"), this), "lblFormat", 8, 10, 90);
    cbxFormat = placed(new QComboBox(this), "cbxFormat", 100, 10, 252);
    cbxFormat->addItems({QStringLiteral("PNG picture"), QStringLiteral("TIFF picture"), QStringLiteral("JPEG picture"),
                         QStringLiteral("BMP picture"), QStringLiteral("SVG drawing"), QStringLiteral("PDF document"),
                         QStringLiteral("WebP picture")});
    chkTransparent = placed(new QCheckBox(QStringLiteral("Transparent background"), this), "chkTransparent", 100, 38, 252);
    chkLossless = placed(new QCheckBox(QStringLiteral("Lossless"), this), "chkLossless", 100, 66, 120);
    chkLossless->setChecked(true);
    lblQuality = placed(new QLabel(QStringLiteral("Quality"), this), "lblQuality", 224, 66, 70);
    spnQuality = placed(new QSpinBox(this), "spnQuality", 298, 66, 54);
    spnQuality->setRange(0, 100);
    spnQuality->setValue(DefaultWebpQuality);
    chkAnimate = placed(new QCheckBox(QStringLiteral("Animated: the texts grow in depth"), this), "chkAnimate", 100, 94,
                        252);
    lblScale = placed(new QLabel(QStringLiteral("Scale"), this), "lblScale", 8, 122, 90);
    spnScale = placed(new QSpinBox(this), "spnScale", 100, 122, 50);
    spnScale->setRange(MinExportScale, MaxExportScale);
    lblSize = placed(new QLabel(QStringLiteral("Size"), this), "lblSize", 8, 150, 90);
    lblSizeValue = placed(new QLabel(this), "lblSizeValue", 100, 150, 252);
    lblFileName = placed(new QLabel(QStringLiteral("File name"), this), "lblFileName", 8, 178, 90);
    edtFileName = placed(new QLineEdit(this), "edtFileName", 100, 178, 146);
    btnBrowse = placed(new QPushButton(QStringLiteral("Browse..."), this), "btnBrowse", 250, 177, 102, 23);
    btnOK = placed(new QPushButton(QStringLiteral("OK"), this), "btnOK", 192, 210, 78, 24);
    btnOK->setDefault(true);
    btnCancel = placed(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel", 274, 210, 78, 24);
    connect(cbxFormat, &QComboBox::currentIndexChanged, this, &TExportForm::cbxFormatChange);
    connect(chkLossless, &QCheckBox::clicked, this, &TExportForm::chkLosslessClick);
    connect(spnScale, &QSpinBox::valueChanged, this, &TExportForm::spnScaleChange);
    connect(btnBrowse, &QPushButton::clicked, this, [this] { runGuarded(this, [this] { btnBrowseClick(); }); });
    connect(btnOK, &QPushButton::clicked, this, &TExportForm::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TExportForm::btnCancelClick);
    markDesignedControls(this);
    cbxFormatChange();
}

void TExportForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TExportForm::FormShow()
{
    TranslateForm(this);
    spnScaleChange();
}

void TExportForm::setPictureSize(QSize size)
{
    pictureSize_ = size;
    spnScaleChange();
}

void TExportForm::setFileName(const QString &fileName)
{
    ExportFormat format = ExportFormat::Png;
    if (exportFormatFor(fileName, format))
        cbxFormat->setCurrentIndex(int(std::find(std::begin(listedFormats), std::end(listedFormats), format) -
                                       std::begin(listedFormats)));
    edtFileName->setText(fileName);
}

ExportOptions TExportForm::options() const
{
    const ExportFormat format = listedFormats[qBound(0, cbxFormat->currentIndex(), listedCount - 1)];
    const WebpOptions webp{chkLossless->isChecked(), spnQuality->value()};
    return {format, chkTransparent->isChecked() && exportKeepsTransparency(format), spnScale->value(), webp,
            chkAnimate->isChecked() && exportAnimates(format)};
}

QString TExportForm::fileName() const
{
    const QString name = edtFileName->text().trimmed();
    ExportFormat named = ExportFormat::Png;
    if (name.isEmpty() || (exportFormatFor(name, named) && named == options().format))
        return name;
    return name + exportExtension(options().format);
}

void TExportForm::cbxFormatChange()
{
    const ExportFormat format = options().format;
    chkTransparent->setEnabled(exportKeepsTransparency(format));
    if (!chkTransparent->isEnabled())
        chkTransparent->setChecked(false);
    chkLossless->setEnabled(format == ExportFormat::Webp);
    chkAnimate->setEnabled(exportAnimates(format));
    if (!chkAnimate->isEnabled())
        chkAnimate->setChecked(false);
    chkLosslessClick();
    // A name that ends in another format's extension takes this one's.
    const QString name = edtFileName->text();
    ExportFormat named = format;
    if (exportFormatFor(name, named) && named != format)
        edtFileName->setText(name.left(name.size() - fileExtension(name).size()) + exportExtension(format));
}

void TExportForm::chkLosslessClick()
{
    // The quality only counts for a lossy WebP picture.
    const bool lossy = chkLossless->isEnabled() && !chkLossless->isChecked();
    lblQuality->setEnabled(lossy);
    spnQuality->setEnabled(lossy);
}

void TExportForm::spnScaleChange()
{
    const QSize s = exportSize(pictureSize_, spnScale->value());
    lblSizeValue->setText(QStringLiteral("%1 x %2 %3")
                              .arg(s.width())
                              .arg(s.height())
                              .arg(LngText(QStringLiteral("Captions"), QStringLiteral("pixels"))));
}

void TExportForm::btnBrowseClick()
{
    const ExportFormat format = options().format;
    const QString pattern = QLatin1Char('*') + exportExtension(format);
    QString name = fileName();
    if (Dialogs().saveFile(name, cbxFormat->currentText() + QLatin1Char('|') + pattern, filterIndex_, this))
        edtFileName->setText(name);
}

void TExportForm::btnOKClick()
{
    if (fileName().isEmpty())
        return;
    const ExportFormat format = options().format;
    const bool vector = format == ExportFormat::Svg || format == ExportFormat::Pdf;
    if (!vector && !exportSizeAllowed(pictureSize_, spnScale->value())) {
        ShowMessageBox(LngText(QStringLiteral("Messages"), QStringLiteral("A picture of this size is not possible.")),
                       QStringLiteral("w"));
        return;
    }
    // Declining leaves the dialog open for another name.
    if (!ConfirmReplaceFile(fileName()))
        return;
    Confirmed = true;
    accept();
}

void TExportForm::btnCancelClick()
{
    Confirmed = false;
    reject();
}
