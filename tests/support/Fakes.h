#pragma once

// Fakes of the core's seams: console, main queue, random words, MIDI, camera.
#include "camera/CaptureSession.h"
#include "camera/FrameSource.h"
#include "camera/HandMeasures.h"
#include "core/Console.h"
#include "core/MainQueue.h"
#include "core/RandomSource.h"
#include "midi/MidiService.h"
#include "midi/NrpnDecoder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace vantor::testing {

// Keeps every diagnostic line; safe to write from any thread.
class ConsoleRecorder : public Console {
public:
    void printLine(std::string_view line) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Runs nothing until the test says so; any thread may post. Delayed tasks
// wait on a virtual clock that only advance() moves.
class ManualMainQueue : public MainQueue {
public:
    void post(Task task) override {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(task));
    }
    void postAfter(std::chrono::milliseconds delay, Task task) override {
        std::lock_guard lock(mutex_);
        delayed_.emplace(now_ + delay, std::move(task));
    }
    bool runOne() {
        std::unique_lock lock(mutex_);
        if (ready_.empty()) return false;
        Task task = std::move(ready_.front());
        ready_.pop_front();
        lock.unlock();
        task();
        return true;
    }
    // Also runs what the tasks post; returns how many ran.
    std::size_t runAll() {
        std::size_t count = 0;
        while (runOne()) ++count;
        return count;
    }
    // Due tasks become ready by due time, then in the order they were posted.
    void advance(std::chrono::milliseconds by) {
        std::lock_guard lock(mutex_);
        now_ += by;
        const auto due = delayed_.upper_bound(now_);
        for (auto it = delayed_.begin(); it != due; ++it) ready_.push_back(std::move(it->second));
        delayed_.erase(delayed_.begin(), due);
    }
    std::size_t readyCount() const {
        std::lock_guard lock(mutex_);
        return ready_.size();
    }
    std::size_t delayedCount() const {
        std::lock_guard lock(mutex_);
        return delayed_.size();
    }

private:
    mutable std::mutex mutex_;
    std::deque<Task> ready_;
    std::multimap<std::chrono::milliseconds, Task> delayed_;
    std::chrono::milliseconds now_{0};
};

// Hands out the scripted words in order, then zeros.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::initializer_list<std::uint64_t> words = {}) : words_(words) {}
    void push(std::uint64_t word) { words_.push_back(word); }
    std::size_t drawn() const { return drawn_; }
    std::uint64_t nextWord() override {
        ++drawn_;
        if (words_.empty()) return 0;
        const auto word = words_.front();
        words_.pop_front();
        return word;
    }

private:
    std::deque<std::uint64_t> words_;
    std::size_t drawn_ = 0;
};

// An in-memory MIDI service: the test adds destinations; sends are recorded.
class RecordingMidiService : public midi::MidiService {
public:
    struct Send {
        midi::PortRef port = 0;
        midi::EndpointRef destination = 0;
        std::vector<std::uint8_t> bytes;
    };

    midi::EndpointRef addDestination(std::optional<std::string> portName,
                                     std::optional<std::string> clientName = std::nullopt) {
        destinations_.push_back({nextRef_, {std::move(portName), std::move(clientName)}, true});
        return nextRef_++;
    }
    // Leaves the enumeration; later sends to it fail.
    void vanish(midi::EndpointRef destination) {
        if (auto* entry = find(destination)) entry->present = false;
    }
    // The same, told at once (as JACK tells a server shutdown).
    void loseDestination(midi::EndpointRef destination) {
        vanish(destination);
        destinationLost.emit(destination);
    }
    // From now on every send is refused with `result`.
    void failWith(midi::SendResult result) { failure_ = result; }

    const std::vector<Send>& sends() const { return sends_; }
    std::vector<midi::NrpnMessage> nrpns() const {
        std::vector<std::uint8_t> stream;
        for (const auto& sent : sends_) stream.insert(stream.end(), sent.bytes.begin(), sent.bytes.end());
        return midi::decodeNrpns(stream);
    }
    void clearSends() { sends_.clear(); }
    const std::vector<std::string>& clientNames() const { return clientNames_; }
    const std::vector<std::string>& portNames() const { return portNames_; }
    std::size_t enumerationCount() const { return enumerations_; }

    midi::ClientRef createClient(std::string_view name) override {
        clientNames_.emplace_back(name);
        return static_cast<midi::ClientRef>(clientNames_.size());
    }
    midi::PortRef createOutputPort(midi::ClientRef, std::string_view name) override {
        portNames_.emplace_back(name);
        return static_cast<midi::PortRef>(portNames_.size());
    }
    std::size_t destinationCount() override {
        ++enumerations_;
        return static_cast<std::size_t>(std::ranges::count(destinations_, true, &Destination::present));
    }
    std::optional<midi::EndpointRef> destinationAt(std::size_t index) override {
        for (const auto& entry : destinations_) {
            if (entry.present && index-- == 0) return entry.ref;
        }
        return std::nullopt;
    }
    midi::DestinationNames destinationNames(midi::EndpointRef destination) override {
        const auto* entry = find(destination);
        return entry ? entry->names : midi::DestinationNames{};
    }
    midi::SendResult send(midi::PortRef port, midi::EndpointRef destination,
                          std::span<const std::uint8_t> bytes) override {
        const auto* entry = find(destination);
        if (!entry) return midi::SendResult::NoDestination;
        if (!entry->present) return midi::SendResult::DestinationGone;
        if (failure_) return *failure_;
        sends_.push_back({port, destination, {bytes.begin(), bytes.end()}});
        return midi::SendResult::Sent;
    }

private:
    struct Destination {
        midi::EndpointRef ref;
        midi::DestinationNames names;
        bool present;
    };
    Destination* find(midi::EndpointRef ref) {
        const auto it = std::ranges::find(destinations_, ref, &Destination::ref);
        return it == destinations_.end() ? nullptr : &*it;
    }

    std::vector<Destination> destinations_;
    std::vector<Send> sends_;
    std::vector<std::string> clientNames_;
    std::vector<std::string> portNames_;
    std::optional<midi::SendResult> failure_;
    std::size_t enumerations_ = 0;
    midi::EndpointRef nextRef_ = 0x100;
};

// Polls until `condition` holds; the limit only keeps a broken test from hanging.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A tiny valid picture whose first bytes carry `number`.
inline camera::VideoFrame numberedFrame(std::uint32_t number) {
    auto pixels = std::make_shared<std::vector<std::uint8_t>>(std::size_t{4 * 4 * 3}, std::uint8_t{0});
    std::memcpy(pixels->data(), &number, sizeof number);
    return {4, 4, std::move(pixels)};
}

// A hand with exactly the given joints; the others fail their lookup.
inline camera::HandObservation handWith(std::initializer_list<std::pair<camera::HandJoint, camera::JointPoint>> joints) {
    camera::HandObservation hand;
    for (const auto& [joint, point] : joints) hand.joints[static_cast<std::size_t>(joint)] = point;
    return hand;
}

// A hand seen surely with these tip heights and pinch (at least the rise from
// thumb to index tip), pointing up: raw tilt 0.375.
struct HandShape {
    double thumbY = 0.5, indexY = 0.5, middleY = 0.5, pinch = 0.1;
};
inline camera::HandObservation makeHand(const HandShape& shape) {
    const double rise = shape.indexY - shape.thumbY;
    const double indexX = 0.3 + std::sqrt(std::max(shape.pinch * shape.pinch - rise * rise, 0.0));
    return handWith({{camera::HandJoint::Wrist, {0.5, 0.1, 0.9f}},
                     {camera::HandJoint::ThumbTip, {0.3, shape.thumbY, 0.9f}},
                     {camera::HandJoint::IndexTip, {indexX, shape.indexY, 0.9f}},
                     {camera::HandJoint::MiddleTip, {0.5, shape.middleY, 0.9f}},
                     {camera::HandJoint::LittleTip, {1.0 - indexX, 0.8 - shape.indexY, 0.9f}}});
}

// Answers each run with the next scripted result, then with no hand.
class ScriptedHandPoseDetector : public camera::HandPoseDetector {
public:
    using Result = std::optional<std::vector<camera::HandObservation>>;

    void push(Result result) {
        std::lock_guard lock(mutex_);
        script_.push_back(std::move(result));
    }
    void pushHand(const camera::HandObservation& hand) { push(std::vector{hand}); }
    void pushNoHand() { push(std::vector<camera::HandObservation>{}); }
    void pushFailure() { push(std::nullopt); }
    // Plays a detector that never finds a hand (no hand models).
    void setCanFindHands(bool can) { canFindHands_ = can; }

    Result detect(const camera::VideoFrame&) override {
        std::lock_guard lock(mutex_);
        if (script_.empty()) return std::vector<camera::HandObservation>{};
        Result result; // swapped, not moved: g++ 12 takes a moved-from optional<vector> for uninitialised
        result.swap(script_.front());
        script_.pop_front();
        return result;
    }
    bool canFindHands() const override { return canFindHands_.load(); }

private:
    std::mutex mutex_;
    std::deque<Result> script_;
    std::atomic<bool> canFindHands_{true};
};

// Pictures numbered 0, 1, ..., `frameCount` of them over all runs, then NotNow;
// from picture `unplugAt` on the camera is Gone until plugBackIn().
class ScriptedFrameSource : public camera::FrameSource {
public:
    explicit ScriptedFrameSource(std::optional<std::uint32_t> frameCount, bool hasInput = true)
        : frameCount_(frameCount), hasInput_(hasInput) {}

    void unplugAt(std::uint32_t number) { unplugAt_ = number; }
    void plugBackIn() { unplugAt_ = kNever; }
    std::uint32_t framesRead() const { return next_.load(); }
    std::size_t reads() const { return reads_.load(); }
    std::size_t opens() const { return opens_.load(); }
    std::size_t closes() const { return closes_.load(); }
    bool isOpen() const { return open_.load(); }

    bool hasInput() const override { return hasInput_; }
    camera::SourceStatus open() override {
        ++opens_;
        if (unplugged()) return camera::SourceStatus::Gone;
        open_ = true;
        return camera::SourceStatus::Ready;
    }
    camera::FrameRead read(std::stop_token) override {
        ++reads_;
        if (!open_) return {};
        if (unplugged()) return {camera::SourceStatus::Gone, {}};
        if (frameCount_ && next_.load() >= *frameCount_) return {};
        return {camera::SourceStatus::Ready, numberedFrame(next_++)};
    }
    void close() override {
        ++closes_;
        open_ = false;
    }

private:
    static constexpr std::int64_t kNever = -1;
    bool unplugged() const { return unplugAt_.load() != kNever && next_.load() >= unplugAt_.load(); }

    const std::optional<std::uint32_t> frameCount_;
    const bool hasInput_;
    std::atomic<std::int64_t> unplugAt_{kNever};
    std::atomic<std::uint32_t> next_{0};
    std::atomic<std::size_t> reads_{0}, opens_{0}, closes_{0};
    std::atomic<bool> open_{false};
};

// A session without a thread: deliver() plays the worker, and like a real
// session delivers only while running (then returns true).
class ScriptedCaptureSession : public camera::CaptureSession {
public:
    explicit ScriptedCaptureSession(bool hasInput = true) : hasInput_(hasInput) {}

    bool deliver(const camera::VideoFrame& frame = numberedFrame(0)) {
        if (!running_) return false;
        if (frameHandler_) frameHandler_(frame);
        if (previewHandler_) previewHandler_(frame);
        return true;
    }
    // The camera goes away mid-run, as WorkerCaptureSession reports it.
    void loseCamera() {
        running_ = false;
        lost_ = true;
        if (inputStateHandler_) inputStateHandler_(camera::InputState::Lost);
        if (previewHandler_) previewHandler_(camera::VideoFrame{});
    }
    std::size_t startCount() const { return starts_; }

    bool hasInput() const override { return hasInput_; }
    camera::InputState inputState() const override {
        if (!hasInput_) return camera::InputState::None;
        return lost_ ? camera::InputState::Lost : camera::InputState::Available;
    }
    void setFrameHandler(FrameHandler handler) override { frameHandler_ = std::move(handler); }
    void setInputStateHandler(InputStateHandler handler) override { inputStateHandler_ = std::move(handler); }
    void setPreviewHandler(FrameHandler handler) override { previewHandler_ = std::move(handler); }
    // Every start finds the camera again.
    void startRunning() override {
        ++starts_;
        running_ = hasInput_;
        if (lost_ && inputStateHandler_) inputStateHandler_(camera::InputState::Available);
        lost_ = false;
    }
    void stopRunning() override { running_ = false; }
    bool isRunning() const override { return running_; }

private:
    bool hasInput_;
    bool running_ = false;
    bool lost_ = false;
    std::size_t starts_ = 0;
    FrameHandler frameHandler_;
    InputStateHandler inputStateHandler_;
    FrameHandler previewHandler_;
};

} // namespace vantor::testing
