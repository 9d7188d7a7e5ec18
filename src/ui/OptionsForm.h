#pragma once
// The options page: general options, the position of the page list, the window and
// message colours, and the language. It edits ProgramOptions; the main window applies
// them when the user leaves the page.
#include "ui/PageForm.h"

class QGroupBox;
class QLabel;
class QListWidget;
class TCheckListBox;
class TRadioGroup;
class TShape;

class TOptionsForm : public TPageForm
{
    Q_OBJECT
public:
    explicit TOptionsForm(QWidget *parent = nullptr);

    void FormShow() override;
    void FormClose();
    void FormResize();
    void WindowColorMouseDown(TShape *shape);
    void LngListBoxClick();
    // Copies the controls into ProgramOptions (on hiding and closing).
    void StoreOptions();

    QGroupBox *SettingsBox = nullptr;
    QGroupBox *GenOptionsBox = nullptr;
    TCheckListBox *GenOptListBox = nullptr;
    TRadioGroup *TextBoxPosBox = nullptr;
    QGroupBox *WindowColorBox = nullptr;
    TShape *WindowColor = nullptr;
    QGroupBox *MessagesBox = nullptr;
    QLabel *MStartLabel = nullptr;
    QLabel *MEndLabel = nullptr;
    TShape *MStartColor = nullptr;
    TShape *MEndColor = nullptr;
    QGroupBox *LanguageBox = nullptr;
    QListWidget *LngListBox = nullptr;

protected:
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
};
