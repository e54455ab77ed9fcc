#include "tests/toolkit/ToolkitFixture.h"

#include "toolkit/ScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

using namespace lanfan;

namespace {

class ScrollBarTest : public test::ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        parent = std::make_unique<QWidget>();
        bar = new TScrollBar(parent.get());
        bar->SetBounds(0, 0, 313, 17);
        bar->setEnabled(false);
        bar->OnChange = [this](TControl*) { ++changes; };
        bar->OnScroll = [this](TControl*, TScrollCode code, int& pos) {
            calls.push_back({code, pos, bar->Position()});
            if (failOn == code)
                throw EInvalidOperation(QStringLiteral("boom"));
            if (replaceWith)
                pos = *replaceWith;
        };
    }

    struct Call {
        TScrollCode code;
        int proposed;
        int storedDuringCall;
    };
    std::unique_ptr<QWidget> parent;
    TScrollBar* bar = nullptr;
    std::vector<Call> calls;
    int changes = 0;
    std::optional<TScrollCode> failOn;
    std::optional<int> replaceWith;
};

TEST_F(ScrollBarTest, ValueRulesClampStoreAndEnable)
{
    // The first open of a movie: position 0 in 0..100 is clamped to the new minimum 1,
    // which moves the thumb and enables the bar.
    bar->SetMin(1);
    EXPECT_EQ(bar->Min(), 1);
    EXPECT_EQ(bar->Max(), 100);
    EXPECT_EQ(bar->Position(), 1);
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(bar->value(), 1);

    bar->SetMax(240);
    bar->SetPosition(120);
    EXPECT_EQ(changes, 2);
    // A shorter movie: the position beyond the new last frame becomes the maximum.
    bar->SetMax(50);
    EXPECT_EQ(bar->Position(), 50);
    EXPECT_EQ(bar->maximum(), 50);
    EXPECT_EQ(changes, 3);

    // Out of range both ways is clamped; values set by the program never scroll.
    bar->SetPosition(-7);
    EXPECT_EQ(bar->Position(), 1);
    bar->SetPosition(1000);
    EXPECT_EQ(bar->Position(), 50);
    EXPECT_TRUE(calls.empty());
}

TEST_F(ScrollBarTest, UnchangedPositionLeavesEnabledStateAndRaisesNothing)
{
    bar->SetParams(0, 0, 100);
    EXPECT_FALSE(bar->isEnabled());
    EXPECT_EQ(changes, 0);
    // Only the range changes: the bar stays disabled.
    bar->SetParams(0, 0, 10);
    EXPECT_FALSE(bar->isEnabled());
    EXPECT_EQ(changes, 0);
}

TEST_F(ScrollBarTest, MaximumBelowMinimumOrPageSizeFailsAndChangesNothing)
{
    bar->SetMin(1);
    int before = changes;
    try {
        bar->SetMax(0);
        FAIL() << "expected an error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Scrollbar property out of range"));
        EXPECT_EQ(e.className(), QStringLiteral("EInvalidOperation"));
    }
    EXPECT_EQ(bar->Min(), 1);
    EXPECT_EQ(bar->Max(), 100);
    EXPECT_EQ(bar->Position(), 1);
    EXPECT_EQ(changes, before);

    bar->SetPageSize(10);
    EXPECT_THROW(bar->SetParams(5, 1, 9), EInvalidOperation);
    EXPECT_EQ(bar->Max(), 100);
}

TEST_F(ScrollBarTest, ScrollCodesProposePositionsByTheTable)
{
    bar->SetParams(10, 1, 240);
    struct Case {
        TScrollCode code;
        int track;
        int proposed;
    } cases[] = {
        {scLineUp, 0, 9},   {scLineDown, 0, 11}, {scPageUp, 0, 9},    {scPageDown, 0, 11},
        {scPosition, 77, 77}, {scTrack, 300, 240}, {scTop, 0, 1}, {scBottom, 0, 240}, {scEndScroll, 0, 10},
    };
    for (const Case& c : cases) {
        bar->SetPosition(10);
        calls.clear();
        bar->Scroll(c.code, c.track);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].code, c.code);
        EXPECT_EQ(calls[0].proposed, c.proposed) << "code " << c.code;
        // The handler sees the old position; the proposed one is stored afterwards.
        EXPECT_EQ(calls[0].storedDuringCall, 10);
        EXPECT_EQ(bar->Position(), c.proposed);
    }
}

TEST_F(ScrollBarTest, HandlerMayReplaceThePositionAndAFailureStoresNothing)
{
    bar->SetParams(10, 1, 240);
    replaceWith = 200;
    bar->Scroll(scLineDown);
    EXPECT_EQ(bar->Position(), 200);

    replaceWith.reset();
    failOn = scLineDown;
    bar->Scroll(scLineDown);
    EXPECT_EQ(bar->Position(), 200);
    EXPECT_EQ(bar->value(), 200);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("boom."));
}

TEST_F(ScrollBarTest, OneClickOnTheRightArrowEndsWithEndScroll)
{
    bar->SetParams(10, 1, 240);
    parent->resize(313, 17);
    parent->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(parent.get()));
    // The right arrow lies at the right end of the horizontal bar.
    QTest::qWait(0);
    QPoint arrow = bar->lineDownArrowRect().center();
    QTest::mousePress(bar, Qt::LeftButton, {}, arrow);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, arrow);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front().code, scLineDown);
    EXPECT_EQ(calls.front().storedDuringCall, 10);
    EXPECT_EQ(calls.back().code, scEndScroll);
    EXPECT_EQ(calls.back().storedDuringCall, 11);
    EXPECT_EQ(bar->Position(), 11);
}

TEST_F(ScrollBarTest, DraggingTheThumbTracksThenPositionsThenEnds)
{
    bar->SetParams(1, 1, 100);
    parent->resize(313, 17);
    parent->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(parent.get()));
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.pageStep = bar->pageStep();
    option.singleStep = bar->singleStep();
    QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
    QPoint from = thumb.center();
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    QTest::mouseMove(bar, from + QPoint(60, 0));
    QTest::mouseMove(bar, from + QPoint(120, 0));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, from + QPoint(120, 0));
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].code, scTrack);
    EXPECT_EQ(calls[0].storedDuringCall, 1);
    EXPECT_GT(calls[0].proposed, 1);
    EXPECT_EQ(calls[calls.size() - 2].code, scPosition);
    EXPECT_EQ(calls.back().code, scEndScroll);
    // The last tracking position is where the bar ends up, and the closing notification
    // proposes it unchanged.
    EXPECT_EQ(calls.back().proposed, calls[calls.size() - 2].proposed);
    EXPECT_EQ(bar->Position(), calls.back().proposed);
    EXPECT_GT(bar->Position(), calls[0].proposed);
}

TEST_F(ScrollBarTest, KeysScrollAndEndWithEndScroll)
{
    bar->SetParams(10, 1, 240);
    bar->setFocusPolicy(Qt::StrongFocus);
    QTest::keyClick(bar, Qt::Key_End);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].code, scBottom);
    EXPECT_EQ(calls[1].code, scEndScroll);
    EXPECT_EQ(bar->Position(), 240);
}

} // namespace
