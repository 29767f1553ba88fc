// The file viewer in the window: a selected file is shown as what it is, its zoom and
// rotation are kept in its item (and only there: not in enhance mode, not on disk in a
// read-only database), and an encrypted database's files are shown without a plain copy
// in the package.

#include "gui/encryptedfixture.h"
#include "gui/guitest.h"

#include "content/contentarea.h"
#include "database/passwordsheet.h"
#include "mainwindow.h"
#include "viewer/imageview.h"
#include "viewer/pdfview.h"
#include "viewer/textview.h"
#include "viewer/viewerpage.h"

#include "platform/fake/fakeplatform.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "store/mydocument.h"
#include "support/minipdf.h"
#include "util/fs.h"
#include "viewer/displaysettings.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPdfDocument>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

QByteArray pngBytes(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < h / 4; ++y)
        for (int x = 0; x < w / 4; ++x)
            image.setPixel(x, y, qRgb(200, 0, 0)); // a mark in the top-left corner
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

class Viewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        config_.emplace("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.ViewerTest"));
        applyLaunchDefaults(*prefs_);
        prefs_->setBool(true, QStringLiteral("NotifyOpenIndexCheck"));
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
        window_.reset();
    }
    void makeWindow()
    {
        window_ = std::make_unique<MainWindow>(nullptr, prefs_.get(), &platform_.platform());
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        window_->resize(1000, 700);
    }
    // A new database holding `files` (name → bytes) in "Unfiled".
    void makeDatabase(const QList<std::pair<QString, QByteArray>>& files)
    {
        makeWindow();
        ASSERT_TRUE(window_->createDatabase(scratch_.file("Home.fvdb")).ok());
        window_->show();
        QStringList outside;
        QDir().mkpath(scratch_.file("desk"));
        for (const auto& [name, bytes] : files) {
            outside << scratch_.file("desk/" + name);
            ASSERT_TRUE(test::writeAll(outside.back(), bytes));
        }
        ASSERT_TRUE(window_->importPaths(outside, "Unfiled", 0, true).ran);
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    ViewerPage* page() const { return qobject_cast<ViewerPage*>(window_->content().page(ViewerPage::PageName)); }
    // Selects the item and waits until the viewer has decided how to show it.
    void show(const QString& path)
    {
        window_->selectItems({path});
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            const ViewerPage::Mode m = page()->mode();
            if (page()->shownItemPath() == path && m != ViewerPage::Mode::None && m != ViewerPage::Mode::Waiting)
                break;
        }
        settle();
    }
    void trigger(MenuCommand command)
    {
        QAction* a = window_->action(command);
        ASSERT_TRUE(a);
        ASSERT_TRUE(a->isEnabled()) << int(command);
        a->trigger();
        settle();
    }
    const IndexItem* item(const QString& path) const { return window_->document().tree().itemForPath(path); }

    test::Scratch scratch_;
    std::optional<test::ScopedEnv> config_;
    std::unique_ptr<KTPrefs> prefs_;
    platform::FakePlatform platform_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace

TEST_F(Viewer, EachFileIsShownAsWhatItIs)
{
    const QByteArray pdf = test::makeTextPdf({"Statement for March"}, 3);
    QByteArray big(1500, 'x');
    makeDatabase({{"Statement.pdf", pdf},
                  {"Scan.png", pngBytes(64, 48)},
                  {"Letter.txt", "Dear Sir,\nthank you.\n"},
                  {"Notes.rtf", "{\\rtf1\\ansi {\\b Bold} and plain\\par}"},
                  {"Long.txt", big},
                  // No player plays it: what it really is wins. (A PDF under another name is
                  // stored with ".pdf" added, so the case here is text.)
                  {"Clip.mov", "Notes taken at the meeting, not a movie.\n"},
                  {"Blob.dat", QByteArray("\x00\x01\x02\xff", 4)},
                  // Its header says image; the rest is missing.
                  {"Broken.png", pngBytes(64, 48).first(60)},
                  {"Tool.zip", "plain text in an archive's name"}});
    struct Case {
        const char* path;
        ViewerPage::Mode mode;
        const char* line;
    };
    using M = ViewerPage::Mode;
    const Case cases[] = {
        {"Unfiled/Statement.pdf", M::Pdf, nullptr},
        {"Unfiled/Scan.png", M::Image, nullptr},
        {"Unfiled/Letter.txt", M::Text, "Unfiled/Letter.txt (21 bytes)"},
        {"Unfiled/Notes.rtf", M::Text, nullptr},
        {"Unfiled/Long.txt", M::Text, "Unfiled/Long.txt (1.50 KB)"},
        {"Unfiled/Clip.mov", M::Text, nullptr},
        {"Unfiled/Blob.dat", M::Unsupported, "Unfiled/Blob.dat (4 bytes)"},
        {"Unfiled/Broken.png", M::Unsupported, "Unfiled/Broken.png (60 bytes)"},
        {"Unfiled/Tool.zip", M::Unsupported, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(item(c.path)) << "imported";
        show(c.path);
        EXPECT_EQ(page()->mode(), c.mode);
        EXPECT_EQ(window_->content().currentPage(), ViewerPage::PageName);
        if (c.line) {
            EXPECT_EQ(window_->content().pathLineText(), QString(c.line));
        }
        EXPECT_TRUE(window_->content().pathLineText().startsWith(QString(c.path) + " ("));
    }

    show("Unfiled/Letter.txt");
    EXPECT_EQ(page()->textView()->toPlainText(), "Dear Sir,\nthank you.\n");
    EXPECT_EQ(page()->fullText(), "Dear Sir,\nthank you.\n");
    EXPECT_TRUE(page()->showsTextOrPdf());
    page()->textView()->selectAll();
    EXPECT_EQ(page()->selectedText(), "Dear Sir,\nthank you.\n");
    {
        // Ctrl+C in the text copies the words selected there, not the selected file.
        QTextCursor words(page()->textView()->document());
        words.setPosition(5);
        words.setPosition(8, QTextCursor::KeepAnchor);
        page()->textView()->setTextCursor(words);
        page()->textView()->setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClick(page()->textView(), Qt::Key_C, Qt::ControlModifier);
        settle();
        EXPECT_EQ(QApplication::clipboard()->text(), "Sir");
    }
    EXPECT_FALSE(window_->action(MenuCommand::ZoomIn)->isEnabled()) << "text has no zoom";
    show("Unfiled/Notes.rtf");
    EXPECT_EQ(page()->textView()->toPlainText().trimmed(), "Bold and plain");
    {
        QTextCursor at(page()->textView()->document());
        at.setPosition(2);
        EXPECT_EQ(at.charFormat().fontWeight(), QFont::Bold);
        at.setPosition(7);
        EXPECT_EQ(at.charFormat().fontWeight(), QFont::Normal);
    }

    // A PDF: its pages, the top of the first in sight, its text for the filing tools.
    show("Unfiled/Statement.pdf");
    PdfView* view = page()->pdfView();
    EXPECT_EQ(view->document()->pageCount(), 3);
    view->viewport()->repaint();
    EXPECT_GE(view->pagesRendered(), 1);
    EXPECT_LT(view->pagesRendered(), 3) << "only the pages in sight are rendered";
    EXPECT_EQ(view->scrollPosition().y(), 0);
    // Keys move through the pages.
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_GT(view->scrollPosition().y(), 0);
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->scrollPosition().y(), view->verticalScrollBar()->maximum());
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(view->scrollPosition().y(), 0);
    view->viewport()->repaint();
    EXPECT_TRUE(page()->fullText().contains("Statement for March"));
    EXPECT_TRUE(window_->action(MenuCommand::ShowPdfAsText)->isEnabled());
    trigger(MenuCommand::ShowPdfAsText);
    EXPECT_TRUE(page()->textView()->toPlainText().contains("Statement for March"));
    EXPECT_FALSE(window_->action(MenuCommand::OpenInPdfViewer)->isEnabled());
    EXPECT_FALSE(window_->action(MenuCommand::ZoomIn)->isEnabled());
    trigger(MenuCommand::ShowPdfAsText);
    EXPECT_FALSE(page()->pdfAsText());
    EXPECT_TRUE(window_->action(MenuCommand::ZoomIn)->isEnabled());

    // A folder or nothing selected: the hint again.
    window_->selectItems({"Unfiled"});
    settle();
    EXPECT_EQ(window_->content().currentPage(), ContentArea::HintPage);
    EXPECT_TRUE(page()->shownItemPath().isEmpty());
    EXPECT_FALSE(window_->action(MenuCommand::ZoomIn)->isEnabled());
}

TEST_F(Viewer, ZoomAndRotationAreKeptInTheItemAndShownAgain)
{
    makeDatabase({{"Scan.png", pngBytes(400, 300)}, {"Statement.pdf", test::makeTextPdf({"March"}, 2)}});
    const QString attributes = scratch_.file("Home.fvdb/" + MyDocument::attributesPathForPath("Unfiled/Scan.png"));
    const QByteArray before = test::readAll(attributes);

    show("Unfiled/Scan.png");
    trigger(MenuCommand::ZoomIn);
    trigger(MenuCommand::RotateLeft);
    EXPECT_EQ(displaySettingsOf(*item("Unfiled/Scan.png")), (DisplaySettings{1.2f, 90}));
    EXPECT_NE(test::readAll(attributes), before) << "the attributes file is written";
    ImageView* image = page()->imageView();
    EXPECT_FLOAT_EQ(image->scale(), 1.2f);
    EXPECT_EQ(image->rotation(), 90);
    // Turned left, the image is 360 wide and 480 high on the screen.
    const QRectF shown = image->imageToContent().mapRect(QRectF(0, 0, 400, 300));
    EXPECT_NEAR(shown.width(), 360, 1);
    EXPECT_NEAR(shown.height(), 480, 1);

    show("Unfiled/Statement.pdf");
    EXPECT_EQ(page()->displaySettings(), DisplaySettings{});
    const int upright = page()->pdfView()->pageRect(0).width();
    trigger(MenuCommand::RotateRight);
    const QRect turned = page()->pdfView()->pageRect(0);
    EXPECT_GT(turned.width(), turned.height()) << "a letter page on its side";
    EXPECT_GT(turned.width(), upright);

    show("Unfiled/Scan.png");
    EXPECT_EQ(page()->displaySettings(), (DisplaySettings{1.2f, 90}));
    EXPECT_FLOAT_EQ(page()->imageView()->scale(), 1.2f);
    trigger(MenuCommand::ZoomReset);
    EXPECT_EQ(displaySettingsOf(*item("Unfiled/Scan.png")), DisplaySettings{});
    show("Unfiled/Statement.pdf");
    EXPECT_EQ(page()->displaySettings().rotation, -90);
}

TEST_F(Viewer, ZoomKeepsTheCornerInSight)
{
    makeDatabase({{"Scan.png", pngBytes(3000, 3000)}});
    show("Unfiled/Scan.png");
    ImageView* image = page()->imageView();
    image->setScrollPosition({500, 400});
    trigger(MenuCommand::ZoomIn);
    EXPECT_EQ(image->scrollPosition(), QPoint(600, 480));
    trigger(MenuCommand::ZoomOut);
    EXPECT_NEAR(image->scrollPosition().x(), 548, 1);
}

TEST_F(Viewer, EnhanceModeStoresNothing)
{
    makeDatabase({{"Scan.png", pngBytes(200, 150)}, {"Other.png", pngBytes(20, 20)}});
    show("Unfiled/Scan.png");
    trigger(MenuCommand::ZoomIn);
    const auto before = test::packageListing(scratch_.file("Home.fvdb"));
    const DisplaySettings stored = displaySettingsOf(*item("Unfiled/Scan.png"));

    ASSERT_FALSE(prefs_->boolForKey(viewerkeys::EnhanceExplained));
    QSignalSpy ready(page(), &ViewerPage::enhanceReady);
    {
        test::ModalResponder responder([](QMessageBox* box) { box->accept(); });
        trigger(MenuCommand::ToggleEnhance);
        ASSERT_EQ(responder.seen().size(), 1) << "explained on first use";
        EXPECT_EQ(responder.seen().front().title, "Image Enhance Mode");
    }
    EXPECT_TRUE(prefs_->boolForKey(viewerkeys::EnhanceExplained));
    ASSERT_TRUE(!ready.isEmpty() || ready.wait(10000)) << "the sharpened picture came";
    EXPECT_TRUE(page()->enhanced());
    const QImage original = QImage::fromData(pngBytes(200, 150)).convertToFormat(QImage::Format_ARGB32);
    const QImage sharpened = page()->imageView()->image().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(sharpened.size(), original.size());
    EXPECT_NE(sharpened, original);
    EXPECT_TRUE(window_->action(MenuCommand::ToggleEnhance)->isChecked());

    trigger(MenuCommand::ZoomIn);
    trigger(MenuCommand::RotateLeft);
    EXPECT_EQ(page()->displaySettings().rotation, 90) << "shown";
    EXPECT_EQ(displaySettingsOf(*item("Unfiled/Scan.png")), stored) << "not stored";
    EXPECT_EQ(test::listingDifferences(before, test::packageListing(scratch_.file("Home.fvdb"))), QString());

    // Off: the item's own settings again. Another file starts with enhance off; the
    // explanation is not given twice.
    trigger(MenuCommand::ToggleEnhance);
    EXPECT_EQ(page()->displaySettings(), stored);
    trigger(MenuCommand::ToggleEnhance);
    show("Unfiled/Other.png");
    EXPECT_FALSE(page()->enhanced());
    show("Unfiled/Scan.png");
    EXPECT_FALSE(page()->enhanced());
    EXPECT_EQ(page()->displaySettings(), stored);
}

TEST_F(Viewer, AReadOnlyDatabaseWritesNoAttributesFile)
{
    makeDatabase({{"Scan.png", pngBytes(100, 100)}});
    window_->close();
    window_.reset();
    const QString pkg = scratch_.file("Home.fvdb");
    makeWindow();
    ASSERT_TRUE(window_->openDatabase(pkg, OpenOptions{.forReading = true}).ok());
    window_->show();
    settle();
    const auto before = test::packageListing(pkg);
    show("Unfiled/Scan.png");
    trigger(MenuCommand::ZoomIn);
    trigger(MenuCommand::RotateRight);
    EXPECT_EQ(page()->displaySettings(), (DisplaySettings{1.2f, -90}));
    EXPECT_EQ(test::listingDifferences(before, test::packageListing(pkg)), QString());
}

TEST_F(Viewer, AnEncryptedDatabaseIsShownFromMemory)
{
    const QString fixtures = test::fixturesDir();
    ASSERT_FALSE(fixtures.isEmpty());
    const QString pkg = scratch_.file("Encrypted.fvdb");
    ASSERT_TRUE(fs::copyTree(fixtures + "/Encrypted.fvdb", pkg));
    test::PasswordSheetTyper typer(test::fixturePassword("Encrypted.fvdb"));
    makeWindow();
    ASSERT_TRUE(window_->openDatabase(pkg).ok());
    window_->show();
    settle();
    QDir().mkpath(scratch_.file("desk"));
    ASSERT_TRUE(test::writeAll(scratch_.file("desk/Secret.pdf"), test::makeTextPdf({"Secret statement"}, 2)));
    ASSERT_TRUE(test::writeAll(scratch_.file("desk/Secret.png"), pngBytes(80, 60)));
    ASSERT_TRUE(
        window_->importPaths({scratch_.file("desk/Secret.pdf"), scratch_.file("desk/Secret.png")}, "Bank", 0, true)
            .ran);
    settle();
    ASSERT_TRUE(item("Bank/Secret.pdf"));
    ASSERT_FALSE(QFileInfo::exists(pkg + "/Bank/Secret.pdf")) << "stored enciphered";
    const auto before = test::packageListing(pkg);

    show("Bank/Secret.pdf");
    EXPECT_EQ(page()->mode(), ViewerPage::Mode::Pdf);
    page()->pdfView()->viewport()->repaint();
    EXPECT_GE(page()->pdfView()->pagesRendered(), 1);
    EXPECT_TRUE(page()->fullText().contains("Secret statement"));
    show("Bank/Secret.png");
    EXPECT_EQ(page()->mode(), ViewerPage::Mode::Image);
    EXPECT_EQ(page()->imageView()->image().size(), QSize(80, 60));
    // The fixture's "PDF" is a line of text: shown as text, not refused.
    show("Bank/Letter.pdf");
    EXPECT_EQ(page()->mode(), ViewerPage::Mode::Text);
    show("Notes/Tom's café.txt");
    EXPECT_EQ(page()->textView()->toPlainText(), QString("Tom's café: crème brûlée, 4,50 €\n"));
    show("Notes/Report.rtfd");
    EXPECT_EQ(page()->mode(), ViewerPage::Mode::Text);
    EXPECT_FALSE(page()->textView()->toPlainText().isEmpty());

    // Nothing plain was written into the package while they were shown.
    EXPECT_EQ(test::listingDifferences(before, test::packageListing(pkg)), QString());

    // Opened elsewhere: a copy outside the package.
    show("Bank/Secret.pdf");
    trigger(MenuCommand::OpenShownFile);
    ASSERT_EQ(platform_.desktop().openedFiles.size(), 1);
    EXPECT_FALSE(QFileInfo(platform_.desktop().openedFiles.front())
                     .canonicalFilePath()
                     .startsWith(QFileInfo(pkg).canonicalFilePath() + "/"));
    EXPECT_TRUE(test::readAll(platform_.desktop().openedFiles.front()).startsWith("%PDF"));
}

TEST_F(Viewer, OpenInPdfViewerAsksOnceForTheProgram)
{
    platform_.desktop().applications["application/pdf"] = {{"org.gnome.Evince.desktop", "Document Viewer", {}, {}},
                                                           {"okular.desktop", "Okular", {}, {}}};
    makeDatabase({{"Statement.pdf", test::makeTextPdf({"March"})}});
    show("Unfiled/Statement.pdf");
    {
        test::ModalScript<QInputDialog> script({[](QInputDialog* d) {
            d->setTextValue("Okular");
            d->accept();
        }});
        trigger(MenuCommand::OpenInPdfViewer);
        EXPECT_EQ(script.stepsRun(), 1);
    }
    ASSERT_EQ(platform_.desktop().openedWith.size(), 1);
    EXPECT_EQ(platform_.desktop().openedWith.front().first, "okular.desktop");
    const plist::Value* chosen = prefs_->objectForKey(viewerkeys::AdobeName);
    ASSERT_TRUE(chosen && chosen->isString());
    EXPECT_EQ(chosen->string(), "okular.desktop");
    // Next time without asking.
    trigger(MenuCommand::OpenInPdfViewer);
    ASSERT_EQ(platform_.desktop().openedWith.size(), 2);
    EXPECT_EQ(platform_.desktop().openedWith.back().first, "okular.desktop");
    EXPECT_EQ(QFileInfo(platform_.desktop().openedWith.back().second.front().toLocalFile()).fileName(),
              "Statement.pdf");
}

TEST_F(Viewer, OpenWithUsesTheDesktopsChooserAndOurListWhereThereIsNone)
{
    platform_.desktop().applications["application/pdf"] = {{"org.gnome.Evince.desktop", "Document Viewer", {}, {}},
                                                           {"okular.desktop", "Okular", {}, {}}};
    makeDatabase({{"Statement.pdf", test::makeTextPdf({"March"})}});
    show("Unfiled/Statement.pdf");

    // The desktop has a chooser: the file goes to it and nothing else asks.
    platform_.desktop().hasChooser = true;
    trigger(MenuCommand::OpenShownFileWith);
    ASSERT_EQ(platform_.desktop().chooserFiles.size(), 1);
    EXPECT_EQ(QFileInfo(platform_.desktop().chooserFiles.front()).fileName(), "Statement.pdf");
    EXPECT_TRUE(platform_.desktop().openedWith.isEmpty());

    // None: our list of the programs for the type, and the one picked opens it.
    platform_.desktop().hasChooser = false;
    {
        test::ModalScript<QInputDialog> script({[](QInputDialog* d) {
            d->setTextValue("Document Viewer");
            d->accept();
        }});
        trigger(MenuCommand::OpenShownFileWith);
        EXPECT_EQ(script.stepsRun(), 1);
    }
    ASSERT_EQ(platform_.desktop().openedWith.size(), 1);
    EXPECT_EQ(platform_.desktop().openedWith.front().first, "org.gnome.Evince.desktop");
    EXPECT_EQ(platform_.desktop().chooserFiles.size(), 1);
}

TEST_F(Viewer, ContentsMatchesAreMarkedInTextAndPdf)
{
    makeDatabase({{"Letter.txt", "Tax due.\ntax paid, TAX back.\n"},
                  {"Statement.pdf", test::makeTextPdf({"Tax tax TAX"}, 2)},
                  {"Other.txt", "tax\n"}});
    const auto waitFor = [](const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    };

    // Marks asked for before the file is shown come with it; every occurrence, by the case
    // rule of its condition.
    page()->markContents("Unfiled/Letter.txt", {{"tax", false}});
    show("Unfiled/Letter.txt");
    ASSERT_EQ(page()->mode(), ViewerPage::Mode::Text);
    ASSERT_TRUE(waitFor([&] { return !page()->textView()->filling(); }));
    EXPECT_EQ(page()->textView()->marks(), (std::vector<TextRange>{{9, 3}}));
    EXPECT_EQ(page()->textView()->marksShown(), 1);
    EXPECT_EQ(page()->textView()->textCursor().selectedText(), "tax");
    // Marks for the file shown come at once; an empty needle marks nothing.
    page()->markContents("Unfiled/Letter.txt", {{"tax", true}, {"", false}});
    EXPECT_EQ(page()->textView()->marksShown(), 3);

    // Another file shown drops them.
    show("Unfiled/Other.txt");
    EXPECT_TRUE(page()->contentsMarks().empty());
    EXPECT_EQ(page()->textView()->marksShown(), 0);

    // A PDF: the places its own search finds on every page, filtered for case.
    page()->markContents("Unfiled/Statement.pdf", {{"tax", true}});
    show("Unfiled/Statement.pdf");
    ASSERT_EQ(page()->mode(), ViewerPage::Mode::Pdf);
    PdfView* view = page()->pdfView();
    EXPECT_TRUE(waitFor([&] { return view->marks().size() >= 6; }));
    EXPECT_EQ(view->marks().size(), 6u);
    page()->markContents("Unfiled/Statement.pdf", {{"tax", false}});
    EXPECT_TRUE(waitFor([&] { return view->marks().size() >= 2; }));
    settle();
    ASSERT_EQ(view->marks().size(), 2u);
    EXPECT_EQ(view->marks()[0].page, 0);
    EXPECT_EQ(view->marks()[1].page, 1);
    // The mark lies on its page, where the page is drawn.
    const QRect mark = view->markRect(view->marks()[0]);
    EXPECT_TRUE(view->pageRect(0).contains(mark)) << mark.x() << "," << mark.y();
    EXPECT_GT(mark.width(), 0);
    view->viewport()->repaint();
    // Shown as text, the PDF's text is marked instead.
    trigger(MenuCommand::ShowPdfAsText);
    EXPECT_EQ(page()->textView()->marks().size(), 2u);
}

