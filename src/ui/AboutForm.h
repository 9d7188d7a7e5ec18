#pragma once
// The about page: the program's name and version, the maker's addresses, the credits and
// the donation text.
#include "ui/PageForm.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TRichEdit;

class TAboutForm : public TPageForm
{
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *parent = nullptr);

    static inline const QString HomepageAddress = QStringLiteral("https://letrafex.org");
    static inline const QString MailAddress = QStringLiteral("help@letrafex.org");
    static inline const QString DonationAddress = QStringLiteral("https://letrafex.org/donate");

    void FormShow() override;
    void DonationsEditURLClick(const QString &link);
    void HomepageLabelClick();
    void eMailLabelClick();
    void PayPalBtnClick();
    void DonationBottomPanelResize();
    // Hands a link to the desktop's "open" action.
    static void ExecURL(const QString &link);

    QWidget *LeftColumn = nullptr;
    QLabel *LogoImage = nullptr;
    QLabel *PresentsLabel = nullptr;
    QLabel *ProgNameShadow = nullptr;
    QLabel *ProgNameLabel = nullptr;
    QLabel *VersionLabel = nullptr;
    QLabel *HomepageLabel = nullptr;
    QLabel *eMailLabel = nullptr;
    QLabel *ClosingLabel = nullptr;
    QGroupBox *CreditsBox = nullptr;
    QPlainTextEdit *CreditsMemo = nullptr;
    QGroupBox *DonationsBox = nullptr;
    TRichEdit *DonationsEdit = nullptr;
    QWidget *DonationBottomPanel = nullptr;
    QPushButton *PayPalBtn = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
