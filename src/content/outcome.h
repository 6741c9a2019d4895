#pragma once
// A value, or the reason it could not be had. Loading content fails in ordinary ways (a
// missing image, a malformed catalogue line) that the window reports as text, so the reason
// travels with the result instead of an exception.
#include <QString>
#include <optional>
#include <utility>

namespace vadrelon {

template <typename T>
class Outcome {
public:
    Outcome(T value) : value_(std::move(value)) {}
    static Outcome failure(QString reason)
    {
        Outcome o;
        o.reason_ = std::move(reason);
        return o;
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only when ok().
    const T &value() const { return *value_; }
    const T &operator*() const { return *value_; }
    const T *operator->() const { return &*value_; }
    // Empty when ok().
    const QString &error() const { return reason_; }

private:
    Outcome() = default;
    std::optional<T> value_;
    QString reason_;
};

} // namespace vadrelon
