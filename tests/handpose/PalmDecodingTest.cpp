// Anchors, decoding and weighted non-maximum suppression of palm detections.
#include "platform/handpose/PalmDecoding.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantor::handpose {
namespace {

TEST(PalmAnchorsTest, TwoGridsOf2016AnchorsInModelOrder) {
    const auto anchors = palmAnchors();
    ASSERT_EQ(anchors.size(), 2016u);
    // Stride 8: 24 x 24 cells, two anchors each, row by row.
    EXPECT_FLOAT_EQ(anchors[0].x, 0.5f / 24);
    EXPECT_FLOAT_EQ(anchors[1].x, 0.5f / 24);
    EXPECT_FLOAT_EQ(anchors[2].x, 1.5f / 24);
    EXPECT_FLOAT_EQ(anchors[48].y, 1.5f / 24);
    // Stride 16: 12 x 12 cells, six anchors each (three layers share the grid).
    EXPECT_FLOAT_EQ(anchors[1152].x, 0.5f / 12);
    EXPECT_FLOAT_EQ(anchors[1157].x, 0.5f / 12);
    EXPECT_FLOAT_EQ(anchors[1158].x, 1.5f / 12);
    EXPECT_FLOAT_EQ(anchors[2015].x, 11.5f / 12);
    EXPECT_FLOAT_EQ(anchors[2015].y, 11.5f / 12);
}

std::vector<float> regressorsFor(std::size_t anchors, std::size_t index, std::vector<float> values) {
    std::vector<float> all(anchors * kPalmValuesPerAnchor, 0.0f);
    std::copy(values.begin(), values.end(), all.begin() + static_cast<long>(index * kPalmValuesPerAnchor));
    return all;
}

TEST(DecodePalmsTest, BoxAndKeypointsAreRelativeToTheAnchorInInputPixels) {
    const std::vector<Anchor> anchors{{0.25f, 0.25f}, {0.5f, 0.5f}};
    std::vector<float> values(kPalmValuesPerAnchor, 0.0f);
    values[0] = 19.2f;  // centre 0.1 right of the anchor
    values[1] = -9.6f;  // 0.05 up
    values[2] = 38.4f;  // width 0.2
    values[3] = 57.6f;  // height 0.3
    values[4] = 96.0f;  // keypoint 0 at +0.5 in x
    const auto regressors = regressorsFor(2, 1, values);
    const std::vector<float> logits{-5.0f, 2.0f};
    const auto palms = decodePalms(regressors, logits, anchors, 192.0f, 0.5f);
    ASSERT_EQ(palms.size(), 1u);
    EXPECT_NEAR(palms[0].xMin, 0.6f - 0.1f, 1e-6);
    EXPECT_NEAR(palms[0].yMin, 0.45f - 0.15f, 1e-6);
    EXPECT_NEAR(palms[0].width, 0.2f, 1e-6);
    EXPECT_NEAR(palms[0].height, 0.3f, 1e-6);
    EXPECT_NEAR(palms[0].keypoints[0].x, 1.0f, 1e-6);
    EXPECT_NEAR(palms[0].keypoints[1].y, 0.5f, 1e-6);
    EXPECT_NEAR(palms[0].score, 1.0f / (1.0f + std::exp(-2.0f)), 1e-6);
}

TEST(DecodePalmsTest, ExtremeAndInvalidLogitsNeitherOverflowNorPass) {
    const std::vector<Anchor> anchors{{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}};
    const std::vector<float> regressors(3 * kPalmValuesPerAnchor, 1.0f);
    const std::vector<float> logits{1e30f, -1e30f, std::nanf("")};
    const auto palms = decodePalms(regressors, logits, anchors, 192.0f, 0.5f);
    ASSERT_EQ(palms.size(), 1u);
    EXPECT_FLOAT_EQ(palms[0].score, 1.0f);
}

TEST(DecodePalmsTest, OutputsThatDoNotFitTheAnchorsGiveNothing) {
    const std::vector<Anchor> anchors{{0.5f, 0.5f}};
    EXPECT_TRUE(decodePalms(std::vector<float>(5, 0.0f), std::vector<float>{9.0f}, anchors, 192.0f, 0.5f).empty());
}

PalmDetection box(float x, float y, float size, float score, float keypointX = 0.0f) {
    PalmDetection palm;
    palm.xMin = x;
    palm.yMin = y;
    palm.width = size;
    palm.height = size;
    palm.keypoints[0] = {keypointX, 0.0f};
    palm.score = score;
    return palm;
}

TEST(WeightedNmsTest, OverlappingPalmsMergeWeightedByScoreAndKeepTheBestScore) {
    // IoU of these two: 0.8 x 1 overlap over 1.2 -> 0.667 > 0.3.
    const auto kept = weightedNonMaxSuppression({box(0.2f, 0.0f, 1.0f, 0.6f, 1.0f), box(0.0f, 0.0f, 1.0f, 0.9f, 0.0f)},
                                                0.3f);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NEAR(kept[0].xMin, 0.2f * 0.6f / 1.5f, 1e-6);
    EXPECT_NEAR(kept[0].width, 1.0f, 1e-6);
    EXPECT_NEAR(kept[0].keypoints[0].x, 0.6f / 1.5f, 1e-6);
    EXPECT_FLOAT_EQ(kept[0].score, 0.9f);
}

TEST(WeightedNmsTest, SeparatePalmsStayApartBestFirst) {
    const auto kept =
        weightedNonMaxSuppression({box(0.0f, 0.0f, 0.2f, 0.6f), box(0.5f, 0.5f, 0.2f, 0.9f)}, 0.3f);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_FLOAT_EQ(kept[0].score, 0.9f);
    EXPECT_FLOAT_EQ(kept[1].score, 0.6f);
}

TEST(WeightedNmsTest, DegenerateBoxesEndTheLoop) {
    const auto kept = weightedNonMaxSuppression(
        {box(0.0f, 0.0f, 0.0f, 0.9f), box(0.0f, 0.0f, std::nanf(""), 0.8f), box(0.1f, 0.1f, -1.0f, 0.7f)}, 0.3f);
    EXPECT_EQ(kept.size(), 3u);
}

} // namespace
} // namespace vantor::handpose
