#include "loginimportdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace folivo::gui {

namespace {

constexpr int kColumnWidth = 120;

LoginColumn columnForTitle(const QString& title)
{
    static const QList<std::pair<QString, LoginColumn>> map{
        {QStringLiteral("Name"), LoginColumn::Name},         {QStringLiteral("URL"), LoginColumn::URL},
        {QStringLiteral("User ID 1"), LoginColumn::UserID1}, {QStringLiteral("User ID 2"), LoginColumn::UserID2},
        {QStringLiteral("Password"), LoginColumn::Password}, {QStringLiteral("Notes"), LoginColumn::Notes}};
    for (const auto& [t, c] : map)
        if (t == title)
            return c;
    return LoginColumn::Skip;
}

} // namespace

QStringList LoginImportDialog::titles()
{
    return {QStringLiteral("Name"),     QStringLiteral("URL"),   QStringLiteral("User ID 1"),
            QStringLiteral("User ID 2"), QStringLiteral("Password"), QStringLiteral("Notes"),
            QString(),                   QString(),              QString()};
}

LoginImportDialog::LoginImportDialog(QString text, Importer import, QWidget* parent)
    : QDialog(parent), text_(std::move(text)), import_(std::move(import))
{
    setWindowTitle(tr("Import Logins"));
    auto* layout = new QVBoxLayout(this);
    note_ = new QLabel(tr("Drag the titles above the columns they name and tick those to import. Each line "
                          "with a name becomes a folder with its login."),
                       this);
    note_->setWordWrap(true);
    layout->addWidget(note_);
    error_ = new QLabel(tr("These lines were not imported: they have no name, or the folder could not be made."),
                        this);
    error_->setWordWrap(true);
    error_->setStyleSheet(QStringLiteral("color: palette(highlight); font-weight: bold;"));
    error_->hide();
    layout->addWidget(error_);

    auto* seps = new QHBoxLayout;
    seps->addWidget(new QLabel(tr("Fields separated by:"), this));
    separators_ = new QButtonGroup(this);
    const QList<std::pair<QString, LoginSeparator>> choices{
        {tr("&Tab"), LoginSeparator::Tab}, {tr("&Comma"), LoginSeparator::Comma}, {tr("&Semicolon"), LoginSeparator::Semicolon}};
    for (const auto& [title, sep] : choices) {
        auto* button = new QRadioButton(title, this);
        separators_->addButton(button, int(sep));
        seps->addWidget(button);
    }
    seps->addStretch();
    layout->addLayout(seps);
    connect(separators_, &QButtonGroup::idClicked, this, [this](int id) { setSeparator(LoginSeparator(id)); });

    const QStringList names = titles();
    header_ = new QTableWidget(1, kLoginImportColumns, this);
    header_->setHorizontalHeaderLabels(names);
    header_->horizontalHeader()->setSectionsMovable(true);
    header_->verticalHeader()->hide();
    header_->setSelectionMode(QAbstractItemView::NoSelection);
    header_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    header_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int c = 0; c < kLoginImportColumns; ++c) {
        auto* holder = new QWidget(header_);
        auto* box = new QCheckBox(holder);
        auto* l = new QHBoxLayout(holder);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(box, 0, Qt::AlignCenter);
        // The name is always imported; an empty title fills nothing.
        box->setChecked(c == 0);
        box->setEnabled(c != 0 && !names[c].isEmpty());
        box->setObjectName(names[c].isEmpty() ? QStringLiteral("unused") : names[c]);
        header_->setCellWidget(0, c, holder);
        header_->setColumnWidth(c, kColumnWidth);
    }
    header_->setFixedHeight(header_->horizontalHeader()->sizeHint().height() + header_->rowHeight(0) + 4);
    // A title dragged onto a position is meant to be imported from there.
    connect(header_->horizontalHeader(), &QHeaderView::sectionMoved, this,
            [this](int logical, int, int) {
                if (QCheckBox* box = tickOf(logical); box && box->isEnabled())
                    box->setChecked(true);
            });
    layout->addWidget(header_);

    data_ = new QTableWidget(0, kLoginImportColumns, this);
    data_->horizontalHeader()->hide();
    data_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    data_->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int c = 0; c < kLoginImportColumns; ++c)
        data_->setColumnWidth(c, kColumnWidth);
    // The two tables scroll together, so that a title stays above its column.
    connect(data_->horizontalScrollBar(), &QScrollBar::valueChanged, header_->horizontalScrollBar(),
            &QScrollBar::setValue);
    layout->addWidget(data_, 1);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(tr("Import"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &LoginImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LoginImportDialog::reject);
    layout->addWidget(buttons);
    resize(kColumnWidth * 6 + 60, 420);

    // The common export says what its columns are: they are placed and ticked at once.
    const bool exportHeader = text_.section(u'\n', 0, 0).trimmed() == LoginExportHeader;
    setSeparator(exportHeader || text_.count(u',') > text_.count(u'\t') ? LoginSeparator::Comma : LoginSeparator::Tab);
    if (exportHeader) {
        placeTitle(QStringLiteral("Name"), 0);
        placeTitle(QStringLiteral("URL"), 1);
        placeTitle(QStringLiteral("User ID 1"), 2);
        placeTitle(QStringLiteral("Password"), 3);
        placeTitle(QStringLiteral("Notes"), 4);
    }
}

QCheckBox* LoginImportDialog::tickOf(int logical) const
{
    QWidget* holder = header_->cellWidget(0, logical);
    return holder ? holder->findChild<QCheckBox*>() : nullptr;
}

void LoginImportDialog::setSeparator(LoginSeparator separator)
{
    separator_ = separator;
    if (QAbstractButton* b = separators_->button(int(separator)))
        b->setChecked(true);
    parse();
}

void LoginImportDialog::parse()
{
    rows_ = readLoginRows(text_, separator_);
    fillData();
}

void LoginImportDialog::fillData()
{
    data_->setRowCount(int(rows_.size()));
    for (int r = 0; r < rows_.size(); ++r)
        for (int c = 0; c < kLoginImportColumns; ++c)
            data_->setItem(r, c, new QTableWidgetItem(rows_[r].value(c)));
    ok_->setEnabled(!rows_.isEmpty());
}

void LoginImportDialog::placeTitle(const QString& title, int position, bool ticked)
{
    const int logical = int(titles().indexOf(title));
    if (logical < 0)
        return;
    QHeaderView* header = header_->horizontalHeader();
    header->moveSection(header->visualIndex(logical), position);
    if (QCheckBox* box = tickOf(logical); box && box->isEnabled())
        box->setChecked(ticked);
}

QList<LoginColumn> LoginImportDialog::columns() const
{
    QList<LoginColumn> out;
    const QStringList names = titles();
    const QHeaderView* header = header_->horizontalHeader();
    for (int position = 0; position < kLoginImportColumns; ++position) {
        const int logical = header->logicalIndex(position);
        const QCheckBox* box = tickOf(logical);
        out.append(box && box->isChecked() ? columnForTitle(names.value(logical)) : LoginColumn::Skip);
    }
    return out;
}

void LoginImportDialog::accept()
{
    if (showingLeft_ || rows_.isEmpty()) {
        QDialog::accept();
        return;
    }
    const LoginImportOutcome outcome = import_(rows_, columns());
    imported_ += int(outcome.folders.size());
    if (outcome.left.isEmpty()) {
        QDialog::accept();
        return;
    }
    // What was left stays in view, so that the person sees which lines did not come in.
    rows_ = outcome.left;
    fillData();
    showingLeft_ = true;
    note_->hide();
    error_->show();
    ok_->setText(tr("OK"));
    ok_->setEnabled(true);
    cancel_->hide();
    for (QAbstractButton* b : separators_->buttons())
        b->setEnabled(false);
}

} // namespace folivo::gui
