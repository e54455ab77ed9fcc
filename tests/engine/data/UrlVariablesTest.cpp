#include "engine/data/UrlVariables.h"

#include <gtest/gtest.h>

using namespace swf::data;

TEST(UrlVariables, DecodesPairsInOrderWithPlusAndPercentEscapes)
{
    const UrlVariables v = decodeUrlVariables("name=J%C3%BCrgen+M&&empty=&flag&bad=%zz%4&x=1=2");
    const UrlVariables expected = {
        {"name", "J\xC3\xBCrgen M"}, {"empty", ""}, {"flag", ""}, {"bad", "%zz%4"}, {"x", "1=2"},
    };
    EXPECT_EQ(v, expected);
    EXPECT_TRUE(decodeUrlVariables("").empty());
}

TEST(UrlVariables, EncodesAllButLettersAndDigitsAndRoundTrips)
{
    EXPECT_EQ(urlEncode("a b+c/\xE4"), "a%20b%2Bc%2F%E4");
    const UrlVariables v = {{"k y", "v&=%"}, {"n", "\xE4\xB8\xAD"}};
    EXPECT_EQ(encodeUrlVariables(v), "k%20y=v%26%3D%25&n=%E4%B8%AD");
    EXPECT_EQ(decodeUrlVariables(encodeUrlVariables(v)), v);
}
