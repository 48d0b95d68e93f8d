// One value shared between threads as an immutable block behind a
// shared_ptr: readers take their own pointer under a short lock, a writer
// swaps in another, and a block is freed by its last user, outside the lock.
// The window holds its current recording in one.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace tw {

template <class T>
class SharedHolder {
public:
    using Ptr = std::shared_ptr<const T>;

    Ptr Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return current_;
    }

    void Set(Ptr next) {
        Ptr old;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            old = std::move(current_);
            current_ = std::move(next);
        }
        // `old` may be the last owner: it is freed here, outside the lock.
    }

    // Puts `replacement` in place of `expected` only if that is still held.
    bool Replace(const Ptr& expected, Ptr replacement) {
        Ptr old;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (current_ != expected) return false;
            old = std::move(current_);
            current_ = std::move(replacement);
        }
        return true;
    }

private:
    mutable std::mutex mutex_;
    Ptr current_;
};

}  // namespace tw
