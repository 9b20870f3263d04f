// How a store operation failed, returned with the operation's result: the window's messages and
// the command line's exit codes are both chosen from it, each in one table.
#pragma once

#include <optional>
#include <utility>

// The classes a caller reacts to differently. kNone is the answer of an operation that did not
// fail; a write returns its failure alone, a read returns it with its value (StoreResult).
enum class [[nodiscard]] StoreFailure{
    kNone,      // the operation did what it was asked
    kBusy,      // another program holds a conflicting lock: worth trying again
    kReadOnly,  // the file, its folder or the medium allows reading only (no journal can be made)
    kDamaged,   // not a database, damaged or cut short, or made by hand: tables or statements of
                // another shape
    kTooLarge,  // a value longer than kMaxValueBytes: made or damaged elsewhere (LongestValueBytes)
    kNotFound,  // the row or rows a write names are no longer there as they were read
    kOther,     // anything else: a full disk, an I/O error, a statement stopped by its budget
};

inline bool Succeeded(StoreFailure failure) {
    return failure == StoreFailure::kNone;
}

// A read's value, or why there is none. A failure of no class of its own is still a failure:
// kNone never stands for a missing value.
template <typename T>
class [[nodiscard]] StoreResult {
public:
    StoreResult(T value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
    StoreResult(StoreFailure failure)                   // NOLINT(google-explicit-constructor)
        : failure_(failure == StoreFailure::kNone ? StoreFailure::kOther : failure) {}

    explicit operator bool() const { return value_.has_value(); }
    bool has_value() const { return value_.has_value(); }
    StoreFailure Failure() const { return failure_; }

    T& operator*() & { return *value_; }
    const T& operator*() const& { return *value_; }
    T&& operator*() && { return std::move(*value_); }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    T& value() & { return value_.value(); }
    const T& value() const& { return value_.value(); }
    T&& value() && { return std::move(value_).value(); }
    template <typename U>
    T value_or(U&& otherwise) const& {
        return value_.value_or(std::forward<U>(otherwise));
    }

private:
    std::optional<T> value_;
    StoreFailure failure_ = StoreFailure::kNone;
};
