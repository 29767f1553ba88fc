// What an open does with what an earlier run left behind: the change marker of an
// operation a crash cut short.

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "util/fs.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace folivo;
using namespace folivo::test;

namespace {

const QString CurrentPassword = QStringLiteral("pässwörd");

class OpenRepair : public Fixtures {
protected:
    MyDocument& open(const QString& fixture, int round = 0)
    {
        pkg_ = scratch_.file(QStringLiteral("%1/%2").arg(round).arg(fixture));
        EXPECT_TRUE(QDir().mkpath(QFileInfo(pkg_).path()));
        EXPECT_TRUE(fs::copyTree(fixtures_->file(fixture), pkg_));
        return reopen();
    }
    MyDocument& reopen()
    {
        doc_.reset();
        ui_.passwords = {CurrentPassword};
        ui_.asked.clear();
        doc_ = std::make_unique<MyDocument>(ui_);
        const OpenResult r = doc_->openDatabase(pkg_);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        return *doc_;
    }
    void put(const QString& rel, const QByteArray& data)
    {
        const QString abs = pkg_ + '/' + rel;
        fs::ScopedWritable w(QFileInfo(abs).path());
        ASSERT_TRUE(writeAll(abs, data)) << rel.toStdString();
    }
    bool reportShown() const
    {
        for (const Prompt& p : ui_.asked)
            if (p.title == msg::RepairTitle)
                return true;
        return false;
    }

    QString pkg_;
    std::unique_ptr<MyDocument> doc_;
};

} // namespace

TEST_F(OpenRepair, ACrashInTheFirstOperationAfterASaveLeadsToARebuild)
{
    MyDocument& doc = open("Household.fvdb");
    ASSERT_EQ(doc.recordNewCategory("Inbox", nullptr, -1).status, OperationResult::Status::Done);
    ASSERT_TRUE(doc.saveChanges(false).saved);
    ASSERT_FALSE(fs::exists(pkg_ + "/" + pkg::Changed));

    // The process dies at the last step of a move to the top level, after the records at
    // the new place were written: the index on disk still has the file where it was.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        fs::setFaultHook([](fs::Op op, const QString& p) {
            if (op == fs::Op::Remove && p.endsWith("/Unfiled/.+Note.txt"))
                ::_exit(42);
            return false;
        });
        doc.recordMovePath("Unfiled/Note.txt", nullptr, 0);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << "the move ended before the step the crash was set at";

    EXPECT_TRUE(fs::exists(pkg_ + "/" + pkg::Changed));
    MyDocument& again = reopen();
    EXPECT_TRUE(again.rebuiltAtOpen());
    EXPECT_TRUE(again.tree().itemForPath("Note.txt"));
    EXPECT_FALSE(again.tree().itemForPath("Unfiled/Note.txt"));
    EXPECT_TRUE(again.tree().itemForPath("Inbox"));
    EXPECT_FALSE(reportShown());
}
