// A guard flag set for a scope: it gives back the value it found, also on an early return, an
// exception or when the same flag is set again further in.
#pragma once

#include <utility>

namespace kestrom {

template <typename T>
class ScopedValue {
public:
    ScopedValue(T& target, T value) : target_(target), found_(std::exchange(target, std::move(value))) {}
    ~ScopedValue() { target_ = std::move(found_); }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    T& target_;
    T found_;
};

}  // namespace kestrom
