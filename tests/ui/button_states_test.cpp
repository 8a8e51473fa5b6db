// The button bar's enabling rules, state by state.

#include "ui/main/button_states.h"

#include <gtest/gtest.h>

namespace tavrilo {
namespace {

std::string Enabled(const std::array<bool, kButtonCount>& on) {
    std::string s;
    for (bool b : on) {
        s += b ? '1' : '.';
    }
    return s;
}

TEST(ButtonStates, EachPlayStateAndSource) {
    struct Case {
        const char* what;
        ButtonContext c;
        const char* expected;  // slots 0..15
    };
    ButtonContext base;
    base.listSize = 3;
    base.currentIndex = 1;
    base.loaded = true;
    base.threeD = true;
    base.projection = 3;
    auto with = [&](auto change) {
        ButtonContext c = base;
        change(c);
        return c;
    };
    const std::vector<Case> cases = {
        {"empty list: only the source", with([](ButtonContext& c) { c.listSize = 0; }),
         "............1..."},
        {"closed in the middle", base, ".11..1111111111."},
        {"stopped in the middle",
         with([](ButtonContext& c) { c.playState = MovieState::kStopped; }), ".11..1111111111."},
        {"paused: to the start too",
         with([](ButtonContext& c) { c.playState = MovieState::kPaused; }), "111..1111111111."},
        {"playing at x4: no faster", with([](ButtonContext& c) {
             c.playState = MovieState::kPlaying;
             c.rateCode = 4;
         }),
         "1111.1111111111."},
        {"playing at -2: no slower", with([](ButtonContext& c) {
             c.playState = MovieState::kPlaying;
             c.rateCode = -2;
         }),
         "111.11111111111."},
        {"first of the list: no previous", with([](ButtonContext& c) { c.currentIndex = 0; }),
         "..1..1111111111."},
        {"last of the list: no next", with([](ButtonContext& c) { c.currentIndex = 2; }),
         ".11...111111111."},
        {"a file: no join, no delete",
         with([](ButtonContext& c) { c.sourceKind = SourceKind::kFile; }), ".11..11.11111.1."},
        {"no 3D: no mode, no flip; the map switch in layout 0", with([](ButtonContext& c) {
             c.threeD = false;
             c.projection = 2;
         }),
         ".11..1111..1111."},
        {"no 3D in layout 1: no reset either", with([](ButtonContext& c) {
             c.threeD = false;
             c.projection = 2;
             c.layout = 1;
         }),
         ".11..1111...111."},
        {"busy: nothing", with([](ButtonContext& c) { c.busy = true; }), "................"},
        {"CSV available", with([](ButtonContext& c) { c.csvAvailable = true; }),
         ".11..11111111111"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Enabled(ComputeButtonStates(c.c)), c.expected) << c.what;
    }
}

TEST(ButtonStates, PadFollowsTheProjection) {
    EXPECT_EQ(PadButtonStates(3, false), (std::array<bool, 5>{true, true, true, true, true}));
    EXPECT_EQ(PadButtonStates(4, false), (std::array<bool, 5>{false, true, true, false, false}));
    EXPECT_EQ(PadButtonStates(2, false), (std::array<bool, 5>{}));
    EXPECT_EQ(PadButtonStates(3, true), (std::array<bool, 5>{}));
}

TEST(EndMargin, FramesAtTheRecordersRateScaledToTheRecordings) {
    const float ntsc = 1000.0f / 29.97f;                 // 33.37 ms
    EXPECT_EQ(EndMarginFrames(1, ntsc), 20);             // 20 x 1000 / 29.1 / 33.37 = 20.6
    EXPECT_EQ(EndMarginFrames(2, ntsc), 41);             // 41.2
    EXPECT_EQ(EndMarginFrames(4, ntsc), 82);             // 82.4
    EXPECT_EQ(EndMarginFrames(-2, ntsc), 20);            // slow motion: the plain margin
    EXPECT_EQ(EndMarginFrames(1, 1000.0f / 60.0f), 41);  // twice the frames at 60 fps
    EXPECT_EQ(EndMarginFrames(1, 0.0f), 0);              // no rate known

    MarginContext c;
    c.loaded = true;
    c.playState = MovieState::kPlaying;
    c.frameCount = 900;
    c.frameDurationMs = ntsc;
    c.position = 879;
    EXPECT_FALSE(WithinEndMargin(c));
    c.position = 880;
    EXPECT_TRUE(WithinEndMargin(c));
    c.rateCode = 4;
    c.position = 818;
    EXPECT_TRUE(WithinEndMargin(c));
    c.position = 817;
    EXPECT_FALSE(WithinEndMargin(c));
    c.position = 899;
    for (MovieState s : {MovieState::kPaused, MovieState::kStopped, MovieState::kClosed}) {
        c.playState = s;
        EXPECT_FALSE(WithinEndMargin(c)) << static_cast<int>(s);
    }
    c.playState = MovieState::kPlaying;
    c.loaded = false;
    EXPECT_FALSE(WithinEndMargin(c));
    c.loaded = true;
    c.frameCount = 0;
    EXPECT_FALSE(WithinEndMargin(c));
}

}  // namespace
}  // namespace tavrilo
