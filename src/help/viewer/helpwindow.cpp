#include "helpwindow.h"

#include "kthelp.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace folivo::help {

BookBrowser::BookBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    setOpenExternalLinks(false);
    setOpenLinks(true);
}

QVariant BookBrowser::loadResource(int type, const QUrl& name)
{
    const QUrl url = source().resolved(name);
    if (!book_ || !url.isLocalFile() || !book_->contains(url.toLocalFile()))
        return {};
    return QTextBrowser::loadResource(type, url);
}

void BookBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type)
{
    const QUrl url = source().isEmpty() ? name : source().resolved(name);
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto")) {
        QDesktopServices::openUrl(url);
        return;
    }
    if (!book_ || !url.isLocalFile() || book_->pagePath(url.toLocalFile()).isEmpty())
        return;
    QTextBrowser::doSetSource(url, type);
}

HelpWindow::HelpWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(tr("Folivo Help"));
    browser_ = new BookBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));

    contents_ = new QListWidget(this);
    contents_->setObjectName(QStringLiteral("helpContents"));
    searchField_ = new QLineEdit(this);
    searchField_->setObjectName(QStringLiteral("helpSearch"));
    searchField_->setPlaceholderText(tr("Search the help"));
    searchField_->setClearButtonEnabled(true);
    results_ = new QListWidget(this);
    results_->setObjectName(QStringLiteral("helpResults"));
    results_->setWordWrap(true);
    auto* searchPane = new QWidget(this);
    auto* searchLayout = new QVBoxLayout(searchPane);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    searchLayout->addWidget(searchField_);
    searchLayout->addWidget(results_);
    side_ = new QTabWidget(this);
    side_->addTab(contents_, tr("Contents"));
    side_->addTab(searchPane, tr("Search"));

    auto* split = new QSplitter(this);
    split->addWidget(side_);
    split->addWidget(browser_);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 620});
    setCentralWidget(split);

    auto* bar = addToolBar(tr("Navigation"));
    bar->setMovable(false);
    QAction* back = bar->addAction(QIcon::fromTheme(QStringLiteral("go-previous")), tr("Back"));
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    QAction* forward = bar->addAction(QIcon::fromTheme(QStringLiteral("go-next")), tr("Forward"));
    forward->setShortcut(QKeySequence::Forward);
    forward->setEnabled(false);
    QAction* home = bar->addAction(QIcon::fromTheme(QStringLiteral("go-home")), tr("Contents"));
    connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(home, &QAction::triggered, this, [this] {
        if (book_)
            showTarget(book_->resolve(HelpBook::StartPage, {}));
    });
    QAction* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    addAction(find);
    connect(find, &QAction::triggered, this, [this] {
        side_->setCurrentIndex(1);
        searchField_->setFocus();
        searchField_->selectAll();
    });

    connect(contents_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (book_)
            showTarget(book_->resolve({}, item->data(Qt::UserRole).toString()));
    });
    connect(contents_, &QListWidget::itemClicked, contents_, &QListWidget::itemActivated);
    connect(searchField_, &QLineEdit::returnPressed, this, &HelpWindow::runSearch);
    connect(searchField_, &QLineEdit::textChanged, this, &HelpWindow::runSearch);
    connect(results_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (!book_)
            return;
        showTarget(book_->resolve(item->data(Qt::UserRole).toString(), {}));
        browser_->find(searchField_->text());
    });
    connect(results_, &QListWidget::itemClicked, results_, &QListWidget::itemActivated);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) { anchor_ = url.fragment(); });
    resize(860, 600);
}

void HelpWindow::showRequested()
{
    QSettings settings(KTHelp::settingsFilePath(), QSettings::IniFormat);
    const QString folder = settings.value(KTHelp::HelpFolderPathKey).toString();
    if (!book_ || QFileInfo(folder).canonicalFilePath() != book_->root()) {
        book_ = std::make_unique<HelpBook>(folder);
        browser_->setBook(book_.get());
        browser_->clearHistory();
        fillContents();
    }
    const QByteArray icon = settings.value(KTHelp::IconKey).toByteArray();
    if (!icon.isEmpty()) {
        const QImage image = QImage::fromData(icon);
        if (!image.isNull())
            setWindowIcon(QIcon(QPixmap::fromImage(image)));
    }
    if (!book_->valid()) {
        anchor_.clear();
        browser_->setHtml(tr("<p>The help book could not be found.</p>"));
        return;
    }
    showTarget(book_->resolve(settings.value(KTHelp::PathKey).toString(), settings.value(KTHelp::AnchorKey).toString()));
}

void HelpWindow::showTarget(const HelpBook::Target& target)
{
    if (target.page.isEmpty())
        return;
    QUrl url = QUrl::fromLocalFile(target.page);
    if (!target.anchor.isEmpty())
        url.setFragment(target.anchor);
    browser_->setSource(url);
    anchor_ = target.anchor;
    if (!target.anchor.isEmpty())
        browser_->scrollToAnchor(target.anchor);
}

QString HelpWindow::shownPage() const
{
    return browser_->source().toLocalFile();
}

void HelpWindow::fillContents()
{
    contents_->clear();
    results_->clear();
    if (!book_)
        return;
    for (const HelpBook::Anchor& a : book_->anchors()) {
        if (a.title.isEmpty())
            continue;
        // Sections stand indented under their page's title.
        auto* item = new QListWidgetItem(QString(4 * std::max(0, a.level - 1), QLatin1Char(' ')) + a.title, contents_);
        item->setData(Qt::UserRole, a.name);
    }
}

void HelpWindow::runSearch()
{
    results_->clear();
    if (!book_)
        return;
    for (const HelpBook::Hit& hit : book_->search(searchField_->text())) {
        auto* item = new QListWidgetItem(hit.title + QLatin1Char('\n') + hit.excerpt, results_);
        item->setData(Qt::UserRole, hit.page);
    }
}

} // namespace folivo::help
