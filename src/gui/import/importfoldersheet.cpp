#include "importfoldersheet.h"

#include "filing/importfolder.h"
#include "database/qtdocumentui.h"
#include "filing/messages.h"
#include "import/importmessages.h"
#include "store/mydocument.h"
#include "widgets/widgetmessages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace folivo::gui {

ImportFolderSheet::ImportFolderSheet(MyDocument& doc, QWidget* parent)
    : QDialog(parent),
      doc_(doc),
      storedPath_(doc.settings().importFolderPath),
      switch_(new QCheckBox(tr("Empty this folder into the database whenever its window comes forward"), this)),
      path_(new QLineEdit(this)),
      error_(new QLabel(this)),
      choose_(new QPushButton(tr("Choose…"), this)),
      create_(new QPushButton(tr("Create…"), this))
{
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    setWindowTitle(importsheetmsg::FolderName);

    auto* explanation = new QLabel(displayText(importfoldermsg::WarningText), this);
    explanation->setWordWrap(true);
    explanation->setTextFormat(Qt::PlainText);

    // The folder comes from the buttons only, so that it has passed the checks.
    path_->setReadOnly(true);
    path_->setMinimumWidth(360);

    QPalette palette = error_->palette();
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    palette.setColor(QPalette::WindowText, dark ? QColor(0xff, 0x7b, 0x63) : QColor(0xc0, 0x1c, 0x28));
    error_->setPalette(palette);
    error_->setWordWrap(true);
    error_->setTextFormat(Qt::PlainText);
    QSizePolicy keepRoom = error_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    error_->setSizePolicy(keepRoom);
    error_->hide();

    connect(switch_, &QCheckBox::clicked, this, &ImportFolderSheet::enableImportFolder);
    connect(choose_, &QPushButton::clicked, this, &ImportFolderSheet::importFolderBrowse);
    connect(create_, &QPushButton::clicked, this, &ImportFolderSheet::importFolderCreate);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportFolderSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ImportFolderSheet::reject);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(tr("Folder:"), this));
    folderRow->addWidget(path_, 1);
    folderRow->addWidget(choose_);
    folderRow->addWidget(create_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(switch_);
    layout->addLayout(folderRow);
    layout->addWidget(error_);
    layout->addWidget(buttons);

    switch_->setChecked(doc.settings().importFolderEnabled);
    path_->setText(storedPath_);
    // A folder set earlier that has gone, or that could no longer be used, says so at once.
    if (!storedPath_.isEmpty()) {
        const ImportFolderProblem problem = validateImportFolder(storedPath_, doc.dbPath(), false);
        if (problem != ImportFolderProblem::None)
            showError(importFolderProblemMessage(problem, storedPath_));
    }
}

void ImportFolderSheet::showError(const QString& text)
{
    error_->setText(displayText(text));
    error_->setVisible(!text.isEmpty());
}

void ImportFolderSheet::enableImportFolder(bool on)
{
    if (!on)
        return;
    const int answer = dialogs.ask(this, {importfoldermsg::WarningTitle, importfoldermsg::WarningText,
                                          {QStringLiteral("OK"), QStringLiteral("Cancel")}});
    if (answer != 0) {
        switch_->setChecked(false);
        return;
    }
    if (!isReadableFolder(path_->text()))
        importFolderBrowse();
}

// Choosing or creating was cancelled: the switch stays on only over a folder that is there.
void ImportFolderSheet::afterCancel()
{
    if (!isReadableFolder(path_->text()))
        switch_->setChecked(false);
}

void ImportFolderSheet::refuse(const QString& text)
{
    dialogs.alert(this, foldermsg::ErrorTitle.arg(importsheetmsg::FolderName), text);
    switch_->setChecked(false);
}

void ImportFolderSheet::importFolderBrowse()
{
    const auto chosen = dialogs.chooseFolder(this, foldermsg::ChooseTitle.arg(importsheetmsg::FolderName),
                                             foldermsg::SetAs.arg(importsheetmsg::FolderName), QDir::homePath());
    if (!chosen)
        return afterCancel();
    const QString folder = QDir::cleanPath(*chosen);
    const ImportFolderProblem problem = validateImportFolder(folder, doc_.dbPath(), true);
    if (problem != ImportFolderProblem::None)
        return refuse(importFolderProblemMessage(problem, folder));
    path_->setText(folder);
    showError(QString());
}

void ImportFolderSheet::importFolderCreate()
{
    const auto path = dialogs.newFolderPath(this, importfoldermsg::CreateType,
                                            QDir::home().filePath(importfoldermsg::DefaultFolderName));
    if (!path)
        return afterCancel();
    const QString folder = QDir::cleanPath(QFileInfo(*path).absoluteFilePath());
    // Nothing is made inside the database, not even a folder that is then refused.
    const QString above = nearestExistingFolder(folder);
    if (validateImportFolder(above, doc_.dbPath(), false) == ImportFolderProblem::InsidePackage)
        return refuse(importFolderProblemMessage(ImportFolderProblem::InsidePackage, folder));
    QString error;
    bool created = false;
    if (!prepareNewFolder(folder, &error, &created))
        return refuse(error);
    const ImportFolderProblem problem = validateImportFolder(folder, doc_.dbPath(), true);
    if (problem != ImportFolderProblem::None) {
        if (created)
            removeEmptyFoldersUpTo(folder, above);
        return refuse(importFolderProblemMessage(problem, folder));
    }
    path_->setText(folder);
    showError(QString());
}

void ImportFolderSheet::accept()
{
    const bool enabled = switch_->isChecked();
    const QString path = path_->text();
    if (enabled) {
        // A folder chosen now must still be empty; the one already set is only checked
        // for being usable, since the database may have files waiting in it.
        const ImportFolderProblem problem = validateImportFolder(path, doc_.dbPath(), path != storedPath_);
        if (problem != ImportFolderProblem::None) {
            showError(importFolderProblemMessage(problem, path));
            return;
        }
    }
    DatabaseSettings& settings = doc_.settings();
    if (path != settings.importFolderPath)
        settings.importFolderKept.clear(); // files kept back belonged to the old folder
    settings.importFolderEnabled = enabled;
    settings.importFolderPath = path;
    settings.importFolderSetFor = doc_.dbPath();
    if (!doc_.saveDBSpecificPreferences())
        dialogs.alert(this, importsheetmsg::NotSavedTitle, importsheetmsg::NotSavedText);
    QDialog::accept();
}

} // namespace folivo::gui
