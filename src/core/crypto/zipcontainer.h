#pragma once
// Zip containers for folder items (document bundles and other folders stored as one
// file). A folder item is packed into a standard zip archive, which the cipher layer
// then enciphers whole; reading it back unpacks the archive again.
//
// Archives come in two namings. Containers written by the macOS edition with Info-ZIP's
// `zip -qr ./N.fvdbzr ./N` have entries that begin with the item's own name ("N/",
// "N/a.txt"); older containers have entries relative to the inside of the folder
// ("a.txt", "sub/b.txt"). Both are read; new containers use the first.
//
// Everything runs in-process with libzip: no shell, no external tool, and names are
// taken literally as file-system bytes. Archives are outside data: unpacking refuses
// any entry that could write outside the target folder or plant a link that leads out
// of it, and bounds the work a hostile archive can cause.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace folivo::zipc {

enum class EntryNaming {
    WithItemName, // entries "N/", "N/a.txt", …: every entry begins with the one folder name
    InsideItem,   // entries "a.txt", "sub/", "sub/b.txt" relative to the inside of the folder
};

struct Result {
    bool ok = false;
    QString error;
    explicit operator bool() const { return ok; }
};

// More entries than this are refused on both sides, so that nothing we write is
// something we cannot read back.
inline constexpr qint64 kMaxEntries = 100000;

// Packs the folder `folder` into a new archive at `archive`. The archive is written to a
// temporary sibling and renamed over `archive` only when complete, so an existing file
// there is either replaced whole or left as it was; it is never updated. Folders become
// "…/" entries, regular files are deflated (empty ones stored), symbolic links are
// stored as links (their text as content) and never followed. Unix modes and
// modification times are recorded as Info-ZIP's zip records them. FIFOs, sockets and
// devices make the pack fail, and so does anything the unpacking below would refuse
// (a link leading out of the folder, more than kMaxEntries entries), so that a
// container we store can always be read back.
Result packFolder(const QString& folder, const QString& archive, EntryNaming naming);

// The same, into memory.
std::optional<QByteArray> packFolderToMemory(const QString& folder, EntryNaming naming,
                                             QString* error = nullptr);

// Reads every entry back completely (each entry's CRC is checked at its end) without
// writing anything, and checks that the names are safe in either naming: no absolute
// names, no "", "." or ".." components, no duplicates, no entry through a file or a
// link, no link leading out of the archive's root, at most kMaxEntries entries and
// at most 8 GiB in all.
Result verifyArchive(const QString& archive);
Result verifyArchive(const QByteArray& data);

struct UnpackOptions {
    EntryNaming naming = EntryNaming::WithItemName;
    bool readOnly = false; // files 0400 and folders 0500 once everything is written
    qint64 maxTotalBytes = qint64(8) << 30;
};

// Unpacks into the folder `target`, which must not exist while its parent must; the
// call creates it. With WithItemName the one first component shared by all entries,
// whatever it is, stands for `target`; with InsideItem entries go straight inside it.
// The whole unpack is refused, and `target` removed again, for unsafe names (see
// verifyArchive), a link that is absolute or leads out of `target`, entries of other
// kinds than files, folders and links, mixed first components, more than kMaxEntries
// entries, more than maxTotalBytes of content, or a damaged entry. Modes are kept
// without setuid, setgid and sticky bits, files at least 0600 and folders at least
// 0700; modification times are restored.
Result unpackArchive(const QString& archive, const QString& target, const UnpackOptions& options);
Result unpackArchive(const QByteArray& data, const QString& target, const UnpackOptions& options);

// The entry names under the naming rule: for WithItemName without the first component
// (the item's own folder entry is left out), folders with a trailing "/". Nothing when
// the archive cannot be read or its names are unsafe.
std::optional<QStringList> entryNames(const QByteArray& data, EntryNaming naming);

// One regular-file entry read whole, named as entryNames names it ("TXT.rtf",
// "sub/b.txt"). Nothing for folders, links, missing or damaged entries, or content
// beyond 1 GiB.
std::optional<QByteArray> readEntry(const QByteArray& data, const QString& innerPath, EntryNaming naming);

} // namespace folivo::zipc
