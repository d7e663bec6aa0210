#pragma once

#include <optional>
#include <utility>

#include <QString>

// A value, or the reason there is none, in words a user can read ("Could not read
// video 'holiday.mp4': Invalid data found when processing input").
template <typename T>
class Outcome final {
public:
    Outcome(T value) // NOLINT(google-explicit-constructor): returned like a plain value
        : result(std::move(value))
    {
    }

    static Outcome failure(QString reason)
    {
        Outcome outcome;
        outcome.reason = std::move(reason);
        return outcome;
    }

    bool ok() const { return result.has_value(); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return *result; }
    T& value() & { return *result; }
    T&& value() && { return std::move(*result); }
    const T* operator->() const { return &*result; }
    T* operator->() { return &*result; }

    const QString& error() const { return reason; }

private:
    Outcome() = default;

    std::optional<T> result;
    QString reason;
};

// Success, or the reason it failed, for steps that make nothing but may fail.
template <>
class Outcome<void> final {
public:
    Outcome() = default;

    static Outcome failure(QString reason)
    {
        Outcome outcome;
        outcome.failed = true;
        outcome.reason = std::move(reason);
        return outcome;
    }

    bool ok() const { return !failed; }
    explicit operator bool() const { return ok(); }

    const QString& error() const { return reason; }

private:
    bool failed = false;
    QString reason;
};
