#include "export/exportplan.h"

#include "export/messages.h"
#include "filing/ktdate.h"
#include "find/filetext.h"
#include "reports/reportcsv.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "util/fs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace folivo {

namespace {

const QString ImmutableKey = QStringLiteral("NSFileImmutable");

QString lastComponent(const QString& path)
{
    return path.section(u'/', -1);
}

// The stored file an item stands for: a smart file's real file, else the item itself.
QString storedPathOf(const IndexItem& item)
{
    if (const plist::Value* real = item.value(keys::SmartFile); real && real->isString())
        return real->string();
    return item.path();
}

QString plural(qsizetype count, const char* one, const char* more)
{
    return QString::fromUtf8(count == 1 ? one : more);
}

} // namespace

ReportQuestion reportQuestion(HandOffCommand command, qsizetype count)
{
    const QString s = plural(count, "", "s");
    const QString n = QString::number(count);
    switch (command) {
    case HandOffCommand::Export:
        return {exportmsg::ExportReportQuestion.arg(n, s, s, s, plural(count, "its", "their")),
                exportmsg::SmartFolderButton, exportmsg::ReportButton};
    case HandOffCommand::Mail:
        return {exportmsg::MailReportQuestion.arg(n, s, s, plural(count, "'s", "s'")), exportmsg::ContentsButton,
                exportmsg::ReportButton};
    case HandOffCommand::Print:
        break;
    }
    return {exportmsg::PrintReportQuestion.arg(n, s, s, s), exportmsg::FilesButton, exportmsg::ReportButton};
}

QString pdfExtensionFixed(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0 && name.mid(dot + 1).compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0)
        return name.left(dot) + QStringLiteral(".pdf");
    return name + QStringLiteral(".pdf");
}

QString exportedFolderName(QDate today, bool europeanDates)
{
    QString date = today.toString(DateFormats::forEuropean(europeanDates).displayFormat);
    date.replace(u'/', u'-');
    return exportmsg::ExportedFolderName.arg(date);
}

QString uniqueDiskPath(const QString& folder, const QString& name)
{
    const QString first = folder + u'/' + name;
    // Not exists(): a dangling link is something there too, and would be written through.
    const auto taken = [](const QString& path) { return QFileInfo(path).exists() || QFileInfo(path).isSymLink(); };
    if (!taken(first))
        return first;
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool hasExtension = dot > 0 && dot < name.size() - 1;
    const QString stem = hasExtension ? name.left(dot) : name;
    const QString extension = hasExtension ? name.mid(dot) : QString();
    for (qint64 n = 2;; ++n) {
        const QString candidate = folder + u'/' + stem + QString::number(n) + extension;
        if (!taken(candidate))
            return candidate;
    }
}

std::optional<QString> packageHolding(const QString& destination, const QStringList& openPackages)
{
    QStringList open;
    for (const QString& package : openPackages) {
        const QString canonical = QFileInfo(package).canonicalFilePath();
        open << (canonical.isEmpty() ? QDir::cleanPath(QFileInfo(package).absoluteFilePath()) : canonical);
    }
    // The nearest part of the path that exists, with its links resolved, then each folder above
    // it; the parts that do not exist yet are looked at by name.
    QString path = QDir::cleanPath(QFileInfo(destination).absoluteFilePath());
    QStringList missing;
    while (!QFileInfo::exists(path) && path != QLatin1String("/")) {
        missing.prepend(QFileInfo(path).fileName());
        path = QFileInfo(path).absolutePath();
    }
    for (const QString& name : missing)
        if (name.endsWith(QStringLiteral(".") + pkg::Extension, Qt::CaseInsensitive))
            return QDir::cleanPath(path + u'/' + name);
    QString at = QFileInfo(path).canonicalFilePath();
    while (!at.isEmpty()) {
        const QFileInfo info(at);
        if (open.contains(at) || (info.isDir() && at.endsWith(QStringLiteral(".") + pkg::Extension, Qt::CaseInsensitive)))
            return at;
        if (at == QLatin1String("/"))
            break;
        at = info.absolutePath();
    }
    return std::nullopt;
}

QString describeFailures(const QList<ExportFailure>& failures)
{
    QStringList lines;
    for (const ExportFailure& f : failures)
        lines << exportmsg::FailureLine.arg(f.what, f.why);
    return lines.join(u'\n');
}

bool takesReport(const ExportSelection& selection, const IndexItem& item)
{
    return selection.reportChosen && item.isSmartFolder() && selection.makeReport;
}

bool moveAsideToTrash(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // The home Trash is made when missing, as desktops do: without it Qt 6.4 "trashes" into
    // the process's current folder and says it worked.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty())
        for (const char* part : {"/Trash/files", "/Trash/info"})
            QDir().mkpath(dataHome + QLatin1String(part));
    QString where;
    if (!QFile::moveToTrash(path, &where))
        return false;
    if (QFileInfo(where).isRelative()) {
        // Not a Trash any file manager looks in: put it back and say it failed.
        QFile::rename(where, path);
        return false;
    }
    return !QFileInfo(path).exists() && !QFileInfo(path).isSymLink();
}

// ---- Export -----------------------------------------------------------------------------

namespace {

// Writes `plain` (a file or a bundle folder) at `destination` by way of a temporary
// sibling, so that what is there stays whole until the copy is.
bool placeCopy(const QString& plain, const QString& destination, bool readOnly, QString* why)
{
    const bool folder = fs::isDirectory(plain);
    const QString fresh = fs::freshSibling(destination);
    if (!(folder ? fs::copyTree(plain, fresh) : fs::cloneFile(plain, fresh))) {
        *why = exportmsg::CannotCopy.arg(fs::lastError());
        fs::deleteTree(fresh);
        return false;
    }
    if (!folder)
        fs::setMode(fresh, readOnly ? 0444 : 0644);
    // A rename puts a file over a file, never over a folder: a folder there goes to the
    // Trash, and only now that the copy is complete.
    const QFileInfo there(destination);
    if ((there.isDir() && !there.isSymLink()) || (folder && (there.exists() || there.isSymLink()))) {
        if (!moveAsideToTrash(destination)) {
            fs::deleteTree(fresh);
            *why = exportmsg::CannotTrash.arg(destination);
            return false;
        }
    }
    if (!fs::renameFreshOver(fresh, destination)) {
        *why = exportmsg::CannotCopy.arg(fs::lastError());
        fs::deleteTree(fresh);
        return false;
    }
    return true;
}

void writeReport(const ExportSelection& selection, const IndexItem& folder, const QString& path,
                 ExportOutcome& outcome)
{
    const std::optional<Report> report = selection.makeReport(folder);
    if (!report) {
        outcome.failures.append({folder.path(), exportmsg::NoReport});
        return;
    }
    const Result<void> written = exportReportToFile(*report, path);
    if (!written.ok()) {
        outcome.failures.append({folder.path(), exportmsg::CannotWriteReport.arg(written.error().detail)});
        return;
    }
    outcome.written << path;
}

} // namespace

QString Exporter::finalFileDestination(const IndexItem& item, const QString& chosen)
{
    const auto plain = doc_.crypto().plainCopyForReading(storedPathOf(item));
    if (!plain || !plain->valid() || fs::isDirectory(plain->path()) || !actuallyPDF(plain->path()))
        return chosen;
    const QFileInfo info(chosen);
    return info.absolutePath() + u'/' + pdfExtensionFixed(info.fileName());
}

ExportOutcome Exporter::exportFile(const IndexItem& item, const QString& destination)
{
    ExportOutcome outcome;
    outcome.destination = destination;
    if (const auto package = packageHolding(destination, {doc_.dbPath()})) {
        outcome.failures.append({destination, exportmsg::InsidePackage.arg(destination, *package)});
        return outcome;
    }
    QString why;
    const auto plain = doc_.crypto().plainCopyForReading(storedPathOf(item), &why);
    if (!plain || !plain->valid()) {
        outcome.failures.append({item.path(), exportmsg::NoPlainCopy.arg(why)});
        return outcome;
    }
    if (placeCopy(plain->path(), destination, item.flag(ImmutableKey), &why))
        outcome.written << destination;
    else
        outcome.failures.append({item.path(), why});
    return outcome;
}

ExportOutcome Exporter::exportAsFolder(const ExportSelection& selection, const QString& destination,
                                       ExistingDestination existing)
{
    ExportOutcome outcome;
    QString target = QDir::cleanPath(QFileInfo(destination).absoluteFilePath());
    if (const auto package = packageHolding(target, {doc_.dbPath()})) {
        outcome.failures.append({target, exportmsg::InsidePackage.arg(target, *package)});
        return outcome;
    }
    const QFileInfo there(target);
    if (there.exists() || there.isSymLink()) {
        if (existing == ExistingDestination::MakeUnique) {
            target = uniqueDiskPath(there.absolutePath(), there.fileName());
        } else if (!moveAsideToTrash(target)) {
            outcome.failures.append({target, exportmsg::CannotTrash.arg(target)});
            return outcome;
        }
    }
    outcome.destination = target;
    if (!fs::makeDirectory(target, 0755)) {
        outcome.failures.append({target, exportmsg::CannotCreateFolder.arg(fs::lastError())});
        return outcome;
    }
    for (const IndexItem* item : selection.items)
        exportItem(selection, *item, target, outcome);
    return outcome;
}

ExportOutcome Exporter::exportInto(const ExportSelection& selection, const QString& folder)
{
    ExportOutcome outcome;
    const QString target = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    outcome.destination = target;
    if (const auto package = packageHolding(target, {doc_.dbPath()})) {
        outcome.failures.append({target, exportmsg::InsidePackage.arg(target, *package)});
        return outcome;
    }
    if (!fs::isDirectory(target)) {
        outcome.failures.append({target, exportmsg::CannotCreateFolder.arg(QStringLiteral("not a folder"))});
        return outcome;
    }
    for (const IndexItem* item : selection.items)
        exportItem(selection, *item, target, outcome);
    return outcome;
}

void Exporter::exportItem(const ExportSelection& selection, const IndexItem& item, const QString& folder,
                          ExportOutcome& outcome)
{
    const QString name = lastComponent(storedPathOf(item));
    if (selection.progress)
        selection.progress(name);
    if (takesReport(selection, item)) {
        writeReport(selection, item, uniqueDiskPath(folder, name + QStringLiteral(".csv")), outcome);
        return;
    }
    if (item.hasChildren()) {
        const QString sub = uniqueDiskPath(folder, name);
        if (!fs::makeDirectory(sub, 0755)) {
            outcome.failures.append({item.path(), exportmsg::CannotCreateFolder.arg(fs::lastError())});
            return;
        }
        for (const auto& child : item.children())
            exportItem(selection, *child, sub, outcome);
        return;
    }
    QString why;
    const auto plain = doc_.crypto().plainCopyForReading(storedPathOf(item), &why);
    if (!plain || !plain->valid()) {
        outcome.failures.append({item.path(), exportmsg::NoPlainCopy.arg(why)});
        return;
    }
    const bool pdf = !fs::isDirectory(plain->path()) && actuallyPDF(plain->path());
    const QString destination = uniqueDiskPath(folder, pdf ? pdfExtensionFixed(name) : name);
    if (placeCopy(plain->path(), destination, item.flag(ImmutableKey), &why))
        outcome.written << destination;
    else
        outcome.failures.append({item.path(), why});
}

// ---- Hand-offs ------------------------------------------------------------------------------

namespace {

struct HandOffBuilder {
    MyDocument& doc;
    const ExportSelection& selection;
    HandOffFiles& files;
    int slotCount = 0;

    // A folder of its own for the next file.
    QString newSlot(const QString& what)
    {
        const QString slot = files.folder + u'/' + QString::number(++slotCount);
        if (!fs::makeDirectory(slot, 0700)) {
            files.failures.append({what, exportmsg::CannotCreateFolder.arg(fs::lastError())});
            return {};
        }
        return slot;
    }

    void add(const IndexItem& item)
    {
        const QString name = lastComponent(storedPathOf(item));
        if (selection.progress)
            selection.progress(name);
        if (takesReport(selection, item)) {
            const QString slot = newSlot(item.path());
            if (slot.isEmpty())
                return;
            ExportOutcome written;
            writeReport(selection, item, slot + u'/' + name + QStringLiteral(".csv"), written);
            files.attachments << written.written;
            files.failures << written.failures;
            return;
        }
        if (item.hasChildren()) {
            for (const auto& child : item.children())
                add(*child);
            return;
        }
        QString why;
        auto plain = doc.crypto().plainCopyForReading(storedPathOf(item), &why);
        if (!plain || !plain->valid()) {
            files.failures.append({item.path(), exportmsg::NoPlainCopy.arg(why)});
            return;
        }
        if (fs::isDirectory(plain->path())) {
            files.failures.append({item.path(), QStringLiteral("A document bundle cannot be attached.")});
            return;
        }
        const QString slot = newSlot(item.path());
        if (slot.isEmpty())
            return;
        const QString target = slot + u'/' + (actuallyPDF(plain->path()) ? pdfExtensionFixed(name) : name);
        // A private plain copy moves into place (its own folder then goes with it); the
        // package's own file is copied, so that the mail program never holds the stored file.
        const bool placed = (plain->isPrivate() && fs::rename(plain->path(), target)) ||
                            fs::cloneFile(plain->path(), target);
        if (!placed) {
            files.failures.append({item.path(), exportmsg::CannotCopy.arg(fs::lastError())});
            return;
        }
        fs::setMode(target, 0400);
        files.attachments << target;
    }
};

} // namespace

HandOffFiles prepareHandOff(MyDocument& doc, const ExportSelection& selection)
{
    HandOffFiles files;
    const QString temp = doc.tempDir();
    QByteArray folder = QFile::encodeName(temp + QStringLiteral("/mail-XXXXXX"));
    if (temp.isEmpty() || !::mkdtemp(folder.data())) { // mode 0700
        files.failures.append({temp, exportmsg::NoPrivateFolder});
        return files;
    }
    files.folder = QFile::decodeName(folder);
    HandOffBuilder builder{doc, selection, files};
    for (const IndexItem* item : selection.items)
        builder.add(*item);
    return files;
}

} // namespace folivo
