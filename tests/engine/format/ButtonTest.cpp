#include "engine/format/Button.h"
#include "engine/format/Error.h"
#include "engine/format/Tags.h"
#include "tests/support/ButtonWriter.h"

#include <gtest/gtest.h>

namespace swf {
namespace {

using test::ActionBuilder;
using test::ButtonPart;
using test::ButtonScript;

constexpr int kButton = static_cast<int>(TagCode::DefineButton);
constexpr int kButton2 = static_cast<int>(TagCode::DefineButton2);

std::vector<ButtonPart> twoParts()
{
    ColorTransform half;
    half.aMul = 0.5f;
    half.rAdd = 10;
    return {
        {kButtonUp | kButtonHitTest, 3, 1, Matrix{1, 0, 0, 1, 200, 400}, {}},
        {kButtonOver | kButtonDown, 4, 2, Matrix{2, 0, 0, 2, 0, 0}, half},
    };
}

TEST(ButtonParse, DefineButton2RecordsAndConditionScripts)
{
    std::vector<ButtonScript> scripts;
    scripts.push_back({kOverUpToOverDown, 0, ActionBuilder().trace("press")});
    scripts.push_back({kOverDownToOverUp | kOverDownToIdle, 0, ActionBuilder().trace("release")});
    scripts.push_back({0, 13, ActionBuilder().trace("enter key")});
    auto body = test::defineButton2Body(9, twoParts(), scripts, true);
    ButtonDef button = parseDefineButton(kButton2, body);

    EXPECT_EQ(button.id, 9);
    EXPECT_TRUE(button.trackAsMenu);
    ASSERT_EQ(button.records.size(), 2u);
    EXPECT_EQ(button.records[0].states, kButtonUp | kButtonHitTest);
    EXPECT_EQ(button.records[0].characterId, 3);
    EXPECT_EQ(button.records[0].matrix.tx, 200);
    EXPECT_EQ(button.records[0].matrix.ty, 400);
    EXPECT_EQ(button.records[1].states, kButtonOver | kButtonDown);
    EXPECT_EQ(button.records[1].depth, 2);
    EXPECT_EQ(button.records[1].matrix.a, 2);
    EXPECT_NEAR(button.records[1].colorTransform.aMul, 0.5, 0.01);
    EXPECT_EQ(button.records[1].colorTransform.rAdd, 10);

    ASSERT_EQ(button.actions.size(), 3u);
    EXPECT_EQ(button.actions[0].conditions, kOverUpToOverDown);
    EXPECT_EQ(button.actions[1].conditions, kOverDownToOverUp | kOverDownToIdle);
    EXPECT_EQ(button.actions[2].conditions, 0);
    EXPECT_EQ(button.actions[2].keyCode, 13);
    // Each script is exactly its own code, closing End included.
    EXPECT_EQ(std::vector<uint8_t>(button.actions[0].code.begin(), button.actions[0].code.end()),
              ActionBuilder().trace("press").build());
    EXPECT_EQ(std::vector<uint8_t>(button.actions[2].code.begin(), button.actions[2].code.end()),
              ActionBuilder().trace("enter key").build());
}

TEST(ButtonParse, DefineButtonHasIdentityColoursAndOneReleaseScript)
{
    auto body = test::defineButtonBody(5, twoParts(), ActionBuilder().trace("clicked"));
    ButtonDef button = parseDefineButton(kButton, body);
    ASSERT_EQ(button.records.size(), 2u);
    EXPECT_TRUE(button.records[1].colorTransform.isIdentity());
    EXPECT_EQ(button.records[1].characterId, 4);
    ASSERT_EQ(button.actions.size(), 1u);
    EXPECT_EQ(button.actions[0].conditions, kOverDownToOverUp);
    EXPECT_EQ(std::vector<uint8_t>(button.actions[0].code.begin(), button.actions[0].code.end()),
              ActionBuilder().trace("clicked").build());
}

TEST(ButtonParse, Swf8RecordsWithFiltersAndBlendMode)
{
    test::BitWriter w;
    w.u16(1);
    w.u8(0);
    w.u16(0);  // no scripts
    w.u8(0x30 | kButtonUp);  // filter list and blend mode follow
    w.u16(2);
    w.u16(1);
    w.matrix({});
    w.colorTransform({}, true);
    w.u8(1);  // one blur filter: its kind, two blur sizes and the passes
    w.u8(1);
    for (int i = 0; i < 9; ++i)
        w.u8(0);
    w.u8(3);  // multiply
    w.u8(kButtonDown);
    w.u16(7);
    w.u16(2);
    w.matrix({});
    w.colorTransform({}, true);
    w.u8(0);
    ButtonDef button = parseDefineButton(kButton2, w.take());
    ASSERT_EQ(button.records.size(), 2u);
    EXPECT_EQ(button.records[0].blendMode, BlendMode::Multiply);
    EXPECT_EQ(button.records[1].characterId, 7);
    EXPECT_TRUE(button.actions.empty());
}

TEST(ButtonParse, DamagedInputEndsListsWithoutThrowing)
{
    std::vector<ButtonScript> scripts;
    scripts.push_back({kOverUpToOverDown, 0, ActionBuilder().trace("a")});
    scripts.push_back({kOverDownToOverUp, 0, ActionBuilder().trace("b")});
    auto whole = test::defineButton2Body(9, twoParts(), scripts);
    // Every truncation parses: records and scripts cut short end their lists.
    for (size_t size = 2; size < whole.size(); ++size) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        ButtonDef button;
        ASSERT_NO_THROW(button = parseDefineButton(kButton2, cut)) << size;
        EXPECT_LE(button.records.size(), 2u);
        for (const ButtonAction& action : button.actions)
            EXPECT_LE(action.code.data() + action.code.size(), cut.data() + cut.size());
    }
    // A script size pointing past the end, or too small to move on, ends the scripts.
    auto bad = whole;
    size_t firstScript = 3 + (bad[3] | (bad[4] << 8));
    bad[firstScript] = 0xff;
    bad[firstScript + 1] = 0xff;
    EXPECT_TRUE(parseDefineButton(kButton2, bad).actions.empty());
    bad[firstScript] = 2;
    bad[firstScript + 1] = 0;
    EXPECT_TRUE(parseDefineButton(kButton2, bad).actions.empty());
    // An unknown filter kind ends the records there.
    auto filtered = whole;
    filtered[5] |= 0x10;
    EXPECT_NO_THROW(parseDefineButton(kButton2, filtered));
    EXPECT_THROW(parseDefineButton(kButton2, std::vector<uint8_t>{1}), FormatError);
}

} // namespace
} // namespace swf
