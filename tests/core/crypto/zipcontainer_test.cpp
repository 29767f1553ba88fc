// Zip containers of folder items: what goes in comes back (contents, kinds, modes,
// times), archives agree with Info-ZIP's tools both ways, and hostile or damaged
// archives are refused without a trace outside the target.

#include "crypto/zipcontainer.h"
#include "support/testsupport.h"
#include "util/fs.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace folivo;
using folivo::test::Scratch;
using zipc::EntryNaming;

namespace {

QByteArray native(const QString& p)
{
    return QFile::encodeName(p);
}

// ---- trees on disk ------------------------------------------------------------------

struct Node {
    char kind = 'f'; // f file, d folder, l link
    unsigned mode = 0;
    qint64 mtime = 0;
    QByteArray content; // file content or link text
};
using Tree = std::map<QByteArray, Node>;

void snapshotInto(const QByteArray& abs, const QByteArray& rel, Tree& tree)
{
    DIR* dir = ::opendir(abs.constData());
    ASSERT_NE(dir, nullptr) << abs.constData();
    while (dirent* d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = abs + '/' + name;
        const QByteArray childRel = rel.isEmpty() ? name : rel + '/' + name;
        struct stat st {};
        ASSERT_EQ(::lstat(path.constData(), &st), 0);
        Node n;
        n.mode = st.st_mode & 07777;
        n.mtime = st.st_mtime;
        if (S_ISDIR(st.st_mode)) {
            n.kind = 'd';
        } else if (S_ISLNK(st.st_mode)) {
            n.kind = 'l';
            QByteArray text(4096, '\0');
            text.truncate(::readlink(path.constData(), text.data(), 4096));
            n.content = text;
        } else {
            n.content = folivo::test::readAll(QFile::decodeName(path));
        }
        tree[childRel] = n;
        if (n.kind == 'd')
            snapshotInto(path, childRel, tree);
    }
    ::closedir(dir);
}

Tree snapshot(const QString& root)
{
    Tree tree;
    snapshotInto(native(root), QByteArray(), tree);
    return tree;
}

// One line per node, so that a mismatch shows as a readable diff.
std::string describe(const Tree& tree, bool withModes = true)
{
    std::string out;
    for (const auto& [rel, n] : tree) {
        char line[96];
        std::snprintf(line, sizeof line, " %c %04o %lld ", n.kind, withModes ? n.mode : 0u, (long long)n.mtime);
        out += rel.toStdString() + line
            + (n.content.size() > 40 ? "<" + std::to_string(qHash(n.content)) + ">" : n.content.toStdString()) + "\n";
    }
    return out;
}

unsigned mode(const QString& path)
{
    struct stat st {};
    ::lstat(native(path).constData(), &st);
    return st.st_mode & 07777;
}

QStringList listing(const QString& dir)
{
    QStringList l = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    l.sort();
    return l;
}

void setTime(const QString& path, qint64 mtime)
{
    const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0) << path.toStdString();
}

// A document bundle with the awkward parts: nested and empty folders, an empty file,
// a name full of shell and quoting characters, relative links, modes a reader must not
// get back unmasked (setuid, sticky, world-writable), and times before 1970 and after
// 2038 that 32-bit and DOS fields get wrong.
struct BundleItem {
    const char* rel;
    char kind;
    unsigned mode;
    qint64 mtime;
    QByteArray content;
};

const QString kOddName = QString::fromUtf8("it's a \"quoted\" $(touch pwned) `x` \\ résumé.txt");

std::vector<BundleItem> bundleItems()
{
    QByteArray big;
    for (int i = 0; i < 4000; ++i)
        big += "line " + QByteArray::number(i) + " of a compressible file\n";
    static const QByteArray odd = kOddName.toUtf8();
    return {
        {"a.txt", 'f', 0644, 1000000001, "alpha\n"},
        {"empty", 'f', 0600, 1000000003, ""},
        {"run.sh", 'f', 04755, 1100000005, "#!/bin/sh\necho hi\n"},
        {"shared.txt", 'f', 0666, 1200000007, "shared"},
        {"locked.txt", 'f', 0444, -31536001, "from 1969"},
        {odd.constData(), 'f', 0640, 2200000009, "odd name"},
        {"sub", 'd', 0750, 1300000011, {}},
        {"sub/deeper", 'd', 0755, 1300000013, {}},
        {"sub/deeper/b.txt", 'f', 0644, 1300000015, big},
        {"sub/empty dir", 'd', 0555, 1300000017, {}},
        {"sticky", 'd', 01777, 1300000019, {}},
        {"link", 'l', 0777, 1300000021, "sub/deeper/b.txt"},
        {"sub/up", 'l', 0777, 1300000023, "../a.txt"},
    };
}

constexpr unsigned kRootMode = 0700;
constexpr qint64 kRootTime = 1400000001;

void buildBundle(const QString& root)
{
    ASSERT_TRUE(QDir().mkpath(root));
    const std::vector<BundleItem> items = bundleItems();
    for (const BundleItem& s : items) {
        const QString path = root + '/' + QString::fromUtf8(s.rel);
        if (s.kind == 'd') {
            ASSERT_TRUE(QDir().mkdir(path));
        } else if (s.kind == 'l') {
            ASSERT_EQ(::symlink(s.content.constData(), native(path).constData()), 0);
        } else {
            ASSERT_TRUE(folivo::test::writeAll(path, s.content));
        }
    }
    // Modes and times once everything exists, so that nothing created later moves them.
    for (const BundleItem& s : items) {
        const QString path = root + '/' + QString::fromUtf8(s.rel);
        if (s.kind != 'l') {
            ASSERT_EQ(::chmod(native(path).constData(), s.mode), 0);
        }
        setTime(path, s.mtime);
    }
    ASSERT_EQ(::chmod(native(root).constData(), kRootMode), 0);
    setTime(root, kRootTime);
}

// What an unpacked copy must look like: the same tree with modes masked.
Tree expectedTree(const Tree& source, bool readOnly)
{
    Tree t = source;
    for (auto& [rel, n] : t) {
        if (n.kind == 'f')
            n.mode = readOnly ? 0400 : (n.mode & 0755) | 0600;
        else if (n.kind == 'd')
            n.mode = readOnly ? 0500 : (n.mode & 0755) | 0700;
    }
    return t;
}

// ---- archives built by hand ---------------------------------------------------------

quint32 crc32(const QByteArray& data)
{
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data) {
        c ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

QByteArray rawDeflate(const QByteArray& data)
{
    const QByteArray z = qCompress(data, 9); // 4-byte length, zlib header, deflate, adler32
    return z.mid(6, z.size() - 10);
}

struct RawEntry {
    QByteArray name;
    QByteArray data;
    quint32 unixMode = 0100644; // 0: no Unix mode recorded
    bool deflate = false;
    qint64 recordedSize = -1; // the uncompressed size written to the headers; -1: the real one
};

void le16(QByteArray& b, quint32 v)
{
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}
void le32(QByteArray& b, quint32 v)
{
    le16(b, v & 0xFFFF);
    le16(b, v >> 16);
}
void le64(QByteArray& b, quint64 v)
{
    le32(b, quint32(v));
    le32(b, quint32(v >> 32));
}

// A zip archive written byte by byte, so that names and headers can be anything a
// hostile archive may hold (duplicates, "..", lying sizes) and no library tidies them.
QByteArray rawZip(const std::vector<RawEntry>& entries)
{
    QByteArray out, central;
    for (const RawEntry& e : entries) {
        const QByteArray payload = e.deflate ? rawDeflate(e.data) : e.data;
        const quint32 usize = quint32(e.recordedSize >= 0 ? e.recordedSize : e.data.size());
        const quint32 offset = quint32(out.size());
        le32(out, 0x04034b50);
        le16(out, 20);
        le16(out, 0);
        le16(out, e.deflate ? 8 : 0);
        le16(out, 0);      // time
        le16(out, 0x21);   // 1980-01-01
        le32(out, crc32(e.data));
        le32(out, quint32(payload.size()));
        le32(out, usize);
        le16(out, quint32(e.name.size()));
        le16(out, 0);
        out += e.name;
        out += payload;

        le32(central, 0x02014b50);
        le16(central, e.unixMode ? 0x031E : 0x001E); // made by Unix or MS-DOS
        le16(central, 20);
        le16(central, 0);
        le16(central, e.deflate ? 8 : 0);
        le16(central, 0);
        le16(central, 0x21);
        le32(central, crc32(e.data));
        le32(central, quint32(payload.size()));
        le32(central, usize);
        le16(central, quint32(e.name.size()));
        le16(central, 0);
        le16(central, 0);
        le16(central, 0);
        le16(central, 0);
        le32(central, e.unixMode << 16);
        le32(central, offset);
        central += e.name;
    }
    const quint64 cdOffset = quint64(out.size());
    out += central;
    const quint64 count = entries.size();
    if (count > 0xFFFE) {
        const quint64 zip64At = quint64(out.size());
        le32(out, 0x06064b50);
        le64(out, 44);
        le16(out, 45);
        le16(out, 45);
        le32(out, 0);
        le32(out, 0);
        le64(out, count);
        le64(out, count);
        le64(out, quint64(central.size()));
        le64(out, cdOffset);
        le32(out, 0x07064b50);
        le32(out, 0);
        le64(out, zip64At);
        le32(out, 1);
    }
    le32(out, 0x06054b50);
    le16(out, 0);
    le16(out, 0);
    le16(out, count > 0xFFFE ? 0xFFFF : quint32(count));
    le16(out, count > 0xFFFE ? 0xFFFF : quint32(count));
    le32(out, quint32(central.size()));
    le32(out, quint32(cdOffset));
    le16(out, 0);
    return out;
}

RawEntry dir(const QByteArray& name)
{
    return RawEntry{name, {}, 040755};
}
RawEntry file(const QByteArray& name, const QByteArray& data = "data")
{
    return RawEntry{name, data, 0100644};
}
RawEntry linkEntry(const QByteArray& name, const QByteArray& text)
{
    return RawEntry{name, text, 0120777};
}

// ---- Info-ZIP as an independent checker -----------------------------------------------

using folivo::test::runIn;

QStringList infoZipNames(const QString& archive)
{
    const auto r = runIn(QDir::tempPath(), "unzip", {"-Z1", archive});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    QStringList names = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

bool haveInfoZip()
{
    return !QStandardPaths::findExecutable("zip").isEmpty() && !QStandardPaths::findExecutable("unzip").isEmpty();
}

} // namespace

// ---- round trips ------------------------------------------------------------------------

TEST(ZipRoundTrip, BundleComesBackWithContentsModesAndTimes)
{
    Scratch s;
    const QString bundle = s.file("D/Report.rtfd");
    buildBundle(bundle);
    const Tree source = snapshot(bundle);
    ASSERT_EQ(source.size(), bundleItems().size());

    struct Case {
        EntryNaming naming;
        bool inMemory;
        bool readOnly;
    };
    const Case cases[] = {
        {EntryNaming::WithItemName, false, false}, {EntryNaming::WithItemName, true, false},
        {EntryNaming::WithItemName, true, true},   {EntryNaming::InsideItem, false, false},
        {EntryNaming::InsideItem, true, false},    {EntryNaming::InsideItem, false, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        const bool named = c.naming == EntryNaming::WithItemName;
        SCOPED_TRACE(testing::Message() << (named ? "WithItemName" : "InsideItem")
                                        << (c.inMemory ? " memory" : " file") << (c.readOnly ? " read-only" : ""));
        // The item may have been renamed since it was stored: the target name wins.
        const QString target = s.file(QString("out%1/Renamed").arg(++n));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(target).path()));
        zipc::UnpackOptions options;
        options.naming = c.naming;
        options.readOnly = c.readOnly;
        if (c.inMemory) {
            QString error;
            const std::optional<QByteArray> data = zipc::packFolderToMemory(bundle, c.naming, &error);
            ASSERT_TRUE(data) << error.toStdString();
            ASSERT_TRUE(zipc::verifyArchive(*data));
            const zipc::Result r = zipc::unpackArchive(*data, target, options);
            ASSERT_TRUE(r) << r.error.toStdString();
        } else {
            const QString archive = s.file(QString("archive%1.zip").arg(n));
            zipc::Result r = zipc::packFolder(bundle, archive, c.naming);
            ASSERT_TRUE(r) << r.error.toStdString();
            ASSERT_TRUE(zipc::verifyArchive(archive));
            r = zipc::unpackArchive(archive, target, options);
            ASSERT_TRUE(r) << r.error.toStdString();
        }
        EXPECT_EQ(describe(snapshot(target)), describe(expectedTree(source, c.readOnly)));
        // The item's own folder: its entry carries its mode and time; without one the
        // folder gets the default.
        if (named) {
            EXPECT_EQ(mode(target), c.readOnly ? 0500u : kRootMode);
            EXPECT_EQ(QFileInfo(target).lastModified().toSecsSinceEpoch(), kRootTime);
        } else {
            EXPECT_EQ(mode(target), c.readOnly ? 0500u : 0755u);
        }
    }
    // Packing reads and never changes the bundle.
    EXPECT_EQ(describe(snapshot(bundle)), describe(source));
}

TEST(ZipRoundTrip, EntryNamesAndSingleEntries)
{
    Scratch s;
    const QString bundle = s.file("Report.rtfd");
    buildBundle(bundle);
    const QStringList inside = {"a.txt", "empty", "run.sh", "shared.txt", "locked.txt", kOddName, "sub/",
                                "sub/deeper/", "sub/deeper/b.txt", "sub/empty dir/", "sticky/", "link", "sub/up"};
    for (EntryNaming naming : {EntryNaming::WithItemName, EntryNaming::InsideItem}) {
        const std::optional<QByteArray> data = zipc::packFolderToMemory(bundle, naming);
        ASSERT_TRUE(data);
        std::optional<QStringList> names = zipc::entryNames(*data, naming);
        ASSERT_TRUE(names);
        names->sort();
        QStringList expected = inside;
        expected.sort();
        EXPECT_EQ(*names, expected);

        EXPECT_EQ(zipc::readEntry(*data, "a.txt", naming), QByteArray("alpha\n"));
        EXPECT_EQ(zipc::readEntry(*data, "empty", naming), QByteArray(""));
        EXPECT_EQ(zipc::readEntry(*data, kOddName, naming), QByteArray("odd name"));
        EXPECT_EQ(zipc::readEntry(*data, "sub/deeper/b.txt", naming), folivo::test::readAll(bundle + "/sub/deeper/b.txt"));
        // Only regular files are read: a link is not followed to its target.
        for (const char* notAFile : {"link", "sub", "sub/", "missing.txt", ""})
            EXPECT_FALSE(zipc::readEntry(*data, notAFile, naming)) << notAFile;
    }
    // Read with the other naming, an archive named after its item shows that name.
    const std::optional<QByteArray> named = zipc::packFolderToMemory(bundle, EntryNaming::WithItemName);
    ASSERT_TRUE(named);
    EXPECT_EQ(zipc::readEntry(*named, "Report.rtfd/a.txt", EntryNaming::InsideItem), QByteArray("alpha\n"));
}

// ---- packing ----------------------------------------------------------------------------

TEST(ZipPack, StaleArchiveIsReplacedWholeAndOnlyWhenComplete)
{
    Scratch s;
    const QString d = s.file("D");
    ASSERT_TRUE(QDir().mkpath(d + "/N/sub"));
    ASSERT_TRUE(folivo::test::writeAll(d + "/N/a.txt", "new"));
    const QString archive = d + "/N.fvdbzr";

    const QByteArray staleZip = rawZip({dir("N/"), file("N/a.txt", "old"), file("N/old.txt", "gone"), file("N/sub/x", "gone")});
    for (const QByteArray& stale : {staleZip, QByteArray("not a zip archive at all")}) {
        ASSERT_TRUE(folivo::test::writeAll(archive, stale));
        const zipc::Result r = zipc::packFolder(d + "/N", archive, EntryNaming::WithItemName);
        ASSERT_TRUE(r) << r.error.toStdString();
        const QByteArray data = folivo::test::readAll(archive);
        std::optional<QStringList> names = zipc::entryNames(data, EntryNaming::WithItemName);
        ASSERT_TRUE(names);
        names->sort();
        EXPECT_EQ(*names, QStringList({"a.txt", "sub/"}));
        EXPECT_EQ(zipc::readEntry(data, "a.txt", EntryNaming::WithItemName), QByteArray("new"));
        EXPECT_EQ(listing(d), QStringList({"N", "N.fvdbzr"}));
    }

    // A pack that fails, early (something that cannot be packed) or at the very end
    // (the rename), leaves the previous archive as it was and no temporary file.
    ASSERT_TRUE(folivo::test::writeAll(archive, staleZip));
    {
        fs::ScopedFault fault([&](fs::Op op, const QString&) { return op == fs::Op::Rename; });
        EXPECT_FALSE(zipc::packFolder(d + "/N", archive, EntryNaming::WithItemName));
    }
    EXPECT_EQ(folivo::test::readAll(archive), staleZip);
    EXPECT_EQ(listing(d), QStringList({"N", "N.fvdbzr"}));
    ASSERT_EQ(::mkfifo(native(d + "/N/sub/pipe").constData(), 0600), 0);
    EXPECT_FALSE(zipc::packFolder(d + "/N", archive, EntryNaming::WithItemName));
    EXPECT_EQ(folivo::test::readAll(archive), staleZip);
    EXPECT_EQ(listing(d), QStringList({"N", "N.fvdbzr"}));
}

TEST(ZipPack, RefusesWhatCouldNotBeUnpackedAgain)
{
    struct Case {
        const char* what;
        std::function<void(const QString& item)> plant;
    };
    const Case cases[] = {
        {"a FIFO", [](const QString& n) { ASSERT_EQ(::mkfifo(native(n + "/sub/pipe").constData(), 0600), 0); }},
        {"a link out of the folder", [](const QString& n) { ASSERT_EQ(::symlink("../../outside", native(n + "/sub/out").constData()), 0); }},
        {"a link to the item's own name", [](const QString& n) { ASSERT_EQ(::symlink("../N/a.txt", native(n + "/self").constData()), 0); }},
        {"an absolute link", [](const QString& n) { ASSERT_EQ(::symlink("/etc/passwd", native(n + "/passwd").constData()), 0); }},
        {"a folder that is a link", [](const QString& n) {
             ASSERT_TRUE(QDir(n).removeRecursively());
             ASSERT_EQ(::symlink("elsewhere", native(n).constData()), 0);
         }},
        {"a missing folder", [](const QString& n) { ASSERT_TRUE(QDir(n).removeRecursively()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scratch s;
        const QString d = s.file("D");
        ASSERT_TRUE(QDir().mkpath(d + "/N/sub"));
        ASSERT_TRUE(QDir().mkpath(d + "/elsewhere"));
        ASSERT_TRUE(folivo::test::writeAll(d + "/N/a.txt", "a"));
        c.plant(d + "/N");
        const QStringList before = listing(d);
        EXPECT_FALSE(zipc::packFolder(d + "/N", d + "/N.fvdbzr", EntryNaming::WithItemName));
        EXPECT_EQ(listing(d), before);
        QString error;
        EXPECT_FALSE(zipc::packFolderToMemory(d + "/N", EntryNaming::WithItemName, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(ZipPack, EmptyFolder)
{
    Scratch s;
    ASSERT_TRUE(QDir().mkpath(s.file("N")));
    for (EntryNaming naming : {EntryNaming::WithItemName, EntryNaming::InsideItem}) {
        const std::optional<QByteArray> data = zipc::packFolderToMemory(s.file("N"), naming);
        ASSERT_TRUE(data);
        EXPECT_TRUE(zipc::verifyArchive(*data));
        EXPECT_EQ(zipc::entryNames(*data, naming), QStringList());
        const QString target = s.file(naming == EntryNaming::WithItemName ? "A" : "B");
        ASSERT_TRUE(zipc::unpackArchive(*data, target, {naming, false}));
        EXPECT_TRUE(listing(target).isEmpty());
        ASSERT_TRUE(zipc::packFolder(s.file("N"), target + ".zip", naming));
        EXPECT_TRUE(zipc::verifyArchive(target + ".zip"));
    }
}

// ---- Info-ZIP -----------------------------------------------------------------------------

TEST(ZipInterop, OurArchivesReadCleanWithInfoZip)
{
    if (!haveInfoZip())
        GTEST_SKIP() << "Info-ZIP zip/unzip not installed";
    Scratch s;
    const QString d = s.file("D");
    buildBundle(d + "/N");

    struct Case {
        EntryNaming naming;
        QString zipDir; // where Info-ZIP's zip runs, and on what
        QString zipWhat;
    };
    const Case cases[] = {
        {EntryNaming::WithItemName, d, "N"},
        {EntryNaming::InsideItem, d + "/N", "."},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(++n);
        const QString ours = s.file(QString("ours%1.zip").arg(n));
        ASSERT_TRUE(zipc::packFolder(d + "/N", ours, c.naming));
        const auto tested = runIn(s.path(), "unzip", {"-tqq", ours});
        EXPECT_EQ(tested.exitCode, 0) << tested.out.constData() << tested.err.constData();

        const QString theirs = s.file(QString("theirs%1.zip").arg(n));
        const auto zipped = runIn(c.zipDir, "zip", {"-qr", theirs, c.zipWhat});
        ASSERT_EQ(zipped.exitCode, 0) << zipped.err.constData();
        EXPECT_EQ(infoZipNames(ours), infoZipNames(theirs));

        // unzip makes the same tree of ours as of its own archive (links kept with -y):
        // kinds, links, contents, modes and times were recorded as Info-ZIP records them.
        const QString theirsWithLinks = s.file(QString("theirs%1y.zip").arg(n));
        ASSERT_EQ(runIn(c.zipDir, "zip", {"-qry", theirsWithLinks, c.zipWhat}).exitCode, 0);
        Tree trees[2];
        for (int i = 0; i < 2; ++i) {
            const QString out = s.file(QString("unzipped%1-%2").arg(n).arg(i));
            ASSERT_TRUE(QDir().mkpath(out));
            const auto unzipped = runIn(out, "unzip", {"-qq", i == 0 ? ours : theirsWithLinks});
            ASSERT_EQ(unzipped.exitCode, 0) << unzipped.err.constData();
            trees[i] = snapshot(out);
            // unzip does not set the times of the links it makes: they carry the moment
            // each was made, which differs between the two unpacks once a second passes.
            for (auto& [rel, node] : trees[i])
                if (node.kind == 'l')
                    node.mtime = 0;
        }
        EXPECT_EQ(trees[0].size(), bundleItems().size() + (c.naming == EntryNaming::WithItemName ? 1 : 0));
        EXPECT_EQ(describe(trees[0]), describe(trees[1]));
    }
}

TEST(ZipInterop, InfoZipArchivesUnpack)
{
    if (!haveInfoZip())
        GTEST_SKIP() << "Info-ZIP zip/unzip not installed";
    Scratch s;
    const QString d = s.file("D");
    buildBundle(d + "/N");
    const Tree source = snapshot(d + "/N");
    // Without -y zip stores what a link points to, as the macOS edition's containers do.
    Tree followed = source;
    followed["link"] = source.at("sub/deeper/b.txt");
    followed["sub/up"] = source.at("a.txt");

    struct Case {
        EntryNaming naming;
        QString zipDir;
        QStringList zipArgs;
        const Tree* tree;
    };
    const Case cases[] = {
        {EntryNaming::WithItemName, d, {"-qr", s.file("1.zip"), "N"}, &followed},
        {EntryNaming::WithItemName, d, {"-qry", s.file("2.zip"), "N"}, &source},
        {EntryNaming::InsideItem, d + "/N", {"-qr", s.file("3.zip"), "."}, &followed},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(++n);
        const auto zipped = runIn(c.zipDir, "zip", c.zipArgs);
        ASSERT_EQ(zipped.exitCode, 0) << zipped.err.constData();
        ASSERT_TRUE(zipc::verifyArchive(c.zipArgs[1]));
        const QString target = s.file(QString("t%1").arg(n));
        const zipc::Result r = zipc::unpackArchive(c.zipArgs[1], target, {c.naming, false});
        ASSERT_TRUE(r) << r.error.toStdString();
        EXPECT_EQ(describe(snapshot(target)), describe(expectedTree(*c.tree, false)));
    }
}

// ---- hostile and damaged archives ---------------------------------------------------------

TEST(ZipUnpack, RefusesHostileArchivesWithoutATrace)
{
    Scratch s;
    const QString victim = s.file("victim");
    ASSERT_TRUE(QDir().mkpath(victim));
    ASSERT_TRUE(folivo::test::writeAll(victim + "/keep", "keep"));
    const QByteArray victimAbs = native(victim);

    struct Case {
        const char* what;
        std::vector<RawEntry> entries;
        EntryNaming naming;
        bool verifyRefuses; // the naming-free checks see it too
    };
    const EntryNaming W = EntryNaming::WithItemName, I = EntryNaming::InsideItem;
    const Case cases[] = {
        {"parent", {file("../x")}, I, true},
        {"parent later", {file("a/../../x")}, I, true},
        {"parent inside the item", {dir("N/"), file("N/a/../../x")}, W, true},
        {"absolute", {file("/abs")}, I, true},
        {"absolute with item name", {file("/N/abs")}, W, true},
        {"dot", {dir("N/"), file("N/./x")}, W, true},
        {"empty component", {dir("N/"), file("N//x")}, W, true},
        {"bare parent folder", {dir("N/"), dir("N/../")}, W, true},
        {"through a link up", {dir("N/"), linkEntry("N/link", ".."), file("N/link/x")}, W, true},
        {"through an inside link", {dir("N/"), dir("N/sub/"), linkEntry("N/link", "sub"), file("N/link/x")}, W, true},
        {"through a link listed later", {file("N/link/x"), linkEntry("N/link", "sub"), dir("N/sub/")}, W, true},
        {"through a file", {dir("N/"), file("N/f"), file("N/f/g")}, W, true},
        {"absolute link", {dir("N/"), linkEntry("N/evil", victimAbs), file("N/evil/planted")}, W, true},
        {"escaping link", {dir("N/"), linkEntry("N/evil", "../..")}, W, true},
        {"escaping link deeper", {dir("N/"), linkEntry("N/sub/evil", "../../../x")}, W, true},
        {"link out of the item only", {dir("N/"), linkEntry("N/evil", "../N/a")}, W, false},
        {"chained links", {linkEntry("a/b/l", "../.."), linkEntry("a/b/m", "l/../x")}, I, true},
        {"link loop", {linkEntry("a", "b"), linkEntry("b", "a")}, I, true},
        {"empty link", {dir("N/"), linkEntry("N/empty", "")}, W, true},
        {"duplicate file", {dir("N/"), file("N/a.txt", "1"), file("N/a.txt", "2")}, W, true},
        {"duplicate folder", {dir("N/"), dir("N/d/"), dir("N/d/")}, W, true},
        {"duplicate root", {dir("N/"), dir("N/")}, W, true},
        {"file and folder of one name", {dir("N/"), file("N/d"), dir("N/d/")}, W, true},
        {"mixed first components", {dir("N/"), file("N/a"), file("M/b")}, W, false},
        {"item that is a file", {file("N", "x")}, W, false},
        {"item that is a link", {linkEntry("N", victimAbs)}, W, true},
        {"FIFO", {dir("N/"), RawEntry{"N/pipe", {}, 010644}}, W, true},
        {"device", {dir("N/"), RawEntry{"N/dev", {}, 060644}}, W, true},
        {"no entries", {}, W, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray data = rawZip(c.entries);
        const QString out = s.file("out");
        ASSERT_TRUE(QDir().mkpath(out));
        ASSERT_TRUE(folivo::test::writeAll(out + "/sentinel", "x"));
        const QStringList outBefore = listing(out), rootBefore = listing(s.path()), victimBefore = listing(victim);

        const zipc::Result r = zipc::unpackArchive(data, out + "/T", {c.naming, false});
        EXPECT_FALSE(r);
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_EQ(listing(out), outBefore);
        EXPECT_EQ(listing(s.path()), rootBefore);
        EXPECT_EQ(listing(victim), victimBefore);
        EXPECT_FALSE(zipc::entryNames(data, c.naming));
        if (c.verifyRefuses) {
            EXPECT_FALSE(zipc::verifyArchive(data));
        }
        ASSERT_TRUE(QDir(out).removeRecursively());
    }
}

TEST(ZipUnpack, NamesAreLiteral)
{
    // Backslashes, colons and leading dots are ordinary characters of a name here.
    Scratch s;
    const QByteArray data = rawZip({dir("N/"), file("N/..\\x", "1"), file("N/a\\b", "2"), file("N/C:x", "3"),
                                    file("N/...", "4"), file("N/.hidden", "5"), RawEntry{"N/dos.txt", "6", 0}});
    const zipc::Result r = zipc::unpackArchive(data, s.file("T"), {});
    ASSERT_TRUE(r) << r.error.toStdString();
    QStringList expected = {"..\\x", "a\\b", "C:x", "...", ".hidden", "dos.txt"};
    expected.sort();
    EXPECT_EQ(listing(s.file("T")), expected);
    EXPECT_EQ(listing(s.path()), QStringList({"T"}));
    // An archive without Unix modes (made elsewhere) gets ordinary ones.
    EXPECT_EQ(mode(s.file("T/dos.txt")), 0644u);
}

TEST(ZipUnpack, RefusesDamagedOrOversizedContent)
{
    Scratch s;
    const QString bundle = s.file("N");
    ASSERT_TRUE(QDir().mkpath(bundle));
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += "row " + QByteArray::number(i) + "\n";
    ASSERT_TRUE(folivo::test::writeAll(bundle + "/big.txt", text));
    const std::optional<QByteArray> packed = zipc::packFolderToMemory(bundle, EntryNaming::WithItemName);
    ASSERT_TRUE(packed);

    // Flips one byte in the middle of an entry's data.
    const auto flipData = [](QByteArray zip, const QByteArray& name) {
        qsizetype at = zip.indexOf("PK\x03\x04");
        while (at >= 0) {
            const quint16 nameLen = quint8(zip[at + 26]) | quint8(zip[at + 27]) << 8;
            const quint16 extraLen = quint8(zip[at + 28]) | quint8(zip[at + 29]) << 8;
            const quint32 csize = quint8(zip[at + 18]) | quint8(zip[at + 19]) << 8 | quint8(zip[at + 20]) << 16 | quint32(quint8(zip[at + 21])) << 24;
            if (zip.mid(at + 30, nameLen) == name) {
                zip[at + 30 + nameLen + extraLen + csize / 2] ^= 0x55;
                return zip;
            }
            at = zip.indexOf("PK\x03\x04", at + 4);
        }
        ADD_FAILURE() << "entry not found";
        return zip;
    };
    QByteArray bomb(1 << 20, 'z');

    struct Case {
        const char* what;
        QByteArray data;
        qint64 limit;
    };
    const Case cases[] = {
        {"deflated data with a wrong byte", flipData(*packed, "N/big.txt"), qint64(8) << 30},
        {"stored data with a wrong byte", flipData(rawZip({dir("N/"), file("N/s.txt", "stored content here")}), "N/s.txt"), qint64(8) << 30},
        {"inflates beyond its recorded size", rawZip({dir("N/"), RawEntry{"N/bomb", bomb, 0100644, true, 100}}), qint64(8) << 30},
        {"more content than allowed", rawZip({dir("N/"), file("N/a", QByteArray(600, 'a')), file("N/b", QByteArray(600, 'b'))}), 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.limit > 1000) { // the size limit is the caller's; verification has its own
            EXPECT_FALSE(zipc::verifyArchive(c.data));
        }
        zipc::UnpackOptions options;
        options.maxTotalBytes = c.limit;
        EXPECT_FALSE(zipc::unpackArchive(c.data, s.file("T"), options));
        EXPECT_EQ(listing(s.path()), QStringList({"N"}));
    }
    EXPECT_FALSE(zipc::readEntry(cases[0].data, "big.txt", EntryNaming::WithItemName));
    EXPECT_FALSE(zipc::readEntry(cases[2].data, "bomb", EntryNaming::WithItemName));
    EXPECT_EQ(zipc::readEntry(*packed, "big.txt", EntryNaming::WithItemName), text);
}

TEST(ZipUnpack, EntryCountLimit)
{
    for (const qint64 count : {zipc::kMaxEntries, zipc::kMaxEntries + 1}) {
        std::vector<RawEntry> entries;
        entries.reserve(size_t(count));
        entries.push_back(dir("N/"));
        for (qint64 i = 1; i < count; ++i)
            entries.push_back(dir("N/" + QByteArray::number(i) + "/"));
        const QByteArray data = rawZip(entries);
        EXPECT_EQ(bool(zipc::verifyArchive(data)), count <= zipc::kMaxEntries) << count;
        if (count > zipc::kMaxEntries) {
            Scratch s;
            EXPECT_FALSE(zipc::unpackArchive(data, s.file("T"), {}));
            EXPECT_TRUE(listing(s.path()).isEmpty());
        }
    }
}

TEST(ZipUnpack, TargetMustBeNewAndItsParentMustExist)
{
    Scratch s;
    const QByteArray data = rawZip({dir("N/"), file("N/a.txt", "new")});
    ASSERT_TRUE(QDir().mkpath(s.file("T")));
    ASSERT_TRUE(folivo::test::writeAll(s.file("T/a.txt"), "mine"));
    EXPECT_FALSE(zipc::unpackArchive(data, s.file("T"), {}));
    EXPECT_EQ(folivo::test::readAll(s.file("T/a.txt")), "mine");
    ASSERT_EQ(::symlink("T", native(s.file("L")).constData()), 0);
    EXPECT_FALSE(zipc::unpackArchive(data, s.file("L"), {}));
    EXPECT_FALSE(zipc::unpackArchive(data, s.file("missing/T"), {}));
    EXPECT_EQ(listing(s.path()), QStringList({"L", "T"}));
}

TEST(ZipVerify, TruncatedOrMissingArchiveFails)
{
    Scratch s;
    ASSERT_TRUE(QDir().mkpath(s.file("N/sub")));
    ASSERT_TRUE(folivo::test::writeAll(s.file("N/sub/a.txt"), QByteArray(5000, 'a') + "tail"));
    ASSERT_TRUE(zipc::packFolder(s.file("N"), s.file("N.zip"), EntryNaming::WithItemName));
    const QByteArray whole = folivo::test::readAll(s.file("N.zip"));
    ASSERT_TRUE(zipc::verifyArchive(whole));
    ASSERT_TRUE(zipc::verifyArchive(s.file("N.zip")));
    for (const qsizetype keep : {qsizetype(0), qsizetype(21), whole.size() / 2, whole.size() - 22, whole.size() - 1}) {
        SCOPED_TRACE(keep);
        const QByteArray cut = whole.left(keep);
        EXPECT_FALSE(zipc::verifyArchive(cut));
        ASSERT_TRUE(folivo::test::writeAll(s.file("cut.zip"), cut));
        EXPECT_FALSE(zipc::verifyArchive(s.file("cut.zip")));
        EXPECT_FALSE(zipc::unpackArchive(cut, s.file("T"), {}));
        EXPECT_FALSE(QFile::exists(s.file("T")));
    }
    EXPECT_FALSE(zipc::verifyArchive(s.file("missing.zip")));
    EXPECT_FALSE(zipc::verifyArchive(s.path()));
}
