#pragma once
// The identity of a question the store asks, and of each of its answers. The words of a
// question may be reworded; whoever answers without a person in front of the screen (the
// command line with an option given beforehand, a test) recognises the question and picks
// its answer by these names instead.

#include <QByteArrayView>
#include <QHashFunctions>

#include <string_view>

namespace folivo {

class PromptId {
public:
    constexpr PromptId() = default;
    constexpr explicit PromptId(std::string_view name) : name_(name) {}

    constexpr std::string_view name() const { return name_; }
    constexpr bool isNull() const { return name_.empty(); }
    friend constexpr bool operator==(PromptId a, PromptId b) { return a.name_ == b.name_; }

private:
    std::string_view name_;
};

inline size_t qHash(PromptId id, size_t seed = 0)
{
    return qHash(QByteArrayView(id.name().data(), qsizetype(id.name().size())), seed);
}

} // namespace folivo
