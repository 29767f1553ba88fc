#include "folderchooser.h"

#include "database/qtdocumentui.h"
#include "util/fs.h"
#include "widgets/widgetmessages.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

#include <unistd.h>

namespace folivo::gui {

namespace {

std::optional<QString> chooseWithDialog(QWidget* parent, const QString& title, const QString& acceptLabel,
                                        const QString& startFolder)
{
    QFileDialog dialog(parent, title, startFolder);
    dialog.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, acceptLabel);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    // Links are followed: the setting names the folder itself, not a link that may change.
    const QString chosen = dialog.selectedFiles().first();
    const QString canonical = QFileInfo(chosen).canonicalFilePath();
    return canonical.isEmpty() ? chosen : canonical;
}

std::optional<QString> newPathWithDialog(QWidget* parent, const QString& title, const QString& proposedPath)
{
    QFileDialog dialog(parent, title);
    dialog.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // An existing name is not replaced: the caller takes an empty folder or refuses.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setLabelText(QFileDialog::Accept, title);
    dialog.setDirectory(QFileInfo(proposedPath).path());
    dialog.selectFile(QFileInfo(proposedPath).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

int askWithBox(QWidget* parent, const Prompt& prompt)
{
    QMessageBox box(parent);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    const QList<QAbstractButton*> buttons = setUpQuestion(box, prompt);
    box.exec();
    return answerOf(box, buttons);
}

} // namespace

FolderDialogs FolderDialogs::standard()
{
    return {chooseWithDialog, newPathWithDialog, askWithBox};
}

bool directoryNotEmpty(const QString& path)
{
    const QStringList names =
        QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names)
        if (!name.startsWith(QLatin1Char('.')) && name != QStringLiteral("Icon\r"))
            return true;
    return false;
}

bool isReadableFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    return QFileInfo(path).isDir() && ::access(native.constData(), R_OK | X_OK) == 0;
}

QString nearestExistingFolder(const QString& path)
{
    QString at = QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::home().absoluteFilePath(path));
    while (!QFileInfo::exists(at)) {
        const QString up = QFileInfo(at).path();
        if (up == at)
            break;
        at = up;
    }
    return at;
}

bool prepareNewFolder(const QString& path, QString* error, bool* created)
{
    if (created)
        *created = false;
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        if (!info.isDir()) {
            *error = foldermsg::NotAFolder.arg(path);
            return false;
        }
        if (directoryNotEmpty(path)) {
            *error = foldermsg::NotEmpty.arg(path);
            return false;
        }
        return true;
    }
    if (!fs::makeDirectories(path, 0755)) {
        *error = foldermsg::NotCreated.arg(path, fs::lastError());
        return false;
    }
    if (created)
        *created = true;
    return true;
}

void removeEmptyFoldersUpTo(const QString& path, const QString& existingAncestor)
{
    const QString stop = QDir::cleanPath(existingAncestor);
    QString at = QDir::cleanPath(path);
    // rmdir removes a folder only when it is empty: whatever appeared inside stays.
    const QString prefix = stop.endsWith(QLatin1Char('/')) ? stop : stop + QLatin1Char('/');
    while (at != stop && at.startsWith(prefix)) {
        if (::rmdir(QFile::encodeName(at).constData()) != 0)
            return;
        at = QFileInfo(at).path();
    }
}

} // namespace folivo::gui
