#pragma once
// The listing of a package's entries, made with readdir and without following links.

#include <QString>
#include <QStringList>

#include <future>
#include <optional>
#include <vector>

namespace folivo {

// The package's entries as the disk has them, listed on another thread while the tree
// loads (the two together take about as long as the longer of them) or on the spot.
class PackageListing {
public:
    struct Entry {
        QString rel;  // path inside the package
        int parent;   // index of the folder entry that holds it; -1 at the top
        bool isDir;   // a directory (never a link to one)
        bool listed;  // a directory whose entries were read
        bool isLink = false; // a symbolic link
    };
    struct Data {
        std::vector<Entry> entries; // folders before what they hold
        QStringList leftovers;      // hidden leftovers of interrupted deletes and writes
        bool rootListed = false;
    };

    static PackageListing start(const QString& root, bool inBackground);
    PackageListing(PackageListing&&) = default;
    PackageListing& operator=(PackageListing&&) = default;
    ~PackageListing();
    bool valid() const;
    const Data& get(); // waits for the thread

private:
    PackageListing() = default;
    std::future<Data> future_;
    std::optional<Data> data_;
};

} // namespace folivo
