#pragma once
// The one shape of a failure in core code: what kind of failure, the step that failed, the
// path it concerned and what the system (or the rule) said. A `Result<T>` holds either the
// value or that error, so a function can answer both without a new "…Outcome" type of its
// own and without throwing.

#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace folivo {

enum class ErrorCode {
    Failed,    // did not happen, nothing lost; `detail` says why
    Refused,   // not allowed in this state or for this input; nothing changed
    NotFound,  // the item, file or database is not there
    Invalid,   // outside data that cannot be used (a damaged file, a hostile path)
    DiskError, // the disk refused a step; `step` and `path` name it
    Cancelled, // the person chose not to go on
    InUse,     // another program holds what was needed
};

struct Error {
    ErrorCode code = ErrorCode::Failed;
    QString step;   // the step as the disk-error log names it ("Writing attributes file of"); may be empty
    QString path;   // the path concerned; may be empty
    QString detail; // what the system said, or the plain words of the rule

    // One line for a log or a terminal: "step path: detail", leaving out what is empty.
    QString describe() const
    {
        QString line = step;
        if (!path.isEmpty())
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + path;
        if (!detail.isEmpty())
            line += (line.isEmpty() ? QString() : QStringLiteral(": ")) + detail;
        return line;
    }
    friend bool operator==(const Error&, const Error&) = default;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; only to be asked for when ok() (checked: asking an error for its value is
    // a programming fault, and std::get says so rather than reading garbage).
    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    template <typename U>
    T valueOr(U&& fallback) const&
    {
        return ok() ? value() : T(std::forward<U>(fallback));
    }

    // The error; only when !ok().
    const Error& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

// A result that carries no value: success, or the error.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

} // namespace folivo
