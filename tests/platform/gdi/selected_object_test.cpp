// The selection guard: what it selects, what it selects back, and when it leaves the DC alone.

#include "platform/gdi/selected_object.h"
#include "tests/support/pixel_picture.h"

#include <stdexcept>

#include <gtest/gtest.h>

namespace gdi::test {
namespace {

using namespace vex::test;

class SelectedObjectTest : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = LiveObjectCount(); }
    void TearDown() override { EXPECT_EQ(LiveObjectCount(), baseline_) << "a test leaked"; }

    // The pen the DC has now, found by swapping it out and back.
    static HGDIOBJ CurrentPen(HDC hdc, HPEN probe) {
        const HGDIOBJ current = SelectObject(hdc, probe);
        SelectObject(hdc, current);
        return current;
    }

    int baseline_ = 0;
};

TEST_F(SelectedObjectTest, SelectsForTheScopeThenSelectsThePreviousBack) {
    Canvas canvas(4, 1);
    const HPEN red = CreatePen(PS_SOLID, 1, kRed);
    const HPEN probe = CreatePen(PS_SOLID, 1, kBlue);
    const HGDIOBJ stock = CurrentPen(canvas.dc(), probe);
    {
        const SelectedObject selected(canvas.dc(), red);
        EXPECT_EQ(selected.Previous(), stock);
        EXPECT_EQ(CurrentPen(canvas.dc(), probe), red);
        EXPECT_FALSE(DeleteObject(red)) << "a selected pen must not be deletable";
        MoveToEx(canvas.dc(), 0, 0, nullptr);
        LineTo(canvas.dc(), 2, 0);
    }
    EXPECT_EQ(CurrentPen(canvas.dc(), probe), stock);
    EXPECT_TRUE(DeleteObject(red)) << "selected back, so the pen can go";
    LineTo(canvas.dc(), 4, 0);
    EXPECT_EQ(canvas.Picture({{kRed, 'r'}, {kBlack, 'k'}}), "\nrrkk");
    DeleteObject(probe);
}

TEST_F(SelectedObjectTest, SelectsBackWhenTheScopeIsLeftByAnException) {
    Canvas canvas(1, 1);
    const HBRUSH brush = CreateSolidBrush(kRed);
    const HPEN probe = CreatePen(PS_SOLID, 1, kBlue);
    const HGDIOBJ before = CurrentPen(canvas.dc(), probe);
    const HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    try {
        const SelectedObject penSelected(canvas.dc(), pen);
        const SelectedObject brushSelected(canvas.dc(), brush);
        throw std::runtime_error("a step failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(CurrentPen(canvas.dc(), probe), before);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
    DeleteObject(probe);
}

TEST_F(SelectedObjectTest, AFailedSelectionSelectsNothingBack) {
    Canvas canvas(1, 1);
    const HPEN red = CreatePen(PS_SOLID, 1, kRed);
    const HPEN probe = CreatePen(PS_SOLID, 1, kBlue);
    const HPEN deleted = CreatePen(PS_SOLID, 1, kBlue);
    DeleteObject(deleted);
    const HGDIOBJ stock = SelectObject(canvas.dc(), red);
    {
        const SelectedObject badObject(canvas.dc(), deleted);
        EXPECT_EQ(badObject.Previous(), 0);
        const SelectedObject badDc(0, probe);
        EXPECT_EQ(badDc.Previous(), 0);
    }
    EXPECT_EQ(CurrentPen(canvas.dc(), probe), red) << "the DC keeps the pen it had";
    SelectObject(canvas.dc(), stock);
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_TRUE(DeleteObject(probe)) << "the probe was never left selected";
}

} // namespace
} // namespace gdi::test
