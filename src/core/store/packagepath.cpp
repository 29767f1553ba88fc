#include "store/packagepath.h"

#include <QStringList>

namespace folivo {

namespace {

bool validComponent(QStringView c)
{
    return !c.isEmpty() && c != u"." && c != u".." && !c.contains(QChar(0));
}

} // namespace

std::optional<PackagePath> PackagePath::fromString(const QString& path)
{
    if (path.isEmpty())
        return PackagePath();
    if (path.startsWith('/'))
        return std::nullopt;
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype slash = path.indexOf('/', start);
        if (slash < 0)
            slash = path.size();
        if (!validComponent(QStringView(path).mid(start, slash - start)))
            return std::nullopt;
        start = slash + 1;
    }
    return PackagePath(path);
}

QString PackagePath::name() const
{
    const qsizetype slash = path_.lastIndexOf('/');
    return slash < 0 ? path_ : path_.mid(slash + 1);
}

PackagePath PackagePath::parent() const
{
    const qsizetype slash = path_.lastIndexOf('/');
    return slash < 0 ? PackagePath() : PackagePath(path_.left(slash));
}

int PackagePath::depth() const
{
    return path_.isEmpty() ? 0 : int(path_.count('/')) + 1;
}

std::optional<PackagePath> PackagePath::child(const QString& name) const
{
    if (!validComponent(name) || name.contains('/'))
        return std::nullopt;
    return PackagePath(path_.isEmpty() ? name : path_ + '/' + name);
}

bool PackagePath::isInside(const PackagePath& ancestor) const
{
    if (ancestor.isRoot())
        return !isRoot();
    return path_.size() > ancestor.path_.size() && path_.startsWith(ancestor.path_)
           && path_.at(ancestor.path_.size()) == '/';
}

QString PackagePath::absoluteUnder(const QString& root) const
{
    return path_.isEmpty() ? root : root + '/' + path_;
}

PackagePath PackagePath::withSuffix(const QString& suffix) const
{
    return PackagePath(path_ + suffix);
}

NameProblem checkName(const QString& name)
{
    if (name.isEmpty())
        return NameProblem::Empty;
    if (name == "." || name == "..")
        return NameProblem::DotOrDotDot;
    if (name.startsWith('.'))
        return NameProblem::LeadingDot;
    if (name.contains('/'))
        return NameProblem::Slash;
    for (QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return NameProblem::ControlCharacter;
    if (name.toUtf8().size() > MaxNameBytes)
        return NameProblem::TooLong;
    return NameProblem::None;
}

QString nameProblemMessage(NameProblem problem)
{
    switch (problem) {
    case NameProblem::None: return {};
    case NameProblem::Empty: return QStringLiteral("A name cannot be empty.");
    case NameProblem::DotOrDotDot: return QStringLiteral("\".\" and \"..\" cannot be used as names.");
    case NameProblem::LeadingDot: return QStringLiteral("A name cannot begin with \".\".");
    case NameProblem::Slash: return QStringLiteral("A name cannot contain \"/\".");
    case NameProblem::ControlCharacter: return QStringLiteral("A name cannot contain control characters.");
    case NameProblem::TooLong:
        return QStringLiteral("The name is too long; use at most %1 bytes.").arg(MaxNameBytes);
    }
    return {};
}

QString makeValidName(const QString& input)
{
    QString name;
    name.reserve(input.size());
    for (QChar c : input) {
        if (c == '/')
            name.append(QChar('-'));
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            name.append(QChar(' '));
        else
            name.append(c);
    }
    // Dots and spaces in any order: " .x" trimmed would begin with a dot again.
    qsizetype lead = 0;
    while (lead < name.size() && (name.at(lead) == '.' || name.at(lead).isSpace()))
        ++lead;
    name = name.mid(lead).trimmed();
    if (name.isEmpty())
        name = QStringLiteral("Untitled");
    if (name.toUtf8().size() > MaxNameBytes) {
        // Keep a short extension so the file still opens with the right program.
        const qsizetype dot = name.lastIndexOf('.');
        QString ext = (dot > 0 && name.size() - dot <= 16) ? name.mid(dot) : QString();
        QString stem = ext.isEmpty() ? name : name.left(dot);
        while ((stem + ext).toUtf8().size() > MaxNameBytes && !stem.isEmpty()) {
            stem.chop(1);
            if (!stem.isEmpty() && stem.back().isHighSurrogate())
                stem.chop(1);
        }
        name = stem + ext;
    }
    return name;
}

} // namespace folivo
