#include "camera/CameraManager.h"
#include "camera/CameraRows.h"
#include "camera/DeferredHandPoseDetector.h"
#include "camera/NoHandDetector.h"
#include "support/CoreFakes.h"
#include "support/CameraFakes.h"
#include "support/MidiFakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vantor::camera {
namespace {

using testing::handWith;
using testing::makeHand;
using testing::waitUntil;

constexpr float kSure = 0.9f;
const float kJustAbove = std::nextafter(0.6f, 1.0f);

struct TiltRow {
    std::string name;
    double dx, dy; // from the wrist to the midpoint of the index and little tips
    float wrist, index, little;
    double tilt;
    friend void PrintTo(const TiltRow& row, std::ostream* out) { *out << row.name; }
};

class Tilt : public ::testing::TestWithParam<TiltRow> {};

TEST_P(Tilt, MapsTheDirectionOntoZeroToHalfOnlyWithEveryTiltJointSeenMoreSurelyThanSixTenths) {
    const auto& row = GetParam();
    const double mx = 0.5 + row.dx;
    const double my = 0.5 + row.dy;
    const auto hand = handWith({{HandJoint::Wrist, {0.5, 0.5, row.wrist}},
                                {HandJoint::IndexTip, {mx - row.dy * 0.5, my + row.dx * 0.5, row.index}},
                                {HandJoint::LittleTip, {mx + row.dy * 0.5, my - row.dx * 0.5, row.little}}});
    EXPECT_NEAR(calculateTilt(hand), row.tilt, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Hands, Tilt,
    ::testing::Values(TiltRow{"right", 0.25, 0.0, kSure, kSure, kSure, 0.25},
                      TiltRow{"up", 0.0, 0.25, kSure, kSure, kSure, 0.375},
                      TiltRow{"leftExactly", -0.25, 0.0, kSure, kSure, kSure, 0.5},
                      TiltRow{"leftJustBelowWrapsToZero", -0.25, -1e-6, kSure, kSure, kSure, 0.0},
                      TiltRow{"allJustAboveSixTenths", 0.0, 0.25, kJustAbove, kJustAbove, kJustAbove, 0.375},
                      TiltRow{"wristAtSixTenths", 0.0, 0.25, 0.6f, kSure, kSure, 0.0},
                      TiltRow{"littleAtSixTenths", 0.0, 0.25, kSure, kSure, 0.6f, 0.0},
                      TiltRow{"wristConfidenceNaN", 0.0, 0.25, std::nanf(""), kSure, kSure, 0.0}),
    [](const auto& row) { return row.param.name; });

TEST(HandMeasures, AGarbageCoordinateCountsAsAJointNotFound) {
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity(), 1.0e300}) {
        auto tip = makeHand({});
        tip.joints[static_cast<std::size_t>(HandJoint::IndexTip)]->x = bad;
        EXPECT_FALSE(rawTrackedValues(tip)) << bad;
        auto wrist = makeHand({});
        wrist.joints[static_cast<std::size_t>(HandJoint::Wrist)]->y = bad;
        EXPECT_EQ(rawTrackedValues(wrist).value()[index(TrackedValue::Tilt)], 0.0) << bad;
    }
}

std::unique_ptr<HandPoseDetector> noModels() { return std::make_unique<NoHandDetector>(); }

// A CameraManager whose pictures the test hands over and whose results it runs.
class CameraTest : public ::testing::Test {
protected:
    void build(std::unique_ptr<HandPoseDetector> models = nullptr, bool hasCamera = true) {
        if (!models) {
            auto scripted = std::make_unique<testing::ScriptedHandPoseDetector>();
            detector = scripted.get();
            models = std::move(scripted);
        }
        auto owned = std::make_unique<testing::ScriptedCaptureSession>(hasCamera);
        session = owned.get();
        manager = std::make_unique<CameraManager>(std::move(owned), std::move(models), queue, console);
        manager->session().startRunning();
        connection = manager->noticeChanged().connect([this](CameraNotice notice) { told.push_back(notice); });
    }
    void picture() {
        session->deliver();
        queue.runAll();
    }

    testing::ManualMainQueue queue;
    testing::ConsoleRecorder console;
    testing::ScriptedCaptureSession* session = nullptr;
    testing::ScriptedHandPoseDetector* detector = nullptr;
    std::unique_ptr<CameraManager> manager;
    std::vector<CameraNotice> told;
    Signal<CameraNotice>::Connection connection;
};

// Raw values 1, 0.5, 0.25 and 0.8, and a tilt of 0.375.
const auto kHand = makeHand({.thumbY = 1.0, .indexY = 0.5, .middleY = 0.25, .pinch = 0.8});
const TrackedValues kRaw{1.0, 0.5, 0.25, 0.8, 0.375};

TEST_F(CameraTest, EachHandMovesTheFingersAFifthAndTheTiltHalfOfTheWayAndNoHandZeroesThemUntilTheNext) {
    build();
    for (int hands = 1; hands <= 5; ++hands) {
        detector->pushHand(kHand);
        picture();
        for (std::size_t i = 0; i < kTrackedValueCount; ++i) {
            const double share = 1 - std::pow(i == index(TrackedValue::Tilt) ? 0.5 : 0.8, hands);
            EXPECT_NEAR(manager->sliderValues()[i], share * kRaw[i], 1e-12) << hands << " hands, value " << i;
        }
        const auto points = manager->handTrackingPoints();
        hands % 2 ? detector->pushNoHand() : detector->pushFailure();
        picture();
        EXPECT_EQ(manager->sliderValues(), TrackedValues{});
        EXPECT_EQ(manager->handTrackingPoints(), points) << "the overlay keeps the last hand";
    }
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(CameraTest, PostsAtMostOneTaskPerPictureAndNoneButTheErrorLineForAMissingFingerTip) {
    build();
    const HandJoint tips[] = {HandJoint::ThumbTip, HandJoint::IndexTip, HandJoint::MiddleTip, HandJoint::ThumbTip};
    for (int i = 1; i <= 4; ++i) {
        detector->pushHand(makeHand({.thumbY = 0.1 * i, .indexY = 0.1 * i}));
        auto badTip = makeHand({});
        badTip.joints[static_cast<std::size_t>(tips[i - 1])].reset();
        detector->pushHand(badTip);
        detector->pushNoHand();
        detector->pushFailure();
    }
    for (int picture = 0; picture < 16; ++picture) {
        const auto before = queue.readyCount();
        session->deliver();
        EXPECT_LE(queue.readyCount(), before + 1) << picture;
    }
    EXPECT_EQ(console.lines(), std::vector<std::string>(4, "Error in recognizing points"));
    EXPECT_EQ(queue.runAll(), 12u);
    EXPECT_NEAR(manager->lastValues()[0], 0.16384, 1e-12) << "the memory of hands 0.1 to 0.4 applied in order";
}

// Every picture of a missing tracker reads as one without a hand; a reset
// for each would throw away what the user sets on the rows by hand. Models
// found unreadable when the first picture comes are told once. (Which notice
// outranks which, and its picture, are the window's tests.)
TEST_F(CameraTest, WithoutHandTrackingPicturesLeaveTheValuesToTheUsersHand) {
    for (const bool modelsReadAtFirstPicture : {false, true}) {
        auto unreadable = std::make_unique<DeferredHandPoseDetector>([] { return std::unique_ptr<HandPoseDetector>(); });
        const DeferredHandPoseDetector& models = *unreadable;
        if (modelsReadAtFirstPicture) build(std::move(unreadable));
        else build(noModels());
        told.clear();
        if (modelsReadAtFirstPicture) {
            EXPECT_EQ(manager->notice(), CameraNotice::None) << "not read before a picture";
        }
        std::vector<TrackedValues> published;
        const auto watch = manager->sliderValuesChanged().connect([&](const TrackedValues& v) { published.push_back(v); });
        picture();
        manager->setSliderValue(1, 0.5);
        if (modelsReadAtFirstPicture) {
            ASSERT_TRUE(waitUntil([&] { return models.isReady(); }));
        }
        for (int i = 0; i < 3; ++i) picture();
        EXPECT_EQ(published, (std::vector{TrackedValues{0, 0.5, 0, 0, 0}})) << modelsReadAtFirstPicture;
        if (modelsReadAtFirstPicture) {
            EXPECT_EQ(told, std::vector{CameraNotice::HandTrackingUnavailable});
        }
    }

    // Tracking that goes away while running keeps the last hand's values too.
    build();
    detector->pushHand(kHand);
    picture();
    const TrackedValues afterTheHand = manager->sliderValues();
    detector->setCanFindHands(false);
    picture();
    EXPECT_EQ(manager->sliderValues(), afterTheHand);
    manager->setSliderValue(4, 1.0);
    picture();
    EXPECT_EQ(manager->sliderValues()[4], 1.0);
}

TEST_F(CameraTest, APulledOutCameraIsToldUntilTheNextStartFindsItAgain) {
    build(noModels());
    session->loseCamera();
    queue.runAll();
    EXPECT_EQ(manager->notice(), CameraNotice::CameraDisconnected) << "outranks the missing hand models";
    manager->session().startRunning();
    queue.runAll();
    EXPECT_EQ(told, (std::vector{CameraNotice::CameraDisconnected, CameraNotice::HandTrackingUnavailable}));
}

// The camera panel's rows over a manager the test drives, sending at once.
class CameraRowsTest : public CameraTest {
protected:
    void buildRows(bool destination = true) {
        build();
        if (destination) midi.addDestination("vantor*2");
        midiManager = std::make_unique<midi::MidiManager>(midi);
        rows = std::make_unique<CameraRows>(*manager, *midiManager, console);
    }
    std::vector<midi::NrpnMessage> takeSent() {
        auto sent = midi.nrpns();
        midi.clearSends();
        return sent;
    }

    testing::RecordingMidiService midi;
    std::unique_ptr<midi::MidiManager> midiManager;
    std::unique_ptr<CameraRows> rows;
};
using Sent = std::vector<midi::NrpnMessage>;

TEST_F(CameraRowsTest, ARowSendsEachChangeTruncatedAndClampedToItsParameterAndAssigningSendsNothing) {
    buildRows();
    // Truncated (8191.5, 4095.75); a wide pinch of 1.2 stays at full scale instead of wrapping to 3275.
    const std::pair<double, int> changes[] = {{1.0, 16383}, {0.5, 8191}, {0.25, 4095}, {1.2, 16383}, {-0.1, 0}};
    for (const auto& [value, sent] : changes) {
        manager->setSliderValue(3, value); // the pinch row, parameter 8
        EXPECT_EQ(takeSent(), (Sent{{0, 8, sent}})) << value;
        EXPECT_EQ(rows->position(3), sent) << value;
    }
    manager->setSliderValue(3, std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(takeSent().empty());

    for (std::size_t row : {0, 1}) rows->assign(row, 12);
    EXPECT_TRUE(takeSent().empty());
    manager->setSliderValue(0, 0.25);
    manager->setSliderValue(1, 1.0); // two rows on one parameter: both send
    EXPECT_EQ(takeSent(), (Sent{{0, 12, 4095}, {0, 12, 16383}}));
    for (const int position : {1, 2, 3, 16383}) { // a drag sends each position as it is
        rows->drag(2, position);
        EXPECT_EQ(takeSent(), (Sent{{0, 6, position}}));
    }

    // The hand leaving sends zero once for every row that was not zero; the
    // thumb at the bottom edge keeps row 0 where it was.
    for (std::size_t row = 0; row < kTrackedValueCount; ++row) manager->setSliderValue(row, 0.0);
    takeSent();
    detector->pushHand(makeHand({.thumbY = 0.0, .indexY = 0.6, .middleY = 0.8, .pinch = 0.6}));
    picture();
    EXPECT_EQ(takeSent().size(), 4u);
    for (int frame = 0; frame < 3; ++frame) {
        detector->pushNoHand();
        picture();
    }
    EXPECT_EQ(takeSent(), (Sent{{0, 12, 0}, {0, 6, 0}, {0, 8, 0}, {0, 10, 0}})); // row 1 drives 12 now
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(CameraRowsTest, WithoutADestinationEachChangePrintsTheRowsLineAndSendsNothing) {
    buildRows(false);
    for (const double value : {0.9, 0.9, 0.5}) manager->setSliderValue(0, value);
    EXPECT_EQ(console.lines(), std::vector<std::string>(2, "MIDI destination endpoint not connected."));
    EXPECT_TRUE(midi.sends().empty());
}

} // namespace
} // namespace vantor::camera
