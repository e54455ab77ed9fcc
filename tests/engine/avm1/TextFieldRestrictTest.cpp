// The restrict setting of input fields: which characters typing may enter, with
// ranges, exclusions after "^", backslash escapes, and the other case taken where only
// it is allowed.

#include "engine/avm1/TextFieldObject.h"

#include <gtest/gtest.h>

namespace swf::avm1 {
namespace {

TEST(TextFieldRestrict, CharactersRangesExclusionsAndEscapes)
{
    struct Case {
        std::u32string_view restrict;
        std::u32string_view allowed, refused;
    } cases[] = {
        {U"abc", U"abc", U"dA1 "},
        {U"a-z", U"amz", U"A0-"},
        {U"0-9.", U"05.", U"a,"},
        {U"^0-9", U"a Z.", U"059"},                   // a leading ^: all but these
        {U"a-z^q", U"apz", U"qA"},                    // a range with a hole
        {U"^a-z^m", U"m0", U"az"},                    // the second ^ takes some back
        {U"\\-\\^\\\\", U"-^\\", U"a"},               // escaped -, ^ and backslash
        {U"a\\-z", U"a-z", U"b"},                     // an escaped - is no range
        {U"\u4e00-\u9fff", U"\u4e2d\u6587", U"a"},  // CJK ideographs
        {U"", U"", U"a"},
    };
    for (const Case& c : cases) {
        for (char32_t ch : c.allowed)
            EXPECT_TRUE(restrictAllows(c.restrict, ch)) << "char " << static_cast<uint32_t>(ch);
        for (char32_t ch : c.refused)
            EXPECT_FALSE(restrictAllows(c.restrict, ch)) << "char " << static_cast<uint32_t>(ch);
    }
}

TEST(TextFieldRestrict, TheOtherCaseIsTakenWhereOnlyItIsAllowed)
{
    EXPECT_EQ(restrictedCharacter(U"A-Z", U'q'), U'Q');
    EXPECT_EQ(restrictedCharacter(U"a-z", U'Q'), U'q');
    EXPECT_EQ(restrictedCharacter(U"a-zA-Z", U'Q'), U'Q');
    EXPECT_EQ(restrictedCharacter(U"0-9", U'q'), char32_t(0));
    EXPECT_EQ(restrictedCharacter(U"^a", U'A'), U'A');
    EXPECT_EQ(restrictedCharacter(U"^aA", U'a'), char32_t(0));
}

} // namespace
} // namespace swf::avm1
