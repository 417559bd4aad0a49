// Dragging by the title strip, docking at the edges, the slides out of view and
// back, and the monitor that starts them, on a 1920 x 1080 screen (28800 x
// 16200 twips) unless a case says otherwise.
#include "window/docking.h"
#include "window_fixture.h"

namespace tallyro::window {
namespace {

constexpr float kScreenW = 28800;
constexpr float kDockedHeight = 16200 - 450;

struct Drag {
    const char* name;
    float left, top, dx, dy;  // start and move, twips
    float endLeft, endTop, endHeight;
    const char* side;
};

class DragTest : public WindowTest, public ::testing::WithParamInterface<Drag> {};

TEST_P(DragTest, EachBranchEndsWhereItShould) {
    const Drag& d = GetParam();
    place(d.left, d.top);
    drag(d.dx, d.dy);
    EXPECT_FLOAT_EQ(win().left(), d.endLeft);
    EXPECT_FLOAT_EQ(win().top(), d.endTop);
    EXPECT_FLOAT_EQ(win().height(), d.endHeight);
    EXPECT_EQ(s().TempWindowPosition, d.side);
    EXPECT_EQ(s().TempDragFlag, app::kFalse);
}

INSTANTIATE_TEST_SUITE_P(
    Branches, DragTest,
    ::testing::Values(
        Drag{"Free", 3000, 3000, 600, -900, 3600, 2100, 8550, "中"},
        Drag{"LeftExactlyZeroDocks", 3000, 3000, -3000, 500, 0, 0, kDockedHeight, "左"},
        Drag{"FlushRightStaysFree", 3000, 3000, kScreenW - 3600 - 3000, 0, kScreenW - 3600, 3000,
             8550, "中"},
        Drag{"CrossingRightDocks", 3000, 3000, kScreenW - 3600 - 3000 + 1, 0, kScreenW - 3600, 0,
             kDockedHeight, "右"},
        Drag{"CornerDocksToTheSideNotTheTop", 3000, 3000, -4000, -4000, 0, 0, kDockedHeight, "左"},
        Drag{"TopDocksWithTheFreeHeight", 3000, 3000, 15, -3000, 3015, 0, 8550, "上"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, ADockedWindowComesFreeOnTheFirstMoveThatNoLongerCrossesItsEdge) {
    place(3000, 3000);
    drag(-3000, 0);
    ASSERT_EQ(s().TempWindowPosition, "左");
    drag(0, 4000);  // still on the edge: stays docked, pinned at the top
    EXPECT_FLOAT_EQ(win().top(), 0);
    drag(1, 4000);
    EXPECT_FLOAT_EQ(win().left(), 1);
    EXPECT_FLOAT_EQ(win().top(), 4000);
    EXPECT_FLOAT_EQ(win().height(), 8550);
    EXPECT_EQ(s().TempWindowPosition, "中");
    drag(30000, 0);
    ASSERT_EQ(s().TempWindowPosition, "右");
    drag(-1, 600);
    EXPECT_FLOAT_EQ(win().left(), kScreenW - 3600 - 1);
    EXPECT_EQ(s().TempWindowPosition, "中");
}

TEST_F(WindowTest, OnlyTheLeftButtonStartsADragAndAnyReleaseEndsIt) {
    place(3000, 3000);
    ui::Element& strip = el("FormTop_Left");
    app::Event down{&strip, app::EventKind::MouseDown};
    down.button = app::kButtonRight;
    form->dispatch(down);
    app::Event move{&strip, app::EventKind::MouseMove};
    move.x = 900;
    form->dispatch(move);
    EXPECT_FLOAT_EQ(win().left(), 3000);
    down.button = app::kButtonLeft;
    form->dispatch(down);
    app::Event up{&strip, app::EventKind::MouseUp};
    up.button = app::kButtonMiddle;
    form->dispatch(up);
    form->dispatch(move);
    EXPECT_FLOAT_EQ(win().left(), 3000);
}

struct SlideCase {
    const char* name;
    float width;
    int dragDx;                   // from left 3000, top 3000, to dock on a side
    float afterTen, afterEleven;  // Left, or Top for the top edge
    bool top;
};

class SlideTest : public WindowTest, public ::testing::WithParamInterface<SlideCase> {};

TEST_P(SlideTest, OutInElevenTicksAndBackFlush) {
    const SlideCase& c = GetParam();
    win().setWidth(c.width);
    place(3000, 3000);
    drag(static_cast<float>(c.dragDx), c.top ? -3000.0f : 0.0f);
    const float edge = c.top ? win().top() : win().left();
    const auto where = [&] { return c.top ? win().top() : win().left(); };
    pointAt(1919, 1079);  // outside: Timer3 starts the slide out
    EXPECT_FALSE(fake.clock.running(&el("Timer3")));
    for (int i = 0; i < 10; ++i)
        advance(10);
    EXPECT_FLOAT_EQ(where(), c.afterTen);
    advance(10);
    EXPECT_FLOAT_EQ(where(), c.afterEleven);
    EXPECT_EQ(s().TempWindowCtrl, "是");
    EXPECT_TRUE(fake.clock.running(&el("Timer3")));
    EXPECT_FALSE(fake.clock.running(&el("Timer1")));
    // Touch the strip: back in eleven ticks, flush with the edge.
    pointAt(c.top ? 300 : (c.afterEleven < 0 ? 2 : 1918), 2);
    for (int i = 0; i < 11; ++i)
        advance(10);
    EXPECT_FLOAT_EQ(where(), edge);
    EXPECT_EQ(s().TempWindowCtrl, "否");
}

INSTANTIATE_TEST_SUITE_P(
    Sides, SlideTest,
    ::testing::Values(
        SlideCase{"Left", 3600, -3000, -3600, -3525, false},
        SlideCase{"Right", 3600, 30000, kScreenW - 3600 + 3600, kScreenW - 3600 + 3525, false},
        SlideCase{"Top", 3600, 0, -8550, -8475, true},
        // A widened window keeps 6750 - 3600 + 75 twips on screen.
        SlideCase{"WideWindowRight", 6750, 30000, kScreenW - 6750 + 3600, kScreenW - 3225, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, AFreeWindowAtAnEdgeDocksOnlyOnceThePointerIsOnIt) {
    place(0, 0);  // a corner: left is tried first
    pointAt(1000, 1000);
    EXPECT_EQ(s().TempWindowPosition, "中");
    pointAt(10, 10);
    EXPECT_EQ(s().TempWindowPosition, "左");
    place(kScreenW - 3600, 0);
    s().TempWindowPosition = "中";
    pointAt(1900, 10);
    EXPECT_EQ(s().TempWindowPosition, "右");
    place(3000, 0);
    s().TempWindowPosition = "中";
    pointAt(300, 10);
    EXPECT_EQ(s().TempWindowPosition, "上");
}

TEST_F(WindowTest, BackButtonOnADockedWindowGivesTheFreeHeightAndKeepsItDocked) {
    place(3000, 3000);
    drag(-3000, 0);
    ASSERT_FLOAT_EQ(win().height(), kDockedHeight);
    click("LoginClose_Bot");
    EXPECT_FLOAT_EQ(win().height(), 8550);
    EXPECT_EQ(s().TempWindowPosition, "左");
}

TEST_F(WindowTest, AHiddenWindowNeitherDocksNorSlides) {
    place(0, 3000);
    click("Bot_Min");
    ASSERT_FALSE(win().visible());
    pointAt(10, 300);
    EXPECT_EQ(s().TempWindowPosition, "中");
    s().TempWindowPosition = "左";
    pointAt(1000, 300);
    EXPECT_FALSE(fake.clock.running(&el("Timer1")));
}

// The screen the window is on gives the edges; an edge another monitor adjoins
// is crossed, not docked at.
TEST_F(WindowTest, TwoScreensSideBySideShareNoEdge) {
    fake.screen.others = {{1920, 0, 3840, 1200}};
    place(24000, 3000);
    drag(4000, 0);  // over the inner edge: onto the second monitor, free
    EXPECT_FLOAT_EQ(win().left(), 28000);
    EXPECT_EQ(s().TempWindowPosition, "中");
    drag(40000, 0);  // beyond the second monitor's right edge: docks there
    EXPECT_FLOAT_EQ(win().left(), 57600 - 3600);
    EXPECT_FLOAT_EQ(win().height(), 1200 * 15 - 450);
    EXPECT_EQ(s().TempWindowPosition, "右");
    place(29000, 3000);
    s().TempWindowPosition = "中";
    drag(-2000, 0);  // back across the inner edge, free all the way
    EXPECT_FLOAT_EQ(win().left(), 27000);
    EXPECT_EQ(s().TempWindowPosition, "中");
    place(28800, 3000);  // exactly at the inner edge, pointer on it: no docking
    pointAt(1930, 300);
    EXPECT_EQ(s().TempWindowPosition, "中");
    // Below the screens the pointer counts on the nearest one: the first, whose
    // left edge is an edge.
    place(1500, 15000);
    drag(-1510, 2000);
    EXPECT_FLOAT_EQ(win().left(), 0);
    EXPECT_EQ(s().TempWindowPosition, "左");
}

TEST_F(WindowTest, AScreenAboveOpensTheTopEdgeOneOnlyTouchingACornerDoesNot) {
    fake.screen.others = {{-1920, -1080, 0, 0}};  // meets the top edge at a corner only
    place(3000, 3000);
    drag(0, -4000);
    EXPECT_FLOAT_EQ(win().top(), 0);
    EXPECT_EQ(s().TempWindowPosition, "上");
    fake.screen.others = {{0, -1080, 1920, 0}};  // right above
    place(3000, 3000);
    drag(0, -4000);
    EXPECT_FLOAT_EQ(win().top(), -1000);
    EXPECT_EQ(s().TempWindowPosition, "中");
}

TEST_F(WindowTest, TrayRestoresToTheEdgeOfTheMonitorTheWindowHidesOn) {
    fake.screen.others = {{1920, 0, 3840, 1080}};
    place(50000, 3000);
    drag(10000, 0);
    ASSERT_EQ(s().TempWindowPosition, "右");
    pointAt(2500, 900);
    for (int i = 0; i < 11; ++i)
        advance(10);
    ASSERT_FLOAT_EQ(win().left(), 57600 - 75);
    trayClick(app::kButtonLeft);
    EXPECT_FLOAT_EQ(win().left(), 57600 - 3600);
}

TEST_F(WindowTest, AMoveFromOutsideIsWhereTheWindowIsAndFreesIt) {
    place(0, 0);
    drag(-10, 0);
    ASSERT_EQ(s().TempWindowPosition, "左");
    app::Event moved{&win(), app::EventKind::Moved};
    moved.x = 4500;
    moved.y = 1500;
    form->dispatch(moved);
    EXPECT_FLOAT_EQ(win().left(), 4500);
    EXPECT_FLOAT_EQ(win().top(), 1500);
    EXPECT_EQ(s().TempWindowPosition, "中");
    // Reports that come while a slide moves the window are its own moves.
    place(0, 0);
    s().TempWindowPosition = "左";
    pointAt(1000, 1000);
    ASSERT_TRUE(fake.clock.running(&el("Timer1")));
    moved.x = 0;
    moved.y = 0;
    advance(10);
    form->dispatch(moved);
    EXPECT_FLOAT_EQ(win().left(), -360);
}

}  // namespace
}  // namespace tallyro::window
