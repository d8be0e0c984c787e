#pragma once

#include <memory>
#include <utility>

namespace vantor {

// Lets work posted to a queue find out whether its owner still exists: a
// guarded task does nothing once the owner (and so its Lifetime) is gone.
// Check and destruction both happen on the main thread.
class Lifetime {
public:
    template <typename Fn>
    auto guard(Fn fn) const {
        return [alive = std::weak_ptr<const char>(token_), fn = std::move(fn)]() mutable {
            if (alive.lock()) fn();
        };
    }

private:
    std::shared_ptr<const char> token_ = std::make_shared<const char>('\0');
};

} // namespace vantor
