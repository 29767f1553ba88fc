#pragma once
// The attributes area: a tab view whose pages show and edit what is kept about the item
// selected in the browser (a file's dates, a folder's filing tools, a smart folder's
// report), with the item's notes below. The core decides which pages show and what the
// tool tips say; the area lays them out, takes the edits and hands them to the core.
//
// Notes are written when typing pauses or the field loses the focus, and a pending edit is
// written before the area shows anything else: an encrypted database enciphers every write,
// so never one per keystroke, and nothing typed is lost.

#include "attributes/attributepages.h"
#include "filing/filedates.h"

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;

namespace folivo::gui {

class LoginPage;
class ReminderPage;
class TagsField;
class CustomAttributesTable;
class WindowContext;

class AttributesArea : public QWidget {
    Q_OBJECT
public:
    explicit AttributesArea(WindowContext& window, QWidget* parent = nullptr);
    ~AttributesArea() override;

    // The browser's selection, by path; what was typed for the previous one is written first.
    void showSelection(const QStringList& paths);
    // Shows the selection again (the database opened, the preferences changed).
    void refresh();
    // Writes what is typed and not yet stored: the notes and the folder's strings.
    void commitPending();
    // Shows nothing and forgets the selection (the database closes).
    void clear();

    QString shownPath() const { return config_.shownPath; }
    const AttributePagesConfig& config() const { return config_; }

    // The shown file's text selection changed: the "Use Selection" buttons follow.
    void shownSelectionChanged(bool hasSelection);
    // Another file is shown (or none): the phrases are looked for in it.
    void shownFileChanged();

    // The parts, for the window's tests.
    QTabWidget* tabs() const { return tabs_; }
    QTabWidget* folderTabs() const { return folderTabs_; }
    QWidget* filePage() const { return filePage_; }
    QWidget* folderPage() const { return folderPage_; }
    QWidget* reportPage() const { return reportPage_; }
    // The reports put their page in place of the placeholder (the area takes it).
    void setReportPage(QWidget* page);
    QWidget* noAttributesPage() const { return noAttributesPage_; }
    QWidget* autoFilingPage() const { return autoFilePage_; }
    QLineEdit* startDateField() const { return startDate_; }
    QLineEdit* endDateField() const { return endDate_; }
    QLabel* dateWarning() const { return dateWarning_; }
    QPushButton* resetDatesButton() const { return resetDates_; }
    QPlainTextEdit* notesField() const { return notes_; }
    TagsField* tagsField() const { return tagsField_; }
    ReminderPage* reminderPage() const { return reminderPage_; }
    LoginPage* loginPage() const { return loginPage_; }
    // Brings the folder page's reminder tab to the front (when a folder is shown).
    void showReminderPage();
    CustomAttributesTable* customAttributesTable() const { return customAttributes_; }
    QLineEdit* matchField() const { return match_; }
    QLineEdit* startPhraseField() const { return startPhrase_; }
    QLineEdit* endPhraseField() const { return endPhrase_; }
    QCheckBox* dayFirstSwitch() const { return dayFirst_; }
    QPushButton* useSelectionForMatch() const { return useMatch_; }
    QPushButton* useSelectionForStart() const { return useStart_; }
    QPushButton* useSelectionForEnd() const { return useEnd_; }
    QLabel* startFoundLabel() const { return startFound_; }
    QLabel* endFoundLabel() const { return endFound_; }
    QLabel* startNoDateWarning() const { return startNoDate_; }
    QLabel* endNoDateWarning() const { return endNoDate_; }
    QPushButton* applyDatesButton() const { return apply_; }
    // The last preview of the phrases; tests wait for it.
    const PhrasePreview& preview() const { return preview_; }
    int previewsRun() const { return previewsRun_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildFilePage();
    QWidget* buildFolderPage();
    QWidget* buildAutoFilePage();
    void configure(const AttributePagesConfig& config);
    void fillFilePage();
    void fillFolderPage();
    void setDatesShown(const QString& from, const QString& to);

    void storeTags(const QStringList& tags);
    void notesEdited();
    void commitNotes();
    void checkDates();
    void resetDates();
    // Stores the dates on the shown file and selects it where it went.
    void storeDates(std::optional<QDate> start, std::optional<QDate> end);

    void commitMatch();
    void commitPhrases();
    void useSelection(QLineEdit* field, const QString& key);
    void dayFirstToggled(bool on);
    void phrasesEdited();
    void schedulePreview(int delayMs);
    void evaluatePhrases();
    void applyDates();
    bool autoFilingPageCurrent() const;
    void updateUseSelectionButtons();

    bool writable() const;
    bool europeanDisplay() const;

    WindowContext& window_;
    AttributePagesConfig config_;
    QStringList paths_;

    QTabWidget* tabs_;
    QWidget* filePage_;
    QWidget* folderPage_;
    QWidget* reportPage_;
    QWidget* noAttributesPage_;
    QTabWidget* folderTabs_ = nullptr;
    QWidget* autoFilePage_ = nullptr;

    QLineEdit* startDate_ = nullptr;
    QLineEdit* endDate_ = nullptr;
    QLabel* dateWarning_ = nullptr;
    QPushButton* resetDates_ = nullptr;
    CustomAttributesTable* customAttributes_ = nullptr;
    QPlainTextEdit* notes_;
    TagsField* tagsField_ = nullptr;
    ReminderPage* reminderPage_ = nullptr;
    LoginPage* loginPage_ = nullptr;
    QLabel* notesLabel_;

    QLineEdit* match_ = nullptr;
    QLineEdit* startPhrase_ = nullptr;
    QLineEdit* endPhrase_ = nullptr;
    QCheckBox* dayFirst_ = nullptr;
    QPushButton* useMatch_ = nullptr;
    QPushButton* useStart_ = nullptr;
    QPushButton* useEnd_ = nullptr;
    QLabel* startFound_ = nullptr;
    QLabel* endFound_ = nullptr;
    QLabel* startNoDate_ = nullptr;
    QLabel* endNoDate_ = nullptr;
    QPushButton* apply_ = nullptr;

    QTimer* notesTimer_;
    QTimer* previewTimer_;
    // Whose notes the field holds and whether they were edited since they were stored.
    QString notesPath_;
    bool notesDirty_ = false;
    // The folder whose strings the auto-filing page holds, and which of them were edited.
    QString phrasesFolder_;
    bool matchDirty_ = false;
    bool phrasesDirty_ = false;
    bool loading_ = false;
    bool shownHasSelection_ = false;
    // The shown file changed while the auto-filing page was not in front.
    bool previewStale_ = true;
    PhrasePreview preview_;
    int previewsRun_ = 0;
};

} // namespace folivo::gui
