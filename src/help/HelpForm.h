#pragma once
// The help page: the help documents of the Help folder, each with its tree of topics, a
// find command, links, and preview and print through the print engine.
#include "ui/PageForm.h"

#include <functional>
#include <optional>

class QAbstractButton;
class QGroupBox;
class QListWidget;
class QSplitter;
class QToolButton;
class QTreeWidget;
class TRichEdit;

class THelpForm : public TPageForm
{
    Q_OBJECT
public:
    explicit THelpForm(QWidget *parent = nullptr);

    void FormShow() override;
    void FormResize();
    void HFilesListBoxClick();
    void HTopicsViewClick();
    void HelpFindButtonClick();
    // F3: finds the last searched text again, or asks for one when nothing was searched yet.
    void HelpFindAgain();
    void HelpPrintButtonClick(QAbstractButton *sender);
    void HelpTextFieldURLClick(const QString &link);

    void FillHelpFileList();
    void LoadHelpFile(const QString &name);
    void ShowHelpTopic(const QString &topic);
    void FindInRichText(const QString &text);

    // Where the page reports its progress (the main window's gauge).
    std::function<void(int)> progress;

    QWidget *HelpPanel = nullptr;
    QWidget *HelpLeftPanel = nullptr;
    QGroupBox *HelpFilesBox = nullptr;
    QListWidget *HFilesListBox = nullptr;
    QGroupBox *HelpTopicsBox = nullptr;
    QTreeWidget *HTopicsView = nullptr;
    QSplitter *HelpSplitter = nullptr;
    TRichEdit *HelpTextField = nullptr;
    QWidget *HelpRightPanel = nullptr;
    QWidget *HelpButtonPanel = nullptr;
    QToolButton *HelpPreviewButton = nullptr;
    QToolButton *HelpPrintButton = nullptr;
    QToolButton *HelpFindButton = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void report(int percent);
    // Selects the document of the current language (named as its language file, "German"
    // for German.lng), else the first, and shows it; once the language's document has been
    // shown, the one the user last opened stays until the language changes.
    void selectLanguageDocument();
    // Loads the RTF document into the text; a file that is no readable RTF is reported,
    // naming it and the reason, and leaves the text empty.
    void showHelpDocument(const QString &path);
    // Whether the characters [start, start + length) are a heading: pure blue, bold and
    // underlined, neither italic nor struck out.
    bool isHeading(int start, int length) const;
    // Scrolls down, never up, until the line of the selection's start is the first one shown.
    void scrollSelectionToTop();

    QString lastFindText_;
    QString loadedDocument_;
    // The language whose document was last chosen for the user; none before the first showing.
    std::optional<QString> documentLanguage_;
};
