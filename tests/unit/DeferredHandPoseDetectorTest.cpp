#include "camera/DeferredHandPoseDetector.h"
#include "support/ScriptedHandPoseDetector.h"

#include <gtest/gtest.h>

namespace vantor::camera {
namespace {

TEST(DeferredHandPoseDetector, BuildsTheDetectorOnTheFirstPictureOnlyAndOnce) {
    int builds = 0;
    DeferredHandPoseDetector deferred([&builds]() -> std::unique_ptr<HandPoseDetector> {
        ++builds;
        return nullptr;
    });
    EXPECT_EQ(builds, 0);
    EXPECT_FALSE(deferred.isBuilt());
    for (int i = 0; i < 3; ++i) {
        const auto result = deferred.detect(VideoFrame{});
        ASSERT_TRUE(result); // a failed build finds no hand; it is no failed run
        EXPECT_TRUE(result->empty());
    }
    EXPECT_EQ(builds, 1);
    EXPECT_TRUE(deferred.isBuilt());
}

TEST(DeferredHandPoseDetector, HandsEveryPictureToTheBuiltDetector) {
    DeferredHandPoseDetector deferred([] {
        auto inner = std::make_unique<vantor::testing::ScriptedHandPoseDetector>();
        inner->pushFailure();
        inner->pushHand(HandObservation{});
        return inner;
    });
    EXPECT_FALSE(deferred.detect(VideoFrame{}));
    const auto second = deferred.detect(VideoFrame{});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->size(), 1u);
}

} // namespace
} // namespace vantor::camera
