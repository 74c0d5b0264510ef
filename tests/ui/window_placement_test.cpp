#include <gtest/gtest.h>

#include "app/window_placement.h"

namespace zorvan {
namespace {

const ScreenRect kWorkArea{0, 0, 1920, 1040};

TEST(WindowPlacement, PosIsSplitAtCommasSkippingEmptyPieces) {
    EXPECT_EQ(ParsePos("10,20,730,542"), (ScreenRect{10, 20, 730, 542}));
    EXPECT_EQ(ParsePos(",,10,,20, 30 ,40x,99"), (ScreenRect{10, 20, 30, 40}));
    EXPECT_EQ(ParsePos("5,6"), (ScreenRect{5, 6, 0, 0}));
    EXPECT_EQ(ParsePos("-100,abc,300,400"), (ScreenRect{-100, 0, 300, 400}));
    EXPECT_EQ(FormatPos({-8, -8, 1928, 1048}), "-8,-8,1928,1048");
}

TEST(WindowPlacement, ValidRectangleIsRestoredOthersCentre) {
    EXPECT_EQ(PlacementFromPos("100,50,900,650", kWorkArea), (ScreenRect{100, 50, 900, 650}));
    // Partly off screen still counts: it meets the work area.
    EXPECT_EQ(PlacementFromPos("-300,10,420,600", kWorkArea), (ScreenRect{-300, 10, 420, 600}));
    for (const char* pos : {"", "0,0,0,0", "900,100,100,700", "3000,100,3800,700", "100,-900,800,-1"}) {
        EXPECT_FALSE(PlacementFromPos(pos, kWorkArea)) << pos;
    }
}

}  // namespace
}  // namespace zorvan
