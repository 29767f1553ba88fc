#include "loginscommands.h"

#include "browser/browserpane.h"
#include "loginimportdialog.h"

#include "logins/loginimport.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace folivo::gui {

LoginsCommands::LoginsCommands(WindowContext& window) : CommandModule(window) {}

void LoginsCommands::registerCommands(CommandRegistry& registry)
{
    CommandRow r;
    r.id = QStringLiteral("ImportLogins");
    // Like every import: a database that can change, nothing else running.
    r.enabledLike = MenuCommand::Import;
    r.menu = MenuId::File;
    r.section = 20;
    r.text = tr("Import Logins…");
    r.run = [this] { importLogins(); };
    registry.add(std::move(r));
}

void LoginsCommands::importLogins()
{
    const QString file = QFileDialog::getOpenFileName(
        window_.window(), tr("Import Logins"), QString(),
        tr("Exported logins (*.csv *.txt *.ssv *.tsv);;All files (*)"));
    if (file.isEmpty())
        return;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(window_.window(), tr("Import Logins"),
                             tr("\"%1\" cannot be read: %2").arg(file, in.errorString()));
        return;
    }
    LoginImportDialog* dialog = importDialogFor(decodeLoginFile(in.readAll()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

LoginImportDialog* LoginsCommands::importDialogFor(const QString& text)
{
    if (dialog_)
        dialog_->deleteLater();
    // The folder the new ones go into is the one selected when the import starts.
    const IndexItem* selected = window_.browser().singleSelected();
    const QString parentPath = selected && selected->isPlainFolder() ? selected->path() : QString();
    dialog_ = new LoginImportDialog(
        text,
        [this, parentPath](const QList<QStringList>& rows, const QList<LoginColumn>& columns) {
            MyDocument& doc = window_.document();
            if (!doc.canChange())
                return LoginImportOutcome{{}, rows, QStringList(rows.size(), tr("The database cannot change.")), true};
            const QString parent = doc.tree().itemForPath(parentPath) ? parentPath : QString();
            LoginImportOutcome outcome = importLoginRows(doc, rows, columns, parent);
            if (!outcome.folders.isEmpty())
                window_.browser().selectItems({outcome.folders.back()});
            window_.updateStatus();
            return outcome;
        },
        window_.window());
    return dialog_;
}

} // namespace folivo::gui
