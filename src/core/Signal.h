#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace vantor {

// A list of listeners that are told when a published field changes.
// connect() hands back a Connection that unsubscribes when destroyed, so a
// view that goes away before the model never receives a stale call.
// Single-threaded: connect, disconnect and emit on the main thread only.
template <typename... Args>
class Signal {
    struct State {
        std::uint64_t nextId = 1;
        std::vector<std::pair<std::uint64_t, std::function<void(Args...)>>> slots;
    };

public:
    class Connection {
    public:
        Connection() = default;
        Connection(std::weak_ptr<State> state, std::uint64_t id) : state_(std::move(state)), id_(id) {}
        Connection(Connection&& other) noexcept
            : state_(std::move(other.state_)), id_(std::exchange(other.id_, 0)) {}
        Connection& operator=(Connection&& other) noexcept {
            if (this != &other) {
                disconnect();
                state_ = std::move(other.state_);
                id_ = std::exchange(other.id_, 0);
            }
            return *this;
        }
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;
        ~Connection() { disconnect(); }

        void disconnect() {
            if (auto state = state_.lock()) {
                std::erase_if(state->slots, [this](const auto& slot) { return slot.first == id_; });
            }
            state_.reset();
            id_ = 0;
        }

    private:
        std::weak_ptr<State> state_;
        std::uint64_t id_ = 0;
    };

    [[nodiscard]] Connection connect(std::function<void(Args...)> slot) {
        const auto id = state_->nextId++;
        state_->slots.emplace_back(id, std::move(slot));
        return Connection(state_, id);
    }

    void emit(const Args&... args) const {
        // A listener may connect or disconnect others while being told, so
        // tell a snapshot and skip listeners removed in the meantime.
        const auto snapshot = state_->slots;
        for (const auto& [id, slot] : snapshot) {
            if (isConnected(id)) slot(args...);
        }
    }

private:
    bool isConnected(std::uint64_t id) const {
        for (const auto& slot : state_->slots) {
            if (slot.first == id) return true;
        }
        return false;
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace vantor
