// How fast the cipher streams and the zip containers are, against the standard tools
// measured on the same data in the same run.
//
//   crypto_bench [--size-mib N] [--files N] [--repeat R] [--dir D] [--keep]
//
// 1. Cipher: one file of N MiB of pseudo-random bytes (default 256) is enciphered and
//    deciphered with useCryptor and with `openssl enc -aes-128-cbc` (the same key, a zero
//    vector), each case R times with warm caches. useCryptor ends with fdatasync; openssl
//    does not, so the anchor is timed twice: the run alone, and the run followed by an
//    fdatasync of its output, which is the same work ours does. The ratio is taken
//    against the second. Both outputs must be byte-identical.
// 2. Zip: a bundle of N small text-like files (default 1000, 200 B to 20 KiB, in nested
//    folders) is packed with packFolder and with `zip -qr`, and Info-ZIP's archive is
//    unpacked with unpackArchive and with `unzip -qq`. Every unpacked tree must equal the
//    bundle; each tool must also unpack the other's archive.
//
// Every timed case starts after a sync(), so that no case pays for the writeback of the
// one before. The order of ours and the anchor alternates between rounds.
//
// The exit status is 0 whether or not the targets are met; it is 1 only when something
// broke (an output differed, a tool was missing, a run failed).

#include "crypto/cipher.h"
#include "crypto/zipcontainer.h"
#include "util/fdio.h"
#include "util/fs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace folivo;
using folivo::fdio::Fd;
using folivo::fdio::readFull;
using folivo::fdio::writeFull;

namespace {

constexpr char kBenchName[] = "crypto_bench";

#include "benchcommon.inc"

double cpuOf(const struct rusage& u)
{
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double selfCpu()
{
    struct rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return cpuOf(u);
}

// splitmix64: fast, and the same bytes on every run.
struct Random {
    std::uint64_t state;
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
};

Fd openOrDie(const QString& path, int flags, mode_t mode = 0644)
{
    Fd f(::open(native(path).constData(), flags | O_CLOEXEC, mode));
    if (f.fd < 0)
        die(QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return f;
}

// Whether two files hold the same bytes.
bool sameFiles(const QString& a, const QString& b)
{
    Fd fa(::open(native(a).constData(), O_RDONLY | O_CLOEXEC));
    Fd fb(::open(native(b).constData(), O_RDONLY | O_CLOEXEC));
    if (fa.fd < 0 || fb.fd < 0)
        return false;
    constexpr qint64 Chunk = qint64(1) << 20;
    // Kept between calls: the bundle's trees are compared file by file.
    static std::vector<char> ba(Chunk), bb(Chunk);
    for (;;) {
        const qint64 na = readFull(fa.fd, ba.data(), Chunk);
        const qint64 nb = readFull(fb.fd, bb.data(), Chunk);
        if (na < 0 || nb < 0 || na != nb || std::memcmp(ba.data(), bb.data(), size_t(na)) != 0)
            return false;
        if (na < Chunk)
            return true;
    }
}

// Reads a file once so that the measured runs find it in the page cache.
void warm(const QString& path)
{
    Fd f = openOrDie(path, O_RDONLY);
    static std::vector<char> buffer(std::size_t(1) << 20);
    while (readFull(f.fd, buffer.data(), qint64(buffer.size())) == qint64(buffer.size())) {
    }
}

void removeIfThere(const QString& path)
{
    if (::unlink(native(path).constData()) != 0 && errno != ENOENT)
        die(QStringLiteral("cannot remove %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

// ---------------------------------------------------------------------------------------
// Running the anchor tools

struct ToolRun {
    double seconds = 0;
    double cpu = 0; // the child's user and system time
};

QByteArray g_openssl, g_zip, g_unzip;

QByteArray findTool(const char* name)
{
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (path.isEmpty())
        die(QStringLiteral("%1 is not installed (it is the anchor this benchmark compares with)").arg(name));
    return native(path);
}

// Runs `args` (args[0] a full path) directly, without a shell, in `cwd` when given, with
// `inFd`/`outFd` as its standard input and output when given, and times it to its exit.
// Anything but exit status 0 ends the benchmark.
ToolRun runTool(const std::vector<QByteArray>& args, const QString& cwd = {}, int inFd = -1, int outFd = -1)
{
    std::vector<char*> argv;
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    const QByteArray dir = native(cwd);
    std::fflush(stdout);
    std::fflush(stderr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid < 0)
        die(QStringLiteral("fork failed"));
    if (pid == 0) {
        if (!dir.isEmpty() && ::chdir(dir.constData()) != 0)
            _exit(126);
        if (inFd >= 0 && ::dup2(inFd, STDIN_FILENO) < 0)
            _exit(126);
        if (outFd >= 0 && ::dup2(outFd, STDOUT_FILENO) < 0)
            _exit(126);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            die(QStringLiteral("waiting for %1 failed").arg(QString::fromLocal8Bit(args[0])));
    }
    ToolRun r;
    r.seconds = secondsSince(start);
    r.cpu = cpuOf(usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        QStringList words;
        for (const QByteArray& a : args)
            words << QString::fromLocal8Bit(a);
        die(QStringLiteral("`%1` failed (%2 %3)")
                .arg(words.join(' '), WIFEXITED(status) ? QStringLiteral("exit status") : QStringLiteral("signal"))
                .arg(WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status)));
    }
    return r;
}

// ---------------------------------------------------------------------------------------
// Figures

struct Sample {
    double seconds = 0;
    double cpu = 0;
};

struct Series {
    std::vector<Sample> samples;
    void add(double seconds, double cpu) { samples.push_back({seconds, cpu}); }
    double best() const
    {
        double b = samples.front().seconds;
        for (const Sample& s : samples)
            b = std::min(b, s.seconds);
        return b;
    }
    double median(double Sample::*field = &Sample::seconds) const
    {
        std::vector<double> v;
        for (const Sample& s : samples)
            v.push_back(s.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
};

double ratio(double ours, double anchor)
{
    return anchor > 0 ? ours / anchor : 0;
}

// ---------------------------------------------------------------------------------------
// 1. The cipher streams

void writeRandomFile(const QString& path, qint64 bytes)
{
    Fd f = openOrDie(path, O_WRONLY | O_CREAT | O_TRUNC);
    Random rng{0x466f6c69766f0001ULL};
    std::vector<std::uint64_t> block((std::size_t(1) << 20) / sizeof(std::uint64_t));
    for (qint64 done = 0; done < bytes;) {
        for (auto& w : block)
            w = rng.next();
        const qint64 n = std::min<qint64>(bytes - done, qint64(block.size() * sizeof(std::uint64_t)));
        if (!writeFull(f.fd, reinterpret_cast<const char*>(block.data()), n))
            die(QStringLiteral("cannot write %1").arg(path));
        done += n;
    }
    if (::fdatasync(f.fd) != 0)
        die(QStringLiteral("cannot flush %1").arg(path));
}

struct CipherFigures {
    Series ours, anchorSynced, anchorAlone;
};

// One run of useCryptor from `in` to `out` (removed first).
void runOurs(crypto::Cipher& cipher, const QString& in, const QString& out, qint64 expectedBytes, Series& series)
{
    removeIfThere(out);
    ::sync();
    const double cpu0 = selfCpu();
    const auto start = Clock::now();
    const crypto::CryptResult r = crypto::useCryptor(cipher, in, out);
    const double seconds = secondsSince(start);
    const double cpu = selfCpu() - cpu0;
    if (!r)
        die(QStringLiteral("useCryptor failed: %1").arg(r.error));
    if (r.bytesWritten != expectedBytes)
        die(QStringLiteral("useCryptor wrote %1 bytes, expected %2").arg(r.bytesWritten).arg(expectedBytes));
    series.add(seconds, cpu);
}

// One run of openssl from `in` to `out` (removed first), timed alone and with an
// fdatasync of its output afterwards.
void runOpenssl(const QByteArray& hexKey, bool decipher, const QString& in, const QString& out, CipherFigures& fig)
{
    removeIfThere(out);
    ::sync();
    Fd inFd = openOrDie(in, O_RDONLY);
    Fd outFd = openOrDie(out, O_WRONLY | O_CREAT | O_EXCL);
    // The key on the command line is visible to other users of the machine; it is a
    // throwaway key derived from a fixed benchmark password.
    std::vector<QByteArray> args{g_openssl, "enc", "-aes-128-cbc"};
    if (decipher)
        args.push_back("-d");
    args.insert(args.end(), {"-K", hexKey, "-iv", "00000000000000000000000000000000"});
    const auto start = Clock::now();
    const ToolRun r = runTool(args, {}, inFd.fd, outFd.fd);
    if (::fdatasync(outFd.fd) != 0)
        die(QStringLiteral("cannot flush %1").arg(out));
    const double synced = secondsSince(start);
    fig.anchorAlone.add(r.seconds, r.cpu);
    fig.anchorSynced.add(synced, r.cpu);
}

bool benchCipher(const QString& work, qint64 sizeMib, int repeat)
{
    const qint64 bytes = sizeMib << 20;
    const qint64 encipheredBytes = (bytes / crypto::BlockLength + 1) * crypto::BlockLength;
    const QString plain = work + QStringLiteral("/plain.bin");
    const QString oursEnc = work + QStringLiteral("/ours.enc"), sslEnc = work + QStringLiteral("/openssl.enc");
    const QString oursDec = work + QStringLiteral("/ours.dec"), sslDec = work + QStringLiteral("/openssl.dec");

    std::printf("Writing %lld MiB of pseudo-random bytes ...\n", static_cast<long long>(sizeMib));
    std::fflush(stdout);
    writeRandomFile(plain, bytes);
    auto key = crypto::DatabaseKey::fromPassword(QStringLiteral("benchmark password"));
    if (!key)
        die(QStringLiteral("cannot derive the key"));
    const QByteArray hexKey = key->key().toHex();
    warm(plain);

    CipherFigures enc, dec;
    for (int round = 0; round < repeat; ++round) {
        const bool oursFirst = round % 2 == 0;
        // Encipher the plain file both ways.
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == oursFirst)
                runOurs(key->encryptor(), plain, oursEnc, encipheredBytes, enc.ours);
            else
                runOpenssl(hexKey, false, plain, sslEnc, enc);
        }
        if (!sameFiles(oursEnc, sslEnc))
            die(QStringLiteral("useCryptor and openssl enciphered differently (round %1)").arg(round + 1));
        // Decipher our output both ways; the two inputs are identical, so either will do.
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == oursFirst)
                runOurs(key->decryptor(), oursEnc, oursDec, bytes, dec.ours);
            else
                runOpenssl(hexKey, true, oursEnc, sslDec, dec);
        }
        if (!sameFiles(oursDec, plain))
            die(QStringLiteral("useCryptor did not give the plain file back (round %1)").arg(round + 1));
        if (!sameFiles(sslDec, plain))
            die(QStringLiteral("openssl did not give the plain file back (round %1)").arg(round + 1));
    }
    // Gone before the zip part, so that it runs with a gigabyte less in the page cache.
    if (!g_keep)
        for (const QString& f : {plain, oursEnc, sslEnc, oursDec, sslDec})
            removeIfThere(f);

    const double mib = double(sizeMib);
    std::printf("\nCipher: %lld MiB, AES-128-CBC, best and median of %d runs, caches warm\n",
                static_cast<long long>(sizeMib), repeat);
    std::printf("                                      best s   median s   MiB/s (best)   median cpu s\n");
    auto line = [&](const char* what, const Series& s, bool cpu = true) {
        if (cpu)
            std::printf("  %-34s %8.3f   %8.3f   %12.0f   %12.3f\n", what, s.best(), s.median(), mib / s.best(),
                        s.median(&Sample::cpu));
        else
            std::printf("  %-34s %8.3f   %8.3f   %12.0f   %12s\n", what, s.best(), s.median(), mib / s.best(), "-");
    };
    line("encipher, useCryptor", enc.ours);
    line("encipher, openssl + fdatasync", enc.anchorSynced, false);
    line("encipher, openssl alone", enc.anchorAlone);
    line("decipher, useCryptor", dec.ours);
    line("decipher, openssl + fdatasync", dec.anchorSynced, false);
    line("decipher, openssl alone", dec.anchorAlone);
    const double encRatio = ratio(enc.ours.best(), enc.anchorSynced.best());
    const double decRatio = ratio(dec.ours.best(), dec.anchorSynced.best());
    std::printf("  ours / openssl alone (for reference): encipher %.2f, decipher %.2f\n",
                ratio(enc.ours.best(), enc.anchorAlone.best()), ratio(dec.ours.best(), dec.anchorAlone.best()));
    std::printf("Targets (best times; the anchor flushes its output as useCryptor does):\n");
    std::printf("  encipher <= 1.25 x openssl + fdatasync   %6.2f x   %s\n", encRatio, verdict(encRatio <= 1.25));
    std::printf("  decipher <= 1.25 x openssl + fdatasync   %6.2f x   %s\n", decRatio, verdict(decRatio <= 1.25));
    std::fflush(stdout);
    return encRatio <= 1.25 && decRatio <= 1.25;
}

// ---------------------------------------------------------------------------------------
// 2. The zip containers

struct BundleStats {
    qint64 files = 0;
    qint64 folders = 0;
    qint64 bytes = 0;
};

// Text that compresses like real notes and letters do: lines of common words, some much
// more frequent than others, with numbers and punctuation.
QByteArray textOf(Random& rng, qint64 size)
{
    static const char* const words[] = {
        "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with", "be", "by", "on",
        "not", "he", "this", "are", "or", "his", "from", "at", "which", "but", "have", "an", "had", "they", "you",
        "were", "their", "one", "all", "we", "can", "her", "has", "there", "been", "if", "more", "when", "will",
        "would", "who", "so", "no", "invoice", "payment", "account", "statement", "garden", "meeting", "letter",
        "insurance", "contract", "receipt", "balance", "delivery", "reference", "customer", "quarterly", "report",
        "project", "schedule", "tomorrow", "afternoon", "signature", "attached", "summary", "renewal", "premium",
        "department", "appointment", "confirmation", "transfer", "deposit", "mortgage", "property", "estimate",
        "warranty", "shipping", "address", "telephone", "reminder", "overdue", "settlement", "pension", "holiday",
        "library", "kitchen", "bicycle", "doctor", "prescription", "school", "tuition", "electricity", "heating"};
    constexpr std::uint64_t Count = sizeof words / sizeof words[0];
    QByteArray out;
    out.reserve(size + 64);
    int column = 0;
    while (out.size() < size) {
        // The smaller of two draws: low indexes, the common words, come up far more often.
        const std::uint64_t w = std::min(rng.below(Count), rng.below(Count));
        const char* word = words[w];
        if (rng.below(23) == 0)
            out += QByteArray::number(qulonglong(rng.below(100000)));
        else
            out += word;
        column += int(std::strlen(word)) + 1;
        if (rng.below(17) == 0) {
            out += ". ";
        } else if (column > 72) {
            out += '\n';
            column = 0;
            continue;
        }
        out += ' ';
    }
    out.truncate(size);
    return out;
}

// The bundle `root`: `files` files of 200 B to 20 KiB in a root folder with ten topic
// folders, two parts in each and a drafts folder in the second part (41 folders).
BundleStats writeBundle(const QString& root, qint64 files)
{
    std::vector<QString> folders{QString()};
    for (int t = 1; t <= 10; ++t) {
        const QString topic = QStringLiteral("Topic %1").arg(t, 2, 10, QChar('0'));
        folders.push_back(topic);
        folders.push_back(topic + QStringLiteral("/Part A"));
        folders.push_back(topic + QStringLiteral("/Part B"));
        folders.push_back(topic + QStringLiteral("/Part B/Drafts"));
    }
    BundleStats stats;
    for (const QString& f : folders) {
        if (!fs::makeDirectories(root + (f.isEmpty() ? QString() : '/' + f), 0755))
            die(fs::lastError());
        ++stats.folders;
    }
    static const char* const kinds[] = {"txt", "md", "html", "rtf"};
    Random rng{0x466f6c69766f0002ULL};
    for (qint64 i = 0; i < files; ++i) {
        const QString& folder = folders[std::size_t(i % qint64(folders.size()))];
        const QString name = QStringLiteral("note %1.%2").arg(i + 1, 4, 10, QChar('0')).arg(kinds[i % 4]);
        const QString path = root + (folder.isEmpty() ? QString() : '/' + folder) + '/' + name;
        const qint64 size = 200 + qint64(rng.below(20 * 1024 - 200 + 1));
        const QByteArray text = textOf(rng, size);
        Fd f = openOrDie(path, O_WRONLY | O_CREAT | O_EXCL);
        if (!writeFull(f.fd, text.constData(), text.size()))
            die(QStringLiteral("cannot write %1").arg(path));
        ++stats.files;
        stats.bytes += size;
    }
    return stats;
}

// Every entry under `root` by relative path: 'd' for a folder, 'f' for a file, 'l' for
// a link, '?' for anything else.
std::map<std::string, char> listTree(const QString& root)
{
    namespace sfs = std::filesystem;
    std::map<std::string, char> entries;
    const sfs::path base(native(root).toStdString());
    std::error_code ec;
    for (auto it = sfs::recursive_directory_iterator(base, ec); !ec && it != sfs::recursive_directory_iterator();
         it.increment(ec)) {
        const auto st = it->symlink_status();
        const char kind = sfs::is_directory(st) ? 'd' : sfs::is_regular_file(st) ? 'f' : sfs::is_symlink(st) ? 'l' : '?';
        entries[it->path().lexically_relative(base).string()] = kind;
    }
    if (ec)
        die(QStringLiteral("cannot list %1: %2").arg(root, QString::fromStdString(ec.message())));
    return entries;
}

// Why the tree at `copy` differs from the tree at `original`; empty when they hold the
// same folders and files with the same bytes.
QString treeDifference(const QString& original, const QString& copy)
{
    const auto a = listTree(original), b = listTree(copy);
    for (const auto& [path, kind] : a) {
        auto it = b.find(path);
        if (it == b.end())
            return QStringLiteral("%1 is missing").arg(QString::fromStdString(path));
        if (it->second != kind)
            return QStringLiteral("%1 is of another kind").arg(QString::fromStdString(path));
        const QString rel = QString::fromStdString(path);
        if (kind == 'f' && !sameFiles(original + '/' + rel, copy + '/' + rel))
            return QStringLiteral("%1 differs").arg(rel);
    }
    for (const auto& [path, kind] : b)
        if (!a.count(path))
            return QStringLiteral("%1 is extra").arg(QString::fromStdString(path));
    return {};
}

void checkTree(const QString& original, const QString& copy, const QString& what)
{
    const QString why = treeDifference(original, copy);
    if (!why.isEmpty())
        die(QStringLiteral("%1 did not give the bundle back: %2").arg(what, why));
}

qint64 fileSize(const QString& path)
{
    struct stat st {};
    return ::stat(native(path).constData(), &st) == 0 ? qint64(st.st_size) : -1;
}

bool benchZip(const QString& work, qint64 files, int repeat)
{
    // work/zip/src/Bundle            the bundle; Info-ZIP's archive lands beside it
    // work/zip/ours/Bundle.fvdbzr    packFolder's archive
    // work/zip/unpack/ours-K/Bundle  unpackArchive's target in run K
    // work/zip/unpack/zip-K/Bundle   unzip's, run in the empty zip-K
    // Every unpack gets a folder of its own and the trees stay until the end: ext4 passes
    // over inodes freed in the last minute when it allocates new ones, so deleting the
    // previous run's tree just before would make each unpack slower than the one before.
    const QString base = work + QStringLiteral("/zip");
    const QString parent = base + QStringLiteral("/src");
    const QString name = QStringLiteral("Bundle");
    const QString bundle = parent + '/' + name;
    const QString zipArchive = bundle + QStringLiteral(".fvdbzr");
    const QString oursDir = base + QStringLiteral("/ours");
    const QString oursArchive = oursDir + '/' + name + QStringLiteral(".fvdbzr");
    const QString unpackBase = base + QStringLiteral("/unpack");
    int unpacks = 0;
    for (const QString& d : {parent, oursDir, unpackBase})
        if (!fs::makeDirectories(d, 0755))
            die(fs::lastError());

    std::printf("\nWriting a bundle of %lld files ...\n", static_cast<long long>(files));
    std::fflush(stdout);
    const BundleStats stats = writeBundle(bundle, files);
    ::sync();
    // Warm: every file of the bundle read once.
    for (const auto& [path, kind] : listTree(bundle))
        if (kind == 'f')
            warm(bundle + '/' + QString::fromStdString(path));

    const zipc::UnpackOptions options{zipc::EntryNaming::WithItemName};
    auto packOurs = [&](Series& s) {
        removeIfThere(oursArchive);
        ::sync();
        const double cpu0 = selfCpu();
        const auto start = Clock::now();
        const zipc::Result r = zipc::packFolder(bundle, oursArchive, zipc::EntryNaming::WithItemName);
        const double seconds = secondsSince(start);
        if (!r)
            die(QStringLiteral("packFolder failed: %1").arg(r.error));
        s.add(seconds, selfCpu() - cpu0);
    };
    auto packZip = [&](Series& s) {
        // zip adds to an existing archive: start from none.
        removeIfThere(zipArchive);
        ::sync();
        const ToolRun r = runTool({g_zip, "-qr", native(name + QStringLiteral(".fvdbzr")), native(name)}, parent);
        s.add(r.seconds, r.cpu);
    };
    auto unpackWithOurs = [&](const QString& archive, Series* s) {
        const QString targetParent = unpackBase + QStringLiteral("/ours-%1").arg(++unpacks);
        const QString target = targetParent + '/' + name;
        if (!fs::makeDirectory(targetParent, 0755))
            die(fs::lastError());
        ::sync();
        const double cpu0 = selfCpu();
        const auto start = Clock::now();
        const zipc::Result r = zipc::unpackArchive(archive, target, options);
        const double seconds = secondsSince(start);
        if (!r)
            die(QStringLiteral("unpackArchive of %1 failed: %2").arg(archive, r.error));
        if (s)
            s->add(seconds, selfCpu() - cpu0);
        checkTree(bundle, target, QStringLiteral("unpackArchive of %1").arg(archive));
    };
    auto unpackWithZip = [&](const QString& archive, Series* s) {
        const QString folder = unpackBase + QStringLiteral("/zip-%1").arg(++unpacks);
        if (!fs::makeDirectory(folder, 0755))
            die(fs::lastError());
        ::sync();
        const ToolRun r = runTool({g_unzip, "-qq", native(archive)}, folder);
        if (s)
            s->add(r.seconds, r.cpu);
        checkTree(bundle, folder + '/' + name, QStringLiteral("unzip of %1").arg(archive));
    };

    Series packO, packZ, unpackO, unpackZ;
    for (int round = 0; round < repeat; ++round) {
        const bool oursFirst = round % 2 == 0;
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == oursFirst)
                packOurs(packO);
            else
                packZip(packZ);
        }
        // Both unpack Info-ZIP's archive, so that they do the same work.
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == oursFirst)
                unpackWithOurs(zipArchive, &unpackO);
            else
                unpackWithZip(zipArchive, &unpackZ);
        }
    }
    // Each side reads the other's archive too (not timed).
    unpackWithOurs(oursArchive, nullptr);
    unpackWithZip(oursArchive, nullptr);
    const qint64 oursBytes = fileSize(oursArchive), zipBytes = fileSize(zipArchive);
    if (!g_keep)
        fs::deleteTree(base);

    std::printf("\nZip: %lld files in %lld folders, %.1f MiB; archives: packFolder %.2f MiB, zip %.2f MiB\n",
                static_cast<long long>(stats.files), static_cast<long long>(stats.folders),
                double(stats.bytes) / 1048576.0, double(oursBytes) / 1048576.0, double(zipBytes) / 1048576.0);
    std::printf("Best and median of %d runs, caches warm; both unpack Info-ZIP's archive\n", repeat);
    std::printf("                                      best s   median s   median cpu s\n");
    auto line = [](const char* what, const Series& s) {
        std::printf("  %-34s %8.3f   %8.3f   %12.3f\n", what, s.best(), s.median(), s.median(&Sample::cpu));
    };
    line("pack, packFolder", packO);
    line("pack, zip -qr", packZ);
    line("unpack, unpackArchive", unpackO);
    line("unpack, unzip -qq", unpackZ);
    const double packRatio = ratio(packO.best(), packZ.best());
    const double unpackRatio = ratio(unpackO.best(), unpackZ.best());
    std::printf("Targets (best times):\n");
    std::printf("  pack <= 1.5 x zip                        %6.2f x   %s\n", packRatio, verdict(packRatio <= 1.5));
    std::printf("  unpack <= 1.5 x unzip                    %6.2f x   %s\n", unpackRatio, verdict(unpackRatio <= 1.5));
    std::fflush(stdout);
    return packRatio <= 1.5 && unpackRatio <= 1.5;
}

// ---------------------------------------------------------------------------------------

struct Options {
    qint64 sizeMib = 256;
    qint64 files = 1000;
    int repeat = 3;
    QString dir;
    bool keep = false;
};

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: crypto_bench [--size-mib N] [--files N] [--repeat R] [--dir D] [--keep]\n"
                         "  --size-mib N  size of the file enciphered and deciphered (default 256)\n"
                         "  --files N     files in the bundle packed and unpacked (default 1000)\n"
                         "  --repeat R    measure each case R times (default 3)\n"
                         "  --dir D       make the working folder inside D (default /var/tmp)\n"
                         "  --keep        leave the working folder behind\n");
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    ArgReader args(argc, argv, usage);
    while (args.next()) {
        const std::string a = args.arg();
        if (a == "--size-mib")
            o.sizeMib = args.number(1, 64 * 1024);
        else if (a == "--files")
            o.files = args.number(1, zipc::kMaxEntries / 2);
        else if (a == "--repeat")
            o.repeat = int(args.number(1, 1000));
        else if (a == "--dir")
            o.dir = QString::fromLocal8Bit(args.value());
        else if (a == "--keep")
            o.keep = true;
        else
            usage();
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    const Options opt = parseOptions(argc, argv);
    g_openssl = findTool("openssl");
    g_zip = findTool("zip");
    g_unzip = findTool("unzip");

    makeWorkDir(opt.dir, opt.keep);

    const bool cipherMet = benchCipher(g_workDir, opt.sizeMib, opt.repeat);
    const bool zipMet = benchZip(g_workDir, opt.files, opt.repeat);
    std::printf("\n%s\n", cipherMet && zipMet ? "All targets met." : "Some targets missed.");
    cleanUp();
    return 0;
}
