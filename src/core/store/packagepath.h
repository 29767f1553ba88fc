#pragma once
// Paths inside a database package. A PackagePath is relative, "/"-joined, without empty,
// "." or ".." components and without NUL, so joining it to the package root can never
// leave the root. Every stored path goes through it before the file system sees it.

#include <QString>
#include <optional>

namespace folivo {

class PackagePath {
public:
    PackagePath() = default; // the package root itself (empty path)

    // Validates a stored path. Answers nullopt for absolute paths, empty components,
    // "." or "..", and NUL characters.
    static std::optional<PackagePath> fromString(const QString& path);

    const QString& str() const { return path_; }
    bool isRoot() const { return path_.isEmpty(); }

    // The last component ("" for the root).
    QString name() const;
    // The path without its last component (the root for a top-level path).
    PackagePath parent() const;
    // Number of components (0 for the root).
    int depth() const;
    // Appends one component; nullopt when `name` is not a single valid component.
    std::optional<PackagePath> child(const QString& name) const;
    // True when this path lies strictly inside `ancestor`.
    bool isInside(const PackagePath& ancestor) const;
    // The absolute path under `root` (root must be an absolute directory path).
    QString absoluteUnder(const QString& root) const;
    // The path with a suffix appended to its last component (".fvdbe" forms, ".old").
    PackagePath withSuffix(const QString& suffix) const;

    bool operator==(const PackagePath&) const = default;

private:
    explicit PackagePath(QString p) : path_(std::move(p)) {}
    QString path_;
};

// One check for every name that enters the package.
enum class NameProblem {
    None,
    Empty,
    DotOrDotDot,
    LeadingDot,
    Slash,
    ControlCharacter,
    TooLong,
};

// The longest name, in UTF-8 bytes, for which ".+" + name + ".fvdbe.old" still fits
// in a 255-byte file name.
constexpr int MaxNameBytes = 255 - 2 - 10;

NameProblem checkName(const QString& name);
// A sentence for the user, naming what is wrong; empty for NameProblem::None.
QString nameProblemMessage(NameProblem problem);
// Makes a name from outside valid: leading dots stripped, "/" and control characters
// replaced, cut to MaxNameBytes keeping the extension where possible. Never empty.
QString makeValidName(const QString& name);

} // namespace folivo
