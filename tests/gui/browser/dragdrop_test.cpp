// Dragging items out of the browser and dropping things into it, over real packages.

#include "gui/dndtestsupport.h"

#include "browser/browserdrops.h"

#include "browser/droprules.h"
#include "plist/binary.h"
#include "store/keys.h"

#include <QFileInfo>
#include <QMimeData>
#include <QSignalSpy>
#include <QTreeView>
#include <QUrl>

using namespace folivo;
using namespace folivo::gui;
using folivo::test::OpenDb;

namespace {

class DragDrop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(test::fixturesDir().isEmpty()) << "fixture generation failed";
        home_ = test::openCopy(scratch_, "Household.fvdb", "Household.fvdb");
        ASSERT_TRUE(home_);
    }
    // The drag a browser makes of these items.
    static std::unique_ptr<QMimeData> drag(const OpenDb& db, const QStringList& paths)
    {
        QModelIndexList indexes;
        for (const QString& p : paths)
            indexes << db.index(p);
        return std::unique_ptr<QMimeData>(db.model->mimeData(indexes));
    }
    static QStringList entryPaths(const QMimeData& data, QStringList* types = nullptr)
    {
        QStringList out;
        const auto v = plist::readBinary(data.data(mime::Items));
        if (!v || !v->isArray())
            return out;
        for (const plist::Value& e : v->array()) {
            out << e.dict().find("Path")->string();
            if (types)
                *types << e.dict().find("Type")->string();
        }
        return out;
    }
    static QStringList childPaths(const IndexItem* folder)
    {
        QStringList out;
        for (const auto& c : folder->children())
            out << c->path();
        return out;
    }

    test::Scratch scratch_;
    std::unique_ptr<OpenDb> home_;
};

TEST_F(DragDrop, DragOutListsItemsFilesAndLogins)
{
    // A date folder that leads to a single file drags that file; a folder dragged with its
    // own contents is listed once.
    auto data = drag(*home_, {"Bank/Visa/2024", "Bank/Welcome Letter.pdf", "Bank", "Bank/Visa"});
    ASSERT_TRUE(data);
    QStringList types;
    EXPECT_EQ(entryPaths(*data, &types), (QStringList{"Bank"}));
    EXPECT_EQ(types, (QStringList{"Folder"}));
    EXPECT_FALSE(data->hasUrls()) << "folders are not files for other programs";
    EXPECT_EQ(QString::fromUtf8(data->data(mime::DBPath)), home_->doc->dbPath());
    const auto logins = plist::readBinary(data->data(mime::Logins));
    ASSERT_TRUE(logins && logins->isArray());
    ASSERT_EQ(logins->array().size(), 1u);
    EXPECT_EQ(logins->array()[0].dict().find("websiteURL")->string(), "https://bank.example.com/login");

    data = drag(*home_, {"Bank/Visa/2024", "Bank/Welcome Letter.pdf", "Last Import"});
    ASSERT_TRUE(data);
    types.clear();
    EXPECT_EQ(entryPaths(*data, &types),
              (QStringList{"Bank/Visa/2024/January/Statement.pdf", "Bank/Welcome Letter.pdf", "Last Import"}));
    EXPECT_EQ(types, (QStringList{"File", "File", "SmartFolder"}));
    EXPECT_FALSE(data->hasFormat(mime::Logins));
    // Other programs get copies of the files, apart from the package: what they do with them
    // (a file manager moves what it is given) does not reach the database.
    const QStringList stored = {"Bank/Visa/2024/January/Statement.pdf", "Bank/Welcome Letter.pdf"};
    ASSERT_EQ(data->urls().size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QString file = data->urls()[i].toLocalFile();
        EXPECT_TRUE(file.startsWith(home_->doc->tempDir() + '/')) << file.toStdString();
        EXPECT_EQ(QFileInfo(file).fileName(), QFileInfo(stored[i]).fileName());
        EXPECT_EQ(test::readAll(file), test::readAll(home_->abs(stored[i])));
        EXPECT_TRUE(QFile::remove(file));
        EXPECT_TRUE(QFileInfo::exists(home_->abs(stored[i])));
    }

    // A smart file stands for a file elsewhere: a drag that holds one does not start.
    IndexItem* lastImport = home_->item("Last Import");
    home_->doc->tree().insert(lastImport, std::make_unique<IndexItem>(
                                              plist::Dict{{keys::Path, "Last Import/Statement.pdf"},
                                                          {keys::SmartFile, "Bank/Visa/2024/January/Statement.pdf"}},
                                              false));
    home_->model->reload();
    EXPECT_FALSE(drag(*home_, {"Bank/Welcome Letter.pdf", "Last Import/Statement.pdf"}));
}

TEST_F(DragDrop, EncryptedFilesLeaveAsPrivatePlainCopies)
{
    auto secret = test::openCopy(scratch_, "Encrypted.fvdb", "Encrypted.fvdb", {QStringLiteral("pässwörd")});
    ASSERT_TRUE(secret);
    const auto before = test::folderSnapshot(secret->doc->dbPath());
    auto data = drag(*secret, {"Unfiled/Block32.txt"});
    ASSERT_TRUE(data);
    ASSERT_EQ(data->urls().size(), 1);
    const QString file = data->urls().front().toLocalFile();
    EXPECT_FALSE(file.startsWith(secret->doc->dbPath() + '/')) << file.toStdString();
    EXPECT_EQ(test::readAll(file), QByteArray("thirty-two bytes, two AES blocks"));
    EXPECT_EQ(test::folderSnapshot(secret->doc->dbPath()), before) << "nothing deciphered inside the package";
}

TEST_F(DragDrop, MovesWithinOneDatabaseAndCopiesWithCtrl)
{
    QSignalSpy selected(home_->model.get(), &TreeModel::selectRequested);
    const QModelIndex unfiled = home_->index("Unfiled");

    auto data = drag(*home_, {"Bank/Welcome Letter.pdf"});
    ASSERT_TRUE(home_->model->canDropMimeData(data.get(), Qt::CopyAction, 0, 0, unfiled));
    ASSERT_TRUE(home_->model->dropMimeData(data.get(), Qt::CopyAction, 0, 0, home_->index("Unfiled")));
    EXPECT_TRUE(home_->item("Bank/Welcome Letter.pdf")) << "Ctrl copies";
    EXPECT_TRUE(home_->item("Unfiled/Welcome Letter.pdf"));
    EXPECT_TRUE(QFileInfo::exists(home_->abs("Unfiled/Welcome Letter.pdf")));
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0][0].toStringList(), (QStringList{"Unfiled/Welcome Letter.pdf"}));
    EXPECT_EQ(selected[0][1].toString(), QStringLiteral("Dragged Items Selected In Browser"));

    // Without Ctrl: a move, the second item placed after the first at the drop position.
    data = drag(*home_, {"Bank/Welcome Letter.pdf", "Bank/Visa/2023/December/Statement.pdf"});
    ASSERT_TRUE(home_->model->dropMimeData(data.get(), Qt::MoveAction, 1, 0, home_->index("Unfiled")));
    EXPECT_FALSE(home_->item("Bank/Welcome Letter.pdf"));
    EXPECT_FALSE(QFileInfo::exists(home_->abs("Bank/Welcome Letter.pdf")));
    EXPECT_TRUE(QFileInfo::exists(home_->abs("Unfiled/Welcome Letter2.pdf")));
    EXPECT_EQ(childPaths(home_->item("Unfiled")),
              (QStringList{"Unfiled/Welcome Letter.pdf", "Unfiled/Welcome Letter2.pdf", "Unfiled/Statement.pdf",
                           "Unfiled/Note.txt"}));
    EXPECT_EQ(selected.back()[0].toStringList(), (QStringList{"Unfiled/Welcome Letter2.pdf", "Unfiled/Statement.pdf"}));
}

TEST_F(DragDrop, DropFromAnotherDatabaseCopies)
{
    auto work = test::openCopy(scratch_, "Household.fvdb", "Work.fvdb");
    ASSERT_TRUE(work);
    auto data = drag(*home_, {"Bank/Visa"});
    // Proposed as a move (no modifier): still a copy, the other database keeps its items.
    ASSERT_TRUE(work->model->canDropMimeData(data.get(), Qt::MoveAction, 0, 0, work->index("Bank")));
    ASSERT_TRUE(work->model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, work->index("Bank")));
    EXPECT_TRUE(home_->item("Bank/Visa/2023/March/Statement.pdf"));
    EXPECT_TRUE(QFileInfo::exists(home_->abs("Bank/Visa/2023/March/Statement.pdf")));
    EXPECT_TRUE(work->item("Bank/Visa2/2023/March/Statement.pdf")) << "the name taken gets a number";
    EXPECT_EQ(test::readAll(work->abs("Bank/Visa2/2023/March/Statement.pdf")),
              test::readAll(home_->abs("Bank/Visa/2023/March/Statement.pdf")));

    // The other database is gone: its items can no longer be read, so nothing is taken.
    data = drag(*home_, {"Unfiled/Note.txt"});
    home_->doc->close();
    EXPECT_FALSE(work->model->canDropMimeData(data.get(), Qt::MoveAction, 0, 0, work->index("Bank")));
}

TEST_F(DragDrop, ADropOntoAFoldersRowGoesFirstInsideIt)
{
    for (const char* name : {"Empty", "Trips", "Car"})
        ASSERT_TRUE(home_->doc->recordNewCategory(name, nullptr, 0).ok());
    home_->model->reload();
    TreeModel& m = *home_->model;
    auto trips = drag(*home_, {"Trips"});
    ASSERT_TRUE(m.canDropMimeData(trips.get(), Qt::MoveAction, -1, 0, home_->index("Empty")));
    ASSERT_TRUE(m.dropMimeData(trips.get(), Qt::MoveAction, -1, 0, home_->index("Empty")));
    EXPECT_EQ(childPaths(home_->item("Empty")), (QStringList{"Empty/Trips"}));
    EXPECT_TRUE(QFileInfo(home_->abs("Empty/Trips")).isDir());
    auto car = drag(*home_, {"Car"});
    ASSERT_TRUE(m.dropMimeData(car.get(), Qt::MoveAction, -1, 0, home_->index("Empty")));
    EXPECT_EQ(childPaths(home_->item("Empty")), (QStringList{"Empty/Car", "Empty/Trips"}));

    // Files from outside: the import puts them first too.
    test::Scratch outside;
    ASSERT_TRUE(test::writeAll(outside.file("a.pdf"), "%PDF-1.4\n"));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(outside.file("a.pdf"))});
    QSignalSpy imports(&m, &TreeModel::importRequested);
    ASSERT_TRUE(m.dropMimeData(&files, Qt::CopyAction, -1, 0, home_->index("Bank")));
    ASSERT_EQ(imports.size(), 1);
    EXPECT_EQ(imports[0][1].toString(), QStringLiteral("Bank"));
    EXPECT_EQ(imports[0][2].toInt(), -1) << "one before the first place";
}

TEST_F(DragDrop, FoldersAreComparedByWholeComponents)
{
    ASSERT_TRUE(home_->doc->recordNewCategory("Banking", nullptr, 2).ok());
    home_->model->reload();
    auto data = drag(*home_, {"Bank"});
    // Onto its own subfolder, or into itself: refused, also as a copy.
    for (Qt::DropAction action : {Qt::MoveAction, Qt::CopyAction}) {
        EXPECT_FALSE(home_->model->canDropMimeData(data.get(), action, 0, 0, home_->index("Bank/Visa")));
        EXPECT_FALSE(home_->model->canDropMimeData(data.get(), action, 0, 0, home_->index("Bank")));
    }
    EXPECT_FALSE(home_->model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, home_->index("Bank/Visa")));
    EXPECT_TRUE(home_->item("Bank/Visa"));

    ASSERT_TRUE(home_->model->canDropMimeData(data.get(), Qt::MoveAction, 0, 0, home_->index("Banking")));
    ASSERT_TRUE(home_->model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, home_->index("Banking")));
    EXPECT_TRUE(home_->item("Banking/Bank/Visa/2024/January/Statement.pdf"));
    EXPECT_FALSE(home_->item("Bank"));
}

TEST_F(DragDrop, PlacesThatTakeNoDrop)
{
    auto file = drag(*home_, {"Unfiled/Note.txt"});
    auto folder = drag(*home_, {"Bank/Visa"});
    TreeModel& m = *home_->model;
    EXPECT_FALSE(m.canDropMimeData(folder.get(), Qt::MoveAction, -1, -1, QModelIndex())) << "below the last row";
    EXPECT_FALSE(m.canDropMimeData(file.get(), Qt::MoveAction, -1, -1, home_->index("Bank/Visa/2023")))
        << "onto a date folder's row";
    EXPECT_FALSE(m.canDropMimeData(file.get(), Qt::MoveAction, 0, 0, home_->index("Bank/Visa/2023"))) << "date folder";
    EXPECT_FALSE(m.canDropMimeData(file.get(), Qt::MoveAction, 0, 0, home_->index("Last Import"))) << "smart folder";
    EXPECT_FALSE(m.canDropMimeData(file.get(), Qt::MoveAction, 1, 0, QModelIndex())) << "a file at the top level";
    EXPECT_TRUE(m.canDropMimeData(folder.get(), Qt::MoveAction, 1, 0, QModelIndex()));
    EXPECT_FALSE(m.canDropMimeData(folder.get(), Qt::MoveAction, 0, 0, home_->index("Unfiled")));
    // Visa's date folders begin at 0: nothing goes after them.
    EXPECT_FALSE(m.canDropMimeData(file.get(), Qt::MoveAction, 1, 0, home_->index("Bank/Visa")));
    EXPECT_TRUE(m.canDropMimeData(file.get(), Qt::MoveAction, 0, 0, home_->index("Bank/Visa")));

    home_->doc->tree().sorting.keepSorted = true;
    auto visa = drag(*home_, {"Bank/Visa"});
    EXPECT_FALSE(m.canDropMimeData(visa.get(), Qt::MoveAction, 0, 0, home_->index("Bank"))) << "sorted back in place";
}

TEST_F(DragDrop, LoginRecordsFromElsewhereBecomeNewFolders)
{
    const plist::Array records = {
        plist::Dict{{"Path", "Other/Deep/Bank Login"},
                    {"Children", plist::Array{plist::Dict{{"Path", "Other/Deep/Bank Login/x.pdf"}}}},
                    {"Date", true},
                    {"SmartFolder", plist::Dict{}},
                    {"websiteURL", "https://login.example"},
                    {"websiteUserID", "me"},
                    {"Notes", "from the other machine"}},
        plist::Dict{{"Path", "Other/Deep/Bank Login"}, {"websiteURL", "https://second.example"}},
    };
    QMimeData data;
    data.setData(mime::Logins, plist::writeBinary(records));
    QSignalSpy selected(home_->model.get(), &TreeModel::selectRequested);
    ASSERT_TRUE(home_->model->canDropMimeData(&data, Qt::MoveAction, 1, 0, home_->index("Bank")));
    ASSERT_TRUE(home_->model->dropMimeData(&data, Qt::MoveAction, 1, 0, home_->index("Bank")));

    const IndexItem* made = home_->item("Bank/Bank Login");
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->isPlainFolder());
    EXPECT_TRUE(made->children().empty());
    EXPECT_EQ(made->value("websiteURL")->string(), "https://login.example");
    EXPECT_EQ(made->value("Notes")->string(), "from the other machine");
    EXPECT_FALSE(made->has("SmartFolder"));
    EXPECT_FALSE(home_->item("Bank/Other")) << "the other database's folders are not made here";
    EXPECT_TRUE(QFileInfo(home_->abs("Bank/Bank Login")).isDir());
    EXPECT_TRUE(QFileInfo::exists(home_->abs("Bank/.+Bank Login")));
    ASSERT_TRUE(home_->item("Bank/Bank Login2"));
    EXPECT_EQ(childPaths(home_->item("Bank")).mid(1, 2), (QStringList{"Bank/Bank Login", "Bank/Bank Login2"}));
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0][0].toStringList(), (QStringList{"Bank/Bank Login", "Bank/Bank Login2"}));
}

TEST_F(DragDrop, AFolderWithALoginArrivesOnceWhetherMovedOrCopied)
{
    // The drag carries the login twice over: inside the folder's items and as a login
    // record. Only the items are taken, or the login would arrive a second time as a folder
    // of its own.
    auto work = test::openCopy(scratch_, "Household.fvdb", "Work.fvdb");
    ASSERT_TRUE(work);
    auto data = drag(*home_, {"Bank"});
    ASSERT_TRUE(data->hasFormat(mime::Logins));
    const std::size_t before = work->doc->tree().categoriesArray().size();
    ASSERT_TRUE(work->model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, QModelIndex()));
    EXPECT_EQ(work->doc->tree().categoriesArray().size(), before + 1);
    const IndexItem* copy = work->item("Bank2");
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->value("websiteURL")->string(), "https://bank.example.com/login");
    EXPECT_TRUE(work->item("Bank2/Visa"));
    EXPECT_FALSE(work->item("Bank3"));

    ASSERT_EQ(home_->doc->recordNewCategory("Archive", nullptr, -1).status, OperationResult::Status::Done);
    data = drag(*home_, {"Bank"});
    ASSERT_TRUE(home_->model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, home_->index("Archive")));
    ASSERT_TRUE(home_->item("Archive/Bank"));
    EXPECT_EQ(home_->item("Archive/Bank")->value("websiteURL")->string(), "https://bank.example.com/login");
    EXPECT_FALSE(home_->item("Bank"));
    EXPECT_EQ(home_->item("Archive")->children().size(), 1u);
}

TEST_F(DragDrop, FilesFromOutsideAreHandedToTheImport)
{
    test::Scratch outside;
    ASSERT_TRUE(test::writeAll(outside.file("a.pdf"), "%PDF-1.4\n"));
    ASSERT_TRUE(QDir().mkdir(outside.file("Trips")));
    ASSERT_TRUE(QDir().mkdir(outside.file("Old.fvdb")));
    auto urls = [&](QStringList names) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> list;
        for (const QString& n : names)
            list << QUrl::fromLocalFile(outside.file(n));
        data->setUrls(list);
        return data;
    };
    QSignalSpy imports(home_->model.get(), &TreeModel::importRequested);
    TreeModel& m = *home_->model;

    auto both = urls({"a.pdf", "Trips"});
    ASSERT_TRUE(m.dropMimeData(both.get(), Qt::MoveAction, 1, 0, home_->index("Bank")));
    ASSERT_EQ(imports.size(), 1);
    EXPECT_EQ(imports[0][0].toStringList(), (QStringList{outside.file("a.pdf"), outside.file("Trips")}));
    EXPECT_EQ(imports[0][1].toString(), QStringLiteral("Bank"));
    EXPECT_EQ(imports[0][2].toInt(), 0);
    EXPECT_FALSE(home_->item("Bank/a.pdf")) << "the model imports nothing itself";

    EXPECT_FALSE(m.canDropMimeData(both.get(), Qt::MoveAction, 0, 0, QModelIndex()));
    EXPECT_TRUE(m.canDropMimeData(urls({"Trips"}).get(), Qt::CopyAction, 0, 0, QModelIndex()));
    EXPECT_FALSE(m.canDropMimeData(urls({"Old.fvdb"}).get(), Qt::CopyAction, 0, 0, QModelIndex()));
}

TEST_F(DragDrop, ModelStaysConsistentThroughRenamesAndMoves)
{
    test::ModelTesterFailures failures;
    QAbstractItemModelTester tester(home_->model.get(), QAbstractItemModelTester::FailureReportingMode::Warning);
    QTreeView view;
    view.setModel(home_->model.get());
    setUpBrowserView(&view);
    view.expandAll();

    ASSERT_TRUE(home_->model->setData(home_->index("Bank/Visa/2023/March/Statement.pdf"), "March statement"));
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    view.expandAll();
    auto data = drag(*home_, {"Bank/Visa/2023/December/Statement.pdf"});
    ASSERT_TRUE(home_->model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, home_->index("Unfiled")));
    view.expandAll();
    // The emptied month folder went with the move, and its year stays for March.
    EXPECT_FALSE(home_->item("Bank/Visa/2023/December"));
    EXPECT_TRUE(home_->item("Bank/Visa/2023/March/March statement.pdf"));
    EXPECT_EQ(home_->model->rowCount(home_->index("Bank/Visa/2023")), 1);
    EXPECT_EQ(home_->model->data(home_->index("Unfiled/Statement.pdf")).toString(), "Statement");
    EXPECT_EQ(failures.count(), 0);
}

} // namespace
