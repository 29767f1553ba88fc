#include "attributesarea.h"

#include "attributesmessages.h"
#include "browser/browserpane.h"
#include "commandmodule.h"
#include "content/contentarea.h"
#include "content/shownfile.h"
#include "customattributestable.h"

#include "attributes/notes.h"
#include "attributes/tags.h"
#include "tagsfield.h"
#include "logins/loginpage.h"
#include "reminders/reminderpage.h"
#include "filing/filingrules.h"
#include "filing/ktdate.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace folivo::gui {

namespace {

// Notes are written once typing has paused this long.
constexpr int kNotesPauseMs = 1000;
// The phrases are looked for in the whole shown text once typing has paused this long.
constexpr int kPreviewPauseMs = 300;

QLabel* warningLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setStyleSheet(QStringLiteral("color: #b00020;"));
    label->setWordWrap(true);
    label->setVisible(false);
    return label;
}

QWidget* placeholder(const QString& name, const QString& text, QWidget* parent)
{
    auto* w = new QLabel(text, parent);
    w->setObjectName(name);
    w->setAlignment(Qt::AlignCenter);
    w->setEnabled(false);
    return w;
}

std::optional<QDate> storedDay(const MyDocument& doc, const QString& path, bool start)
{
    const IndexItem* item = doc.tree().itemForPath(path);
    if (!item)
        return std::nullopt;
    return start ? itemStartDate(*item) : itemEndDate(*item);
}

} // namespace

AttributesArea::AttributesArea(WindowContext& window, QWidget* parent)
    : QWidget(parent),
      window_(window),
      tabs_(new QTabWidget(this)),
      notes_(new QPlainTextEdit(this)),
      notesLabel_(new QLabel(attrmsg::Notes, this)),
      notesTimer_(new QTimer(this)),
      previewTimer_(new QTimer(this))
{
    setObjectName(QStringLiteral("attributesArea"));
    filePage_ = buildFilePage();
    folderPage_ = buildFolderPage();
    reportPage_ = placeholder(QStringLiteral("reportPage"), attrmsg::ReportPlaceholder, this);
    noAttributesPage_ = placeholder(QStringLiteral("noAttributesPage"), attrmsg::NoAttributes, this);
    for (QWidget* page : {filePage_, folderPage_, reportPage_, noAttributesPage_})
        page->hide();

    notes_->setObjectName(QStringLiteral("notesField"));
    notes_->setTabChangesFocus(true);
    notes_->installEventFilter(this);
    notesLabel_->setBuddy(notes_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tabs_, 3);
    layout->addWidget(notesLabel_);
    layout->addWidget(notes_, 1);

    notesTimer_->setSingleShot(true);
    notesTimer_->setInterval(kNotesPauseMs);
    connect(notesTimer_, &QTimer::timeout, this, &AttributesArea::commitNotes);
    connect(notes_, &QPlainTextEdit::textChanged, this, &AttributesArea::notesEdited);

    previewTimer_->setSingleShot(true);
    connect(previewTimer_, &QTimer::timeout, this, &AttributesArea::evaluatePhrases);

    const auto pageChanged = [this] {
        if (autoFilingPageCurrent())
            schedulePreview(0);
    };
    connect(tabs_, &QTabWidget::currentChanged, this, pageChanged);
    connect(folderTabs_, &QTabWidget::currentChanged, this, pageChanged);

    clear();
}

AttributesArea::~AttributesArea() = default;

void AttributesArea::setReportPage(QWidget* page)
{
    if (!page || page == reportPage_)
        return;
    const int at = tabs_->indexOf(reportPage_);
    QWidget* old = reportPage_;
    reportPage_ = page;
    page->setParent(this);
    if (at >= 0) {
        QSignalBlocker block(tabs_);
        tabs_->removeTab(at);
        tabs_->insertTab(at, page, attrmsg::ReportPage);
        tabs_->setCurrentIndex(at);
    } else {
        page->hide();
    }
    old->deleteLater();
}

QWidget* AttributesArea::buildFilePage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("filePage"));
    startDate_ = new QLineEdit(page);
    startDate_->setObjectName(QStringLiteral("startingDateField"));
    endDate_ = new QLineEdit(page);
    endDate_->setObjectName(QStringLiteral("endingDateField"));
    resetDates_ = new QPushButton(attrmsg::ResetDates, page);
    resetDates_->setObjectName(QStringLiteral("resetDatesButton"));
    dateWarning_ = warningLabel(page);
    dateWarning_->setObjectName(QStringLiteral("dateErrorMessage"));

    auto* dates = new QGridLayout;
    dates->addWidget(new QLabel(attrmsg::StartingDate, page), 0, 0);
    dates->addWidget(startDate_, 0, 1);
    dates->addWidget(new QLabel(attrmsg::EndingDate, page), 1, 0);
    dates->addWidget(endDate_, 1, 1);
    dates->addWidget(resetDates_, 0, 2, 2, 1);
    dates->addWidget(dateWarning_, 2, 0, 1, 3);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(dates);
    auto* tags = new QHBoxLayout;
    tagsField_ = new TagsField(page);
    auto* tagsLabel = new QLabel(attrmsg::Tags, page);
    tagsLabel->setBuddy(tagsField_->editor());
    tags->addWidget(tagsLabel, 0, Qt::AlignTop);
    tags->addWidget(tagsField_, 1);
    layout->addLayout(tags);
    connect(tagsField_, &TagsField::tagsCommitted, this, &AttributesArea::storeTags);
    connect(tagsField_, &TagsField::completionsWanted, this, [this] {
        MyDocument& doc = window_.document();
        if (doc.dbOpen())
            tagsField_->setCompletions(allFileTags(doc));
    });
    customAttributes_ = new CustomAttributesTable(window_, page);
    layout->addWidget(customAttributes_, 1);

    connect(startDate_, &QLineEdit::editingFinished, this, &AttributesArea::checkDates);
    connect(endDate_, &QLineEdit::editingFinished, this, &AttributesArea::checkDates);
    connect(resetDates_, &QPushButton::clicked, this, &AttributesArea::resetDates);
    return page;
}

QWidget* AttributesArea::buildFolderPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("folderPage"));
    folderTabs_ = new QTabWidget(page);
    folderTabs_->setObjectName(QStringLiteral("folderTabs"));
    loginPage_ = new LoginPage(window_.document(), window_.preferences(), window_.platform(), folderTabs_);
    folderTabs_->addTab(loginPage_, attrmsg::WebsiteLoginPage);
    // A generated password keeps the one it replaced in the notes shown below.
    connect(loginPage_, &LoginPage::notesChanged, this, [this] { refresh(); });
    reminderPage_ = new ReminderPage(window_.document(), window_.preferences(), folderTabs_);
    folderTabs_->addTab(reminderPage_, attrmsg::ReminderPage);
    autoFilePage_ = buildAutoFilePage();
    folderTabs_->addTab(autoFilePage_, attrmsg::AutoFilingPage);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(folderTabs_);
    return page;
}

QWidget* AttributesArea::buildAutoFilePage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("autoFilingPage"));
    const auto field = [page](const char* name) {
        auto* f = new QLineEdit(page);
        f->setObjectName(QString::fromLatin1(name));
        f->setClearButtonEnabled(true);
        return f;
    };
    const auto button = [page](const char* name) {
        auto* b = new QPushButton(attrmsg::UseSelection, page);
        b->setObjectName(QString::fromLatin1(name));
        b->setEnabled(false);
        return b;
    };
    const auto info = [page](const char* name) {
        auto* l = new QLabel(page);
        l->setObjectName(QString::fromLatin1(name));
        l->setVisible(false);
        return l;
    };
    match_ = field("categoryMatch");
    startPhrase_ = field("startingDateMatch");
    endPhrase_ = field("endingDateMatch");
    useMatch_ = button("useCategoryMatch");
    useStart_ = button("useStartingDateMatch");
    useEnd_ = button("useEndingDateMatch");
    startFound_ = info("dateFoundAfterStartingDateMatchLabel");
    endFound_ = info("dateFoundAfterEndingDateMatchLabel");
    startNoDate_ = warningLabel(page);
    startNoDate_->setObjectName(QStringLiteral("noDateAfterStartingDateMatchWarning"));
    startNoDate_->setText(attrmsg::NoDateAfterPhrase);
    endNoDate_ = warningLabel(page);
    endNoDate_->setObjectName(QStringLiteral("noDateAfterEndingDateMatchWarning"));
    endNoDate_->setText(attrmsg::NoDateAfterPhrase);
    dayFirst_ = new QCheckBox(attrmsg::DayFirst, page);
    dayFirst_->setObjectName(QStringLiteral("categoryEuropeanDateSwitch"));
    apply_ = new QPushButton(attrmsg::ApplyDates, page);
    apply_->setObjectName(QStringLiteral("applyDatesButton"));
    apply_->setVisible(false);

    // Each label above its field: the column below the tree is narrow.
    auto* grid = new QGridLayout(page);
    grid->setVerticalSpacing(2);
    int row = 0;
    const auto addField = [&](const QString& label, QLineEdit* field, QPushButton* use) {
        auto* title = new QLabel(label, page);
        title->setBuddy(field);
        grid->addWidget(title, row++, 0, 1, 2);
        grid->addWidget(field, row, 0);
        grid->addWidget(use, row++, 1);
    };
    addField(attrmsg::TextMatch, match_, useMatch_);
    addField(attrmsg::StartingDateFollows, startPhrase_, useStart_);
    grid->addWidget(startFound_, row++, 0, 1, 2);
    grid->addWidget(startNoDate_, row++, 0, 1, 2);
    addField(attrmsg::EndingDateFollows, endPhrase_, useEnd_);
    grid->addWidget(endFound_, row++, 0, 1, 2);
    grid->addWidget(endNoDate_, row++, 0, 1, 2);
    grid->addWidget(dayFirst_, row++, 0, 1, 2);
    grid->addWidget(apply_, row++, 0, 1, 2, Qt::AlignRight);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(0, 1);

    connect(match_, &QLineEdit::textEdited, this, [this] { matchDirty_ = true; });
    connect(match_, &QLineEdit::editingFinished, this, &AttributesArea::commitMatch);
    for (QLineEdit* phrase : {startPhrase_, endPhrase_}) {
        connect(phrase, &QLineEdit::textEdited, this, &AttributesArea::phrasesEdited);
        connect(phrase, &QLineEdit::editingFinished, this, &AttributesArea::commitPhrases);
    }
    connect(useMatch_, &QPushButton::clicked, this, [this] { useSelection(match_, filingkeys::CategoryMatch); });
    connect(useStart_, &QPushButton::clicked, this,
            [this] { useSelection(startPhrase_, filingkeys::StartingDateMatch); });
    connect(useEnd_, &QPushButton::clicked, this, [this] { useSelection(endPhrase_, filingkeys::EndingDateMatch); });
    connect(dayFirst_, &QCheckBox::toggled, this, &AttributesArea::dayFirstToggled);
    connect(apply_, &QPushButton::clicked, this, &AttributesArea::applyDates);
    return page;
}

// ---- What shows ---------------------------------------------------------------------------

bool AttributesArea::writable() const
{
    return window_.document().canChange();
}

bool AttributesArea::europeanDisplay() const
{
    return FilingPreferences::from(window_.preferences()).europeanDates;
}

void AttributesArea::showSelection(const QStringList& paths)
{
    commitPending();
    paths_ = paths;
    MyDocument& doc = window_.document();
    std::vector<const IndexItem*> items;
    if (doc.dbOpen())
        for (const QString& path : paths)
            if (const IndexItem* item = doc.tree().itemForPath(path))
                items.push_back(item);
    const KTPrefs* prefs = window_.preferences();
    const bool importLog = prefs && prefs->boolForKey(prefkeys::ImportLog);
    configure(attributePagesFor(doc.tree(), items, importLog, doc.dbOpen() && writable()));
}

void AttributesArea::refresh()
{
    showSelection(paths_);
}

void AttributesArea::clear()
{
    commitPending();
    paths_.clear();
    AttributePagesConfig none;
    none.pages = {AttributePage::NoAttributes};
    configure(none);
}

void AttributesArea::configure(const AttributePagesConfig& config)
{
    const bool samePages = config.pages == config_.pages;
    const bool sameItem = config.shownPath == config_.shownPath;
    config_ = config;
    loading_ = true;
    if (!samePages) {
        // The pages go from the last to the first, then the selection's come.
        QSignalBlocker block(tabs_);
        while (tabs_->count() > 0)
            tabs_->removeTab(tabs_->count() - 1);
        for (AttributePage page : config_.pages) {
            switch (page) {
            case AttributePage::File:
                tabs_->addTab(filePage_, attrmsg::FilePage);
                break;
            case AttributePage::Folder:
                tabs_->addTab(folderPage_, attrmsg::FolderPage);
                break;
            case AttributePage::Report:
                tabs_->addTab(reportPage_, attrmsg::ReportPage);
                break;
            case AttributePage::NoAttributes:
                tabs_->addTab(noAttributesPage_, attrmsg::NoAttributesPage);
                break;
            }
        }
    }
    tabs_->setToolTip(config_.attributesToolTip);
    notes_->setToolTip(config_.notesToolTip);
    notesLabel_->setToolTip(config_.notesToolTip);

    // The notes: kept as typed while the field is being edited and the item stays the same.
    const bool keepTyping = sameItem && notes_->hasFocus() && notesPath_ == config_.notesPath;
    if (!keepTyping) {
        notesPath_ = config_.notesPath;
        notes_->setPlainText(notesPath_.isEmpty() ? QString() : notesOf(window_.document(), notesPath_));
        notesDirty_ = false;
    }
    // Never disabled: the tool tip says why nothing can be typed.
    notes_->setReadOnly(!config_.notesEditable);
    notes_->setTextInteractionFlags(notesPath_.isEmpty()    ? Qt::NoTextInteraction
                                    : config_.notesEditable ? Qt::TextEditorInteraction
                                                            : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    fillFilePage();
    fillFolderPage();
    loading_ = false;
    updateUseSelectionButtons();
    previewStale_ = true;
    if (autoFilingPageCurrent())
        schedulePreview(0);
}

void AttributesArea::setDatesShown(const QString& from, const QString& to)
{
    startDate_->setText(from);
    endDate_->setText(to);
}

void AttributesArea::fillFilePage()
{
    const bool editable = config_.datesEditable;
    for (QLineEdit* f : {startDate_, endDate_})
        f->setReadOnly(!editable);
    resetDates_->setEnabled(editable);
    dateWarning_->setVisible(false);
    dateWarning_->clear();
    tagsField_->setEditable(editable && !config_.filePath.isEmpty());
    customAttributes_->showItem(config_.filePath, config_.datesEditable);
    if (config_.filePath.isEmpty()) {
        setDatesShown({}, {});
        tagsField_->setTags({});
        return;
    }
    const MyDocument& doc = window_.document();
    {
        const IndexItem* file = doc.tree().itemForPath(config_.filePath);
        tagsField_->setTags(file ? tagsOf(*file) : QStringList());
    }
    const bool european = europeanDisplay();
    const auto shown = [&](const std::optional<QDate>& d) {
        return d ? displayDate(KTDate::atMidnight(*d), european) : QString();
    };
    setDatesShown(shown(storedDay(doc, config_.filePath, true)), shown(storedDay(doc, config_.filePath, false)));
}

void AttributesArea::showReminderPage()
{
    if (tabs_->indexOf(folderPage_) < 0)
        return;
    tabs_->setCurrentWidget(folderPage_);
    folderTabs_->setCurrentWidget(reminderPage_);
}

void AttributesArea::storeTags(const QStringList& tags)
{
    MyDocument& doc = window_.document();
    if (!doc.dbOpen() || config_.filePath.isEmpty())
        return;
    setTags(doc, config_.filePath, tags);
    // What the field shows is what was stored: a refused store shows the file's tags again.
    if (const IndexItem* file = doc.tree().itemForPath(config_.filePath); file && tagsOf(*file) != tags)
        tagsField_->setTags(tagsOf(*file));
    window_.refreshActions();
}

void AttributesArea::fillFolderPage()
{
    phrasesFolder_ = config_.folderPath;
    matchDirty_ = false;
    phrasesDirty_ = false;
    const IndexItem* folder =
        phrasesFolder_.isEmpty() ? nullptr : window_.document().tree().itemForPath(phrasesFolder_);
    const auto text = [folder](const QString& key) {
        const plist::Value* v = folder ? folder->value(key) : nullptr;
        return v && v->isString() ? v->string() : QString();
    };
    match_->setText(text(filingkeys::CategoryMatch));
    startPhrase_->setText(text(filingkeys::StartingDateMatch));
    endPhrase_->setText(text(filingkeys::EndingDateMatch));
    {
        QSignalBlocker block(dayFirst_);
        dayFirst_->setChecked(folder && folder->flag(filingkeys::EuropeanDates));
    }
    const bool editable = folder && writable();
    reminderPage_->showFolder(folder ? phrasesFolder_ : QString(), editable);
    loginPage_->showFolder(folder ? phrasesFolder_ : QString(), editable);
    for (QLineEdit* f : {match_, startPhrase_, endPhrase_})
        f->setReadOnly(!editable);
    dayFirst_->setEnabled(editable);
}

// ---- Notes ----------------------------------------------------------------------------------

void AttributesArea::notesEdited()
{
    if (loading_ || notesPath_.isEmpty() || !config_.notesEditable)
        return;
    notesDirty_ = true;
    notesTimer_->start();
}

void AttributesArea::commitNotes()
{
    notesTimer_->stop();
    if (!notesDirty_)
        return;
    notesDirty_ = false;
    MyDocument& doc = window_.document();
    if (doc.dbOpen() && !notesPath_.isEmpty())
        saveNotes(doc, notesPath_, notes_->toPlainText());
}

void AttributesArea::commitPending()
{
    tagsField_->commitTyped();
    loginPage_->commitPending();
    commitNotes();
    commitMatch();
    commitPhrases();
}

bool AttributesArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == notes_ && event->type() == QEvent::FocusOut)
        commitNotes();
    return QWidget::eventFilter(watched, event);
}

// ---- Dates ----------------------------------------------------------------------------------

void AttributesArea::checkDates()
{
    if (loading_ || !config_.datesEditable || config_.filePath.isEmpty())
        return;
    MyDocument& doc = window_.document();
    const QString path = config_.filePath;
    const DateFieldsEdit edit =
        editDateFields(startDate_->text(), endDate_->text(), storedDay(doc, path, true), storedDay(doc, path, false),
                       filingFolderOf(doc, path), europeanDisplay());
    setDatesShown(edit.fromText, edit.toText);
    dateWarning_->setText(edit.warning);
    dateWarning_->setVisible(!edit.warning.isEmpty());
    if (!edit.ok || !edit.change.changed())
        return;
    storeDates(edit.change.start, edit.change.end);
}

void AttributesArea::resetDates()
{
    if (!config_.datesEditable)
        return;
    setDatesShown({}, {});
    checkDates();
}

void AttributesArea::storeDates(std::optional<QDate> start, std::optional<QDate> end)
{
    const QString path = config_.filePath;
    MyDocument& doc = window_.document();
    const OperationResult r = storeFileDates(doc, path, start, end);
    if (r.status != OperationResult::Status::Done || r.resultPath.isEmpty())
        return;
    if (r.resultPath != path) {
        // The file went into other date folders: it stays the one selected.
        QPointer<AttributesArea> self(this);
        window_.browser().selectItems({r.resultPath});
        if (self && config_.shownPath != r.resultPath)
            showSelection({r.resultPath});
    } else {
        fillFilePage();
    }
}

// ---- The folder's filing tools ------------------------------------------------------------

void AttributesArea::commitMatch()
{
    if (loading_ || !matchDirty_)
        return;
    matchDirty_ = false;
    if (!phrasesFolder_.isEmpty())
        setFolderFilingText(window_.document(), phrasesFolder_, filingkeys::CategoryMatch, match_->text());
}

void AttributesArea::commitPhrases()
{
    if (loading_ || !phrasesDirty_)
        return;
    phrasesDirty_ = false;
    if (phrasesFolder_.isEmpty())
        return;
    MyDocument& doc = window_.document();
    setFolderFilingText(doc, phrasesFolder_, filingkeys::StartingDateMatch, startPhrase_->text());
    setFolderFilingText(doc, phrasesFolder_, filingkeys::EndingDateMatch, endPhrase_->text());
}

void AttributesArea::useSelection(QLineEdit* field, const QString& key)
{
    const ShownFile* shown = window_.content().shownFile();
    const QString selected = shown ? shown->selectedText() : QString();
    // Nothing selected: the field and the folder's string stay as they are.
    if (selected.isEmpty() || phrasesFolder_.isEmpty() || !writable())
        return;
    field->setText(selected);
    useSelectionFor(window_.document(), phrasesFolder_, key, selected);
    if (field == match_)
        matchDirty_ = false;
    else
        schedulePreview(0);
}

void AttributesArea::dayFirstToggled(bool on)
{
    if (loading_ || phrasesFolder_.isEmpty())
        return;
    setFolderEuropeanDates(window_.document(), phrasesFolder_, on);
    schedulePreview(0);
}

void AttributesArea::phrasesEdited()
{
    phrasesDirty_ = true;
    schedulePreview(kPreviewPauseMs);
}

void AttributesArea::schedulePreview(int delayMs)
{
    previewTimer_->start(delayMs);
}

bool AttributesArea::autoFilingPageCurrent() const
{
    return tabs_->currentWidget() == folderPage_ && folderTabs_->currentWidget() == autoFilePage_;
}

void AttributesArea::shownFileChanged()
{
    previewStale_ = true;
    updateUseSelectionButtons();
    if (autoFilingPageCurrent())
        schedulePreview(0);
}

void AttributesArea::shownSelectionChanged(bool hasSelection)
{
    shownHasSelection_ = hasSelection;
    updateUseSelectionButtons();
}

void AttributesArea::updateUseSelectionButtons()
{
    const ShownFile* shown = window_.content().shownFile();
    const bool fileShown = shown && !config_.filePath.isEmpty() && shown->shownItemPath() == config_.filePath;
    const bool enabled = shownHasSelection_ && fileShown && !phrasesFolder_.isEmpty() && writable();
    for (QPushButton* b : {useMatch_, useStart_, useEnd_})
        b->setEnabled(enabled);
}

void AttributesArea::evaluatePhrases()
{
    previewTimer_->stop();
    previewStale_ = false;
    ++previewsRun_;
    const ShownFile* shown = window_.content().shownFile();
    const MyDocument& doc = window_.document();
    PhrasePreviewInput in;
    in.textOrPdf = shown && !config_.filePath.isEmpty() && !phrasesFolder_.isEmpty() &&
                   shown->shownItemPath() == config_.filePath && shown->showsTextOrPdf();
    if (in.textOrPdf) {
        in.text = shown->fullText();
        in.startPhrase = startPhrase_->text();
        in.endPhrase = endPhrase_->text();
        in.european = dayFirst_->isChecked();
        in.displayEuropean = europeanDisplay();
        in.currentStart = storedDay(doc, config_.filePath, true);
        in.currentEnd = storedDay(doc, config_.filePath, false);
        in.reminderFolder = doc.tree().itemForPath(phrasesFolder_);
    }
    preview_ = previewPhrases(in);
    startFound_->setText(preview_.startLabel);
    startFound_->setVisible(!preview_.startLabel.isEmpty());
    endFound_->setText(preview_.endLabel);
    endFound_->setVisible(!preview_.endLabel.isEmpty());
    startNoDate_->setVisible(preview_.startWarning);
    endNoDate_->setVisible(preview_.endWarning);
    apply_->setVisible(preview_.applyShown);
    apply_->setEnabled(preview_.applyShown && config_.datesEditable);
}

void AttributesArea::applyDates()
{
    if (!preview_.applyShown || !config_.datesEditable)
        return;
    commitPhrases();
    const PhrasePreview found = preview_;
    const bool european = europeanDisplay();
    setDatesShown(displayDate(KTDate::atMidnight(*found.start), european),
                  displayDate(KTDate::atMidnight(*found.end), european));
    tabs_->setCurrentWidget(filePage_);
    storeDates(found.start, found.end);
    schedulePreview(0);
}

} // namespace folivo::gui
