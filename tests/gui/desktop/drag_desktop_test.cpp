// Dragging on a real desktop, with the mouse held down by xdotool: out of the window to
// another program (a file manager's window and its Trash, played by folivo-droppeer), into
// folders of the tree, from another program into the tree, and between two databases.

#include "gui/desktop/desktop.h"

#include "mainwindow.h"
#include "browser/treemodel.h"

#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

using namespace folivo;
using namespace folivo::gui;
using namespace folivo::test::desktop;

namespace {

const QString ReallyDelete = QStringLiteral("Do you really want delete the file you dragged to the trash?");

// The other program, running beside the test.
class Peer {
public:
    Peer(const QString& mode, const QString& report, const QStringList& paths = {}) : report_(report)
    {
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QStringLiteral(FOLIVO_DROP_PEER), QStringList{mode, report} + paths);
    }
    ~Peer()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(3000);
    }
    QList<QJsonObject> lines() const
    {
        QList<QJsonObject> out;
        for (const QByteArray& line : test::readAll(report_).split('\n'))
            if (!line.trimmed().isEmpty())
                out << QJsonDocument::fromJson(line).object();
        return out;
    }
    std::optional<QJsonObject> line(const QString& key) const
    {
        for (const QJsonObject& o : lines())
            if (o.contains(key))
                return o;
        return std::nullopt;
    }
    // The middle of its window on the screen, once it is up.
    std::optional<QPoint> centre() const
    {
        const auto ready = line(QStringLiteral("ready"));
        if (!ready)
            return std::nullopt;
        return QPoint(ready->value("x").toInt() + ready->value("w").toInt() / 2,
                      ready->value("y").toInt() + ready->value("h").toInt() / 2);
    }

private:
    QString report_;
    QProcess process_;
};

QStringList dragSteps(const QPoint& from)
{
    // Pressed, then moved a little at a time, as a hand does: far enough to start a drag.
    QStringList steps = at(from);
    steps << "sleep" << "0.2" << "mousedown" << "1" << "sleep" << "0.1";
    for (int d : {4, 10, 18, 26})
        steps << at(from + QPoint(d, d / 2)) << "sleep" << "0.05";
    return steps;
}

QStringList moveSteps(const QPoint& from, const QPoint& to, int pieces = 6)
{
    QStringList steps;
    for (int i = 1; i <= pieces; ++i)
        steps << at(from + (to - from) * i / pieces) << "sleep" << "0.06";
    return steps;
}

QStringList dropSteps()
{
    return {"sleep", "0.4", "mouseup", "1", "sleep", "0.3"};
}

class DesktopDrag : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(onDesktop()) << "runs on an X server with a window manager (on_desktop.sh)";
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.FolivoDesktopDragTest"));
        applyLaunchDefaults(*prefs_);
        prefs_->setBool(true, QStringLiteral("NotifyOpenIndexCheck"));
        prefs_->setBool(true, QStringLiteral("ConfirmDelete"));
    }
    void TearDown() override
    {
        for (auto& w : windows_)
            if (w)
                w->close();
        windows_.clear();
    }
    MainWindow* openWindow(const QString& name, const QRect& geometry)
    {
        auto window = std::make_unique<MainWindow>(nullptr, prefs_.get());
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setGeometry(geometry);
        EXPECT_TRUE(window->createDatabase(scratch_.file(name)).ok());
        window->show();
        windows_.push_back(std::move(window));
        return windows_.back().get();
    }
    static void folders(MainWindow* w, const QStringList& paths)
    {
        for (const QString& path : paths) {
            const qsizetype slash = path.lastIndexOf('/');
            const IndexItem* parent = slash < 0 ? nullptr : w->document().tree().itemForPath(path.left(slash));
            ASSERT_TRUE(w->document().recordNewCategory(path, parent, -1).ok()) << path.toStdString();
        }
    }
    // A file from outside, stored into `folder` as a drop would.
    void file(MainWindow* w, const QString& folder, const QString& name, const QByteArray& data)
    {
        const QString path = scratch_.file("desk/" + name);
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(test::writeAll(path, data));
        ASSERT_TRUE(w->importPaths({path}, folder, -1, true).ran);
    }
    static const IndexItem* item(MainWindow* w, const QString& path)
    {
        return w->document().tree().itemForPath(path);
    }
    static QStringList children(MainWindow* w, const QString& path)
    {
        QStringList out;
        const IndexTree& tree = w->document().tree();
        for (const auto& child : tree.childrenOf(path.isEmpty() ? nullptr : tree.itemForPath(path)))
            out << child->name();
        return out;
    }
    static QModelIndex index(MainWindow* w, const QString& path)
    {
        return w->model()->indexForItem(item(w, path));
    }
    // Where on the screen a row is: its middle, or just inside its top edge (a drop there
    // goes before the row).
    static QPoint rowCentre(MainWindow* w, const QString& path)
    {
        QTreeView* view = w->treeView();
        const QModelIndex i = index(w, path);
        view->scrollTo(i);
        return view->viewport()->mapToGlobal(view->visualRect(i).center());
    }
    static QPoint rowTop(MainWindow* w, const QString& path)
    {
        QTreeView* view = w->treeView();
        const QRect rect = view->visualRect(index(w, path));
        return view->viewport()->mapToGlobal(QPoint(rect.center().x(), rect.top() + 1));
    }

    test::Scratch scratch_;
    std::unique_ptr<KTPrefs> prefs_;
    std::vector<std::unique_ptr<MainWindow>> windows_;
    Person person_;
};

TEST_F(DesktopDrag, AnotherProgramIsOfferedOnlyACopyOfAPrivateFile)
{
    MainWindow* w = openWindow("Home.fvdb", QRect(40, 60, 640, 560));
    folders(w, {"Bank"});
    file(w, "Bank", "letter.txt", "dear customer");
    ASSERT_TRUE(item(w, "Bank/letter.txt"));
    Peer peer("target", scratch_.file("peer.json"));
    person_.activate(w).when("the other program is up", [&] { return peer.centre().has_value(); });
    person_.then("drags the letter to it", [&] {
        person_.xdo(dragSteps(rowCentre(w, "Bank/letter.txt"))
                    + moveSteps(rowCentre(w, "Bank/letter.txt"), *peer.centre()) + dropSteps());
    });
    person_.when("it has the drop", [&] { return peer.line("drop").has_value(); }).pause(500);
    ASSERT_TRUE(person_.run());

    const QJsonObject drop = *peer.line("drop");
    EXPECT_EQ(drop.value("possible").toArray(), QJsonArray({"copy"}));
    const QJsonArray urls = drop.value("urls").toArray();
    ASSERT_EQ(urls.size(), 1);
    const QString handed = urls[0].toString();
    EXPECT_FALSE(handed.startsWith(w->databasePath() + '/')) << handed.toStdString();
    EXPECT_TRUE(handed.startsWith(w->document().tempDir() + '/')) << handed.toStdString();
    EXPECT_EQ(test::readAll(handed), QByteArray("dear customer"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(handed).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0400u);
    EXPECT_TRUE(item(w, "Bank/letter.txt"));
    EXPECT_EQ(test::readAll(w->document().absolutePath("Bank/letter.txt")), QByteArray("dear customer"));
}

TEST_F(DesktopDrag, ADragToTheTrashAsksAndThenDeletesTheItem)
{
    MainWindow* w = openWindow("Home.fvdb", QRect(40, 60, 640, 560));
    folders(w, {"Bank"});
    file(w, "Bank", "old bill.txt", "old bill");
    file(w, "Bank", "older bill.txt", "older bill");
    Peer trashCan("trash", scratch_.file("trash.json"));
    BoxLog boxes;
    person_.activate(w).when("the Trash is up", [&] { return trashCan.centre().has_value(); });
    const auto throwAway = [&](const QString& path) {
        person_.then("drags it to the Trash", [&, path] {
            person_.xdo(dragSteps(rowCentre(w, path)) + moveSteps(rowCentre(w, path), *trashCan.centre())
                        + dropSteps());
        });
    };
    // "No": the item stays; the Trash has a copy, nothing of the package.
    throwAway("Bank/old bill.txt");
    person_.answer(boxes, QStringLiteral("Delete"), QStringLiteral("No")).pause(300);
    person_.then("looks", [&] {
        EXPECT_TRUE(item(w, "Bank/old bill.txt"));
        EXPECT_EQ(test::readAll(w->document().absolutePath("Bank/old bill.txt")), QByteArray("old bill"));
    });
    // "Yes": deleted as the Delete command deletes.
    throwAway("Bank/older bill.txt");
    person_.when("the question is up", [&] { return boxes.showing() && boxes.showing()->isActiveWindow(); })
        .pause(300)
        .then("looks at it", [&] { shot(w, "drag-to-trash-question"); });
    person_.answer(boxes, QStringLiteral("Delete"), QStringLiteral("Yes"));
    person_.when("the item is gone", [&] { return !item(w, "Bank/older bill.txt"); });
    ASSERT_TRUE(person_.run());
    ASSERT_EQ(boxes.seen().size(), 2);
    EXPECT_TRUE(boxes.seen()[0].text.contains(ReallyDelete)) << boxes.seen()[0].text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(w->document().absolutePath("Bank/older bill.txt")));
    EXPECT_TRUE(item(w, "Bank/old bill.txt"));
    EXPECT_EQ(w->pathLineText(), QStringLiteral("Dragged File Deleted"));
}

TEST_F(DesktopDrag, DropsGoIntoFoldersOpenOrClosedEmptyOrNot)
{
    MainWindow* w = openWindow("Home.fvdb", QRect(40, 60, 640, 620));
    folders(w, {"Alpha", "Empty", "Closed", "Closed/Inner", "Bank"});
    file(w, "Bank", "letter.txt", "letter");
    w->treeView()->collapseAll();
    w->treeView()->expand(index(w, "Bank"));

    // Onto an empty folder's row: into it, moved.
    person_.activate(w).then("drags the letter onto Empty", [&] {
        person_.xdo(dragSteps(rowCentre(w, "Bank/letter.txt"))
                    + moveSteps(rowCentre(w, "Bank/letter.txt"), rowCentre(w, "Empty")) + dropSteps());
    });
    person_.when("it is in Empty", [&] { return item(w, "Empty/letter.txt") != nullptr; }).pause(300);
    person_.then("looks", [&] {
        EXPECT_FALSE(item(w, "Bank/letter.txt")) << "moved, not copied";
        EXPECT_TRUE(QFileInfo::exists(w->document().absolutePath("Empty/letter.txt")));
    });

    // Onto a closed folder: it springs open after a moment, and the drop goes into the folder
    // shown inside it.
    person_.then("drags it over Closed and rests there", [&] {
        const QPoint from = rowCentre(w, "Empty/letter.txt");
        person_.xdo(dragSteps(from) + moveSteps(from, rowCentre(w, "Closed")));
    });
    person_.when("Closed springs open", [&] { return w->treeView()->isExpanded(index(w, "Closed")); })
        .pause(250)
        .then("looks at it", [&] { shot(w, "folder-springs-open"); });
    person_.then("drops it on Inner", [&] {
        person_.xdo(moveSteps(rowCentre(w, "Closed"), rowCentre(w, "Closed/Inner"), 3) + dropSteps());
    });
    person_.when("it is in Inner", [&] { return item(w, "Closed/Inner/letter.txt") != nullptr; }).pause(300);
    ASSERT_TRUE(person_.run());
    EXPECT_TRUE(w->treeView()->isExpanded(index(w, "Closed"))) << "the folder the drop went into stays open";

    // From another program, before the first row of the top level: there, not at the end.
    const QString trips = scratch_.file("outside/Trips");
    QDir().mkpath(trips);
    ASSERT_TRUE(test::writeAll(trips + "/ticket.txt", "ticket"));
    Peer source("source", scratch_.file("source.json"), {trips});
    person_.when("the other program is up", [&] { return source.centre().has_value(); });
    const QString first = children(w, "").first();
    person_.then("drags the folder before the first row", [&] {
        person_.xdo(dragSteps(*source.centre()) + moveSteps(*source.centre(), rowTop(w, first), 8) + dropSteps());
    });
    person_.when("Trips is imported", [&] { return item(w, "Trips/ticket.txt") != nullptr; });
    ASSERT_TRUE(person_.run());
    EXPECT_EQ(children(w, "").mid(0, 2), QStringList({"Trips", first}));
    EXPECT_TRUE(QFileInfo::exists(trips + "/ticket.txt")) << "the other program's folder stays where it was";
}

TEST_F(DesktopDrag, BetweenDatabasesADragCopiesAndWithinOneCtrlCopies)
{
    MainWindow* home = openWindow("Home.fvdb", QRect(20, 60, 600, 560));
    MainWindow* work = openWindow("Work.fvdb", QRect(650, 60, 600, 560));
    folders(home, {"Bank", "Taxes"});
    file(home, "Bank", "letter.txt", "letter");
    folders(work, {"Inbox"});
    person_.activate(home).then("drags the letter to the other database", [&] {
        person_.xdo(dragSteps(rowCentre(home, "Bank/letter.txt"))
                    + moveSteps(rowCentre(home, "Bank/letter.txt"), rowCentre(work, "Inbox"), 10) + dropSteps());
    });
    person_.when("the other has it", [&] { return item(work, "Inbox/letter.txt") != nullptr; }).pause(300);
    person_.activate(home).then("drags it with Ctrl into Taxes", [&] {
        person_.xdo(dragSteps(rowCentre(home, "Bank/letter.txt")) + QStringList{"keydown", "ctrl"}
                    + moveSteps(rowCentre(home, "Bank/letter.txt"), rowCentre(home, "Taxes")) + dropSteps()
                    + QStringList{"keyup", "ctrl"});
    });
    person_.when("Taxes has it", [&] { return item(home, "Taxes/letter.txt") != nullptr; }).pause(300);
    ASSERT_TRUE(person_.run());
    EXPECT_TRUE(item(home, "Bank/letter.txt")) << "copied, so still here";
    EXPECT_EQ(test::readAll(work->document().absolutePath("Inbox/letter.txt")), QByteArray("letter"));
}

} // namespace
