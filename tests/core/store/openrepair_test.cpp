// What an open does with what an earlier run left behind: stored forms without an item,
// plain copies beside stored forms, and the change marker of an operation a crash cut
// short. Nothing the person may still need is deleted on a guess.

#include "crypto/cipher.h"
#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/repair.h"
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

struct Enciphered {
    QByteArray plain;
    QByteArray stored;
};

// `text` filled up to end three bytes short of a whole block: its padding is then too short
// to prove a key by itself.
QByteArray shortOfABlock(QByteArray text)
{
    while (text.size() % 16 != 13)
        text += ' ';
    return text;
}

Enciphered underKey(crypto::DatabaseKey& key, const QByteArray& plain)
{
    return {plain, *crypto::cryptData(key.encryptor(), plain)};
}

// `base`, made unique by a counter, enciphered with the key of `password` such that the
// current key deciphers it too, with a valid padding of fewer than four bytes (about one
// try in 256 gives one).
Enciphered underAnotherKeyThatTheCurrentOneSeemsToRead(const QString& password, const QByteArray& base)
{
    auto other = crypto::DatabaseKey::fromPassword(password);
    auto current = crypto::DatabaseKey::fromPassword(CurrentPassword);
    for (int n = 0; n < 1000000; ++n) {
        const Enciphered e = underKey(*other, shortOfABlock(base + QByteArray::number(n)));
        const auto seen = crypto::cryptData(current->decryptor(), e.stored);
        if (seen && *seen != e.plain && seen->size() > e.stored.size() - 4)
            return e;
    }
    ADD_FAILURE() << "no such ciphertext found";
    return {};
}

} // namespace

TEST_F(OpenRepair, AStoredFormWithoutItemIsTakenOnlyWithProofAndNeverLost)
{
    auto current = crypto::DatabaseKey::fromPassword(CurrentPassword);
    struct Case {
        const char* what;
        QString name;
        Enciphered file;
        QByteArray attributes; // stored beside it, when not empty
        QStringList typed;     // passwords the person gives when asked
        bool asked;
        QStringList recovered; // names in the recovery folder
    };
    const Enciphered pdf = underAnotherKeyThatTheCurrentOneSeemsToRead("before", "%PDF-1.4\n% scan ");
    const Enciphered text = underAnotherKeyThatTheCurrentOneSeemsToRead("before", "plain words ");
    const QByteArray memoRecord = plist::encodeKeyedArchive(plist::Dict{{keys::Path, QStringLiteral("Unfiled/Memo.txt")}});
    const Case cases[] = {
        {"no other password: the stored form comes along", "Scan.pdf", pdf, {}, {}, true,
         {"Scan.pdf", "Scan.pdf.fvdbe"}},
        {"the other password proves itself", "Scan.pdf", pdf, {}, {"before"}, true, {"Scan.pdf"}},
        {"the other password without proof: the stored form comes along", "Words.txt", text, {}, {"before"}, true,
         {"Words.txt", "Words.txt.fvdbe"}},
        {"the current key proven by the attributes file", "Memo.txt",
         underKey(*current, shortOfABlock("a memo of this database")), *crypto::cryptData(current->encryptor(), memoRecord),
         {}, false, {"Memo.txt"}},
        {"the current key proven by a whole block of padding", "Empty.txt", underKey(*current, {}), {}, {}, false,
         {"Empty.txt"}},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui_ = {};
        MyDocument& doc = open("Encrypted.fvdb", ++round);
        const QString stored = "Unfiled/" + c.name + ".fvdbe";
        put(stored, c.file.stored);
        if (!c.attributes.isEmpty())
            put("Unfiled/.+" + c.name + ".fvdbe", c.attributes);
        const QString folder = scratch_.file(QStringLiteral("Recovered %1").arg(round));
        ui_.recoveryFolder = folder;
        ui_.recoveryPasswords = c.typed;

        EXPECT_TRUE(doc.repairDBandFindReminders());
        EXPECT_EQ(ui_.recoveryPrompts.isEmpty(), !c.asked);
        if (c.asked) {
            EXPECT_EQ(ui_.recoveryPrompts.value(0), msg::RecoverPassword.arg(c.name, msg::RecoverPasswordDifferent));
        }
        // Nothing is lost: what the right key gives, or else the stored form as it was,
        // is in the recovery folder before the package lets go of it.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), c.recovered);
        if (c.recovered.contains(c.name + ".fvdbe")) {
            EXPECT_EQ(readAll(folder + "/" + c.name + ".fvdbe"), c.file.stored);
        }
        if (!c.typed.isEmpty() || !c.asked) {
            EXPECT_EQ(readAll(folder + "/" + c.name), c.file.plain);
        }
        EXPECT_FALSE(fs::exists(pkg_ + "/" + stored));
        EXPECT_TRUE(QDir(doc.tempDir()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        doc_.reset();
    }
}

TEST_F(OpenRepair, APlainBundleBesideItsStoredFormGoesOnlyWhenItHoldsTheSame)
{
    const QString bundle = "Notes/Report.rtfd";
    for (const bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "edited" : "the same");
        MyDocument& doc = open("Encrypted.fvdb", edited);
        {
            auto copy = doc.plainCopyForReading(bundle);
            ASSERT_TRUE(copy && copy->valid());
            fs::ScopedWritable w(pkg_ + "/Notes");
            ASSERT_TRUE(fs::copyTree(copy->path(), pkg_ + "/" + bundle));
        }
        const QString inside = pkg_ + "/" + bundle + "/TXT.rtf";
        ASSERT_TRUE(fs::exists(inside));
        if (edited) {
            fs::ScopedWritable w(pkg_ + "/" + bundle);
            ASSERT_TRUE(fs::setMode(inside, 0644));
            ASSERT_TRUE(writeAll(inside, "{\\rtf1 the owner's edits}"));
        }

        const ConsistencyReport r = checkConsistency(doc);
        EXPECT_EQ(r.plainCopies, edited ? QStringList() : QStringList{bundle});
        EXPECT_EQ(r.filesToRecover, edited ? QStringList{bundle} : QStringList());
        applySilentRepairs(doc, r);
        EXPECT_EQ(fs::exists(pkg_ + "/" + bundle), edited);
        if (edited) {
            EXPECT_EQ(readAll(inside), "{\\rtf1 the owner's edits}");
        }
        EXPECT_TRUE(fs::exists(pkg_ + "/" + bundle + ".fvdbzre"));
        doc_.reset();
    }
}

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
