#include "SurfaceTestFixture.h"

namespace vantor::testing {
namespace {

class ContentState : public SurfaceTest {};

TEST_F(ContentState, AFreshSurfaceStartsFromItsInitialValuesAndSendsNothing) {
    build();
    EXPECT_EQ(view->sliderValues(), std::vector<double>(43, 0.0));
    EXPECT_EQ(view->linkedTabs(), (std::array<bool, 6>{}));
    for (const auto& info : modes::kModeSwitches) EXPECT_FALSE(view->modeFlag(info.id)) << info.viewName;
    EXPECT_EQ(view->modButtonPressed(), std::vector<bool>(7, false));
    EXPECT_TRUE(view->nrpnButtonStates().empty());
    EXPECT_EQ(view->selectedTab(), 0);
    EXPECT_TRUE(view->isCameraEnabled());
    EXPECT_EQ(view->presets().size(), 100u);
    EXPECT_EQ(view->presets().front(), presets::MidiSliderPreset::blank());
    EXPECT_EQ(view->selectedPresetIndex(), 0);
    EXPECT_EQ(view->currentNoteIndex, 1);
    EXPECT_EQ(view->bpm, 120.0);
    EXPECT_EQ(view->midiManager().connectedDeviceName(), "vantor*2");
    EXPECT_EQ(queue.runAll(), 0u);
    EXPECT_TRUE(midi.sends().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(ContentState, LabelsFollowTheCatalogueWithItsIrregularSpellings) {
    build();
    const auto& labels = view->sliderLabels();
    ASSERT_EQ(labels.size(), 43u);
    EXPECT_EQ(labels[0], "pm modulation depth A");
    EXPECT_EQ(labels[5], "pm mod frequency B");
    EXPECT_EQ(labels[18], "spectral base frequency / chebyshev polynomial scanner");
    EXPECT_EQ(labels[23], "regen buffer filter / <-polynomial scan depth->");
    EXPECT_EQ(labels[29], "A X B MOD");
    EXPECT_EQ(labels[42], "mod F depth");
}

TEST(Catalogue, TabRangesCutTheLastTabToNineSliders) {
    using surface::sliderRange;
    const std::vector<std::pair<int, int>> expected{{0, 8}, {8, 16}, {16, 25}, {25, 34}, {34, 43}};
    for (int tab = 0; tab < 5; ++tab) {
        EXPECT_EQ(sliderRange(tab).start, expected[static_cast<std::size_t>(tab)].first);
        EXPECT_EQ(sliderRange(tab).end, expected[static_cast<std::size_t>(tab)].second);
    }
}

TEST(Catalogue, EveryNumberTheProgramSendsHasAName) {
    using surface::parameterLabel;
    EXPECT_EQ(parameterLabel(1), "pm modulation depth A");
    EXPECT_EQ(parameterLabel(43), "mod F depth");
    EXPECT_EQ(parameterLabel(110), "preset index");
    EXPECT_EQ(parameterLabel(113), "dice modulators");
    EXPECT_EQ(parameterLabel(135), "pulse enabled");
    EXPECT_EQ(parameterLabel(105), "complexity off");
    EXPECT_FALSE(parameterLabel(0));
    EXPECT_FALSE(parameterLabel(44));
    EXPECT_FALSE(parameterLabel(106));
    EXPECT_FALSE(parameterLabel(142));
}

} // namespace
} // namespace vantor::testing
