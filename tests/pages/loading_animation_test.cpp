// The loading dots, frame by frame, against the sweep as it is drawn.
#include "pages/loading_animation.h"
#include "client_fixture.h"

namespace tallyro::window {
namespace {

using Frame = std::array<int, 8>;

TEST(LoadingFrameTest, RightwardSweepFrameByFrame) {
    const Frame expected[12] = {
        {1004, 1000, 1000, 1000, 1000, 1000, 1000, 1000},
        {1003, 1004, 1000, 1000, 1000, 1000, 1000, 1000},
        {1002, 1003, 1004, 1000, 1000, 1000, 1000, 1000},
        {1001, 1002, 1003, 1004, 1000, 1000, 1000, 1000},
        {1000, 1001, 1002, 1003, 1004, 1000, 1000, 1000},
        {1000, 1000, 1001, 1002, 1003, 1004, 1000, 1000},
        {1000, 1000, 1000, 1001, 1002, 1003, 1004, 1000},
        {1000, 1000, 1000, 1000, 1001, 1002, 1003, 1004},
        {1000, 1000, 1000, 1000, 1000, 1001, 1002, 1003},
        {1000, 1000, 1000, 1000, 1000, 1000, 1002, 1003},
        {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1003},
        {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000},
    };
    for (int t = 1; t <= 12; ++t)
        EXPECT_EQ(loadingFrame(t, true), expected[t - 1]) << "frame " << t;
}

TEST(LoadingFrameTest, LeftwardSweepMirrorsTheRightward) {
    for (int t = 1; t <= 12; ++t) {
        Frame mirrored = loadingFrame(t, true);
        std::reverse(mirrored.begin(), mirrored.end());
        EXPECT_EQ(loadingFrame(t, false), mirrored) << "frame " << t;
    }
}

class LoadingAnimationTest : public test::ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    Frame dots() {
        Frame out{};
        for (std::int16_t i = 1; i <= 8; ++i)
            out[static_cast<std::size_t>(i - 1)] = el("Pic_Load", i).picture();
        return out;
    }
};

TEST_F(LoadingAnimationTest, SweepsRightThenLeftEvery60Milliseconds) {
    form->pages().ShowPage("LoadingPage");
    advance(60);
    EXPECT_EQ(dots(), loadingFrame(1, true));
    advance(11 * 60);
    EXPECT_EQ(dots(), loadingFrame(12, true));
    EXPECT_EQ(state().TempPlayFx, "左");
    EXPECT_EQ(state().TempPlayNum, 0);
    advance(60);  // frame 13, the first of the leftward sweep, lights dot 8 only
    EXPECT_EQ(dots(), (Frame{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1004}));
}

TEST_F(LoadingAnimationTest, StoppedAnimationKeepsItsLastFrameAndRestartsFromDotOne) {
    typeText("UserName_Txt", "u");
    click("Login_Bot");
    advance(5 * 60);
    fake.udp.arrive("Err|Password");
    const Frame last = dots();
    advance(600);
    EXPECT_EQ(dots(), last);
    click("LoginClose_Bot");
    click("Login_Bot");
    advance(60);
    EXPECT_EQ(dots(), loadingFrame(1, true));
}

}  // namespace
}  // namespace tallyro::window
