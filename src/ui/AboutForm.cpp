#include "ui/AboutForm.h"

#include "core/Color.h"
#include "ui/DialogService.h"
#include "program/Language.h"
#include "program/ProgramOptions.h"
#include "ui/RichEdit.h"
#include "ui/Translate.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

void setTextColour(QLabel *l, TColor c)
{
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, toQColor(c));
    l->setPalette(p);
}

// A label that looks and acts like a link: blue, underlined, with a hand cursor.
QLabel *linkLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *l = label(parent, name, text);
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    setTextColour(l, Colors::clBlue);
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

// The program's name drawn twice, a light copy behind and right-down of the navy one.
void nameLabels(QWidget *parent, QLabel *&shadow, QLabel *&front)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(45);
    f.setBold(true);
    shadow = label(parent, "ProgNameShadow", QStringLiteral("Letrafex"));
    front = label(parent, "ProgNameLabel", QStringLiteral("Letrafex"));
    for (QLabel *l : {shadow, front}) {
        l->setFont(f);
        l->adjustSize();
    }
    setTextColour(shadow, Colors::clSilver);
    setTextColour(front, Colors::clNavy);
}
} // namespace

TAboutForm::TAboutForm(QWidget *parent) : TPageForm(QStringLiteral("AboutForm"), QStringLiteral("About Letrafex"), parent)
{
    auto *columns = new QHBoxLayout(this);
    columns->setContentsMargins(4, 4, 4, 4);
    columns->setSpacing(6);

    LeftColumn = new QWidget(this);
    LeftColumn->setObjectName(QStringLiteral("LeftColumn"));
    LeftColumn->setFixedWidth(257);
    auto *left = new QVBoxLayout(LeftColumn);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(4);
    auto *maker = new QHBoxLayout;
    LogoImage = label(LeftColumn, "LogoImage", QString());
    LogoImage->setPixmap(QIcon(QStringLiteral(":/icons/logo.svg")).pixmap(40, 40));
    LogoImage->setFixedSize(40, 40);
    PresentsLabel = label(LeftColumn, "PresentsLabel", QStringLiteral("presents:"));
    maker->addWidget(LogoImage);
    maker->addWidget(PresentsLabel, 1);
    left->addLayout(maker);

    auto *nameArea = new QWidget(LeftColumn);
    nameArea->setObjectName(QStringLiteral("NameArea"));
    nameLabels(nameArea, ProgNameShadow, ProgNameLabel);
    ProgNameShadow->move(6, 4);
    ProgNameLabel->move(2, 0);
    nameArea->setFixedHeight(ProgNameLabel->height() + 6);
    left->addWidget(nameArea);

    // The version and the addresses are no language texts: they are filled in when the
    // page is shown, after its translation.
    VersionLabel = label(LeftColumn, "VersionLabel", QString());
    left->addWidget(VersionLabel);
    HomepageLabel = linkLabel(LeftColumn, "HomepageLabel", QString());
    eMailLabel = linkLabel(LeftColumn, "eMailLabel", QString());
    left->addWidget(HomepageLabel);
    left->addWidget(eMailLabel);

    CreditsBox = new QGroupBox(QStringLiteral("Credits"), LeftColumn);
    CreditsBox->setObjectName(QStringLiteral("CreditsBox"));
    auto *credits = new QVBoxLayout(CreditsBox);
    credits->setContentsMargins(4, 2, 4, 4);
    CreditsMemo = new QPlainTextEdit(CreditsBox);
    CreditsMemo->setObjectName(QStringLiteral("CreditsMemo"));
    CreditsMemo->setReadOnly(true);
    CreditsMemo->setPlainText(QStringLiteral("Thanks to everyone who tried early versions\n"
                                             "and told us what was missing.\n"
                                             "Built with Qt \u00B7 libpng \u00B7 libjpeg-turbo\n"
                                             "libemf2svg \u00B7 libUEMF \u00B7 libwmf\n"
                                             "Fonts: Liberation and DejaVu"));
    credits->addWidget(CreditsMemo);
    left->addWidget(CreditsBox, 1);

    ClosingLabel = label(LeftColumn, "ClosingLabel", QStringLiteral("Have fun with Letrafex!"));
    QFont bold = ClosingLabel->font();
    bold.setBold(true);
    ClosingLabel->setFont(bold);
    left->addWidget(ClosingLabel);
    columns->addWidget(LeftColumn);

    DonationsBox = new QGroupBox(QStringLiteral("Donations"), this);
    DonationsBox->setObjectName(QStringLiteral("DonationsBox"));
    auto *donations = new QVBoxLayout(DonationsBox);
    donations->setContentsMargins(4, 2, 4, 4);
    DonationsEdit = new TRichEdit(QStringLiteral("DonationsEdit"), DonationsBox);
    DonationsEdit->setReadOnly(true);
    QPalette tip = DonationsEdit->palette();
    tip.setColor(QPalette::Base, tip.color(QPalette::ToolTipBase));
    DonationsEdit->setPalette(tip);
    donations->addWidget(DonationsEdit, 1);
    DonationBottomPanel = new QWidget(DonationsBox);
    DonationBottomPanel->setObjectName(QStringLiteral("DonationBottomPanel"));
    DonationBottomPanel->setFixedHeight(112);
    PayPalBtn = new QPushButton(QIcon(QStringLiteral(":/icons/donate.svg")), QStringLiteral("Donate"), DonationBottomPanel);
    PayPalBtn->setObjectName(QStringLiteral("PayPalBtn"));
    PayPalBtn->setIconSize(QSize(48, 48));
    PayPalBtn->setFixedSize(150, 72);
    PayPalBtn->setToolTip(QStringLiteral("Support Letrafex with a donation"));
    PayPalBtn->move(0, 20);
    DonationBottomPanel->installEventFilter(this);
    donations->addWidget(DonationBottomPanel);
    columns->addWidget(DonationsBox, 1);

    HomepageLabel->installEventFilter(this);
    eMailLabel->installEventFilter(this);
    connect(PayPalBtn, &QPushButton::clicked, this, &TAboutForm::PayPalBtnClick);
    connect(DonationsEdit, &TRichEdit::linkClicked, this, &TAboutForm::DonationsEditURLClick);
    markDesignedControls(this);
}

void TAboutForm::FormShow()
{
    setTextColour(ProgNameShadow, TColor(0x00F7CBA5));
    TranslateForm(this);
    const QString version = QCoreApplication::applicationVersion();
    VersionLabel->setText(QStringLiteral("Version ") + (version.isEmpty() ? QStringLiteral(LETRAFEX_VERSION) : version));
    HomepageLabel->setText(QStringLiteral("letrafex.org"));
    eMailLabel->setText(MailAddress);
    // The language file is found in any letter case, so the German text follows it alike.
    const bool german = ProgramOptions.languageFile.compare(QLatin1String("German.lng"), Qt::CaseInsensitive) == 0;
    const QString name = german ? QStringLiteral("Spenden.rtf") : QStringLiteral("Donation.rtf");
    const QString path = QDir(dataFolder(QStringLiteral("Texts"))).filePath(name);
    if (QFile::exists(path))
        DonationsEdit->loadRtfFile(path);
}

bool TAboutForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == HomepageLabel)
            HomepageLabelClick();
        else if (watched == eMailLabel)
            eMailLabelClick();
    } else if (event->type() == QEvent::Resize && watched == DonationBottomPanel) {
        DonationBottomPanelResize();
    }
    return TPageForm::eventFilter(watched, event);
}

void TAboutForm::ExecURL(const QString &link) { Dialogs().openLink(link); }

void TAboutForm::DonationsEditURLClick(const QString &link) { ExecURL(link); }

void TAboutForm::HomepageLabelClick() { DonationsEditURLClick(HomepageAddress); }

void TAboutForm::eMailLabelClick() { ExecURL(QStringLiteral("mailto:") + MailAddress); }

void TAboutForm::PayPalBtnClick() { ExecURL(DonationAddress); }

void TAboutForm::DonationBottomPanelResize()
{
    PayPalBtn->move(DonationBottomPanel->width() / 2 - PayPalBtn->width() / 2, PayPalBtn->y());
}
