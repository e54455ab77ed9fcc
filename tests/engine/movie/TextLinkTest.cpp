// Links in HTML text: a press on the linked words opens their address in their target
// through the movie's getURL hook; a press beside them, or on plain text, opens nothing.

#include "MovieFixture.h"
#include "engine/format/EditText.h"
#include "engine/movie/Mouse.h"
#include "tests/support/GuiApp.h"
#include "tests/support/TextWriter.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using namespace lanfan::test;

TEST(TextLink, PressingLinkedWordsOpensTheirAddress)
{
    ensureGuiApplication();
    EditTextDef field;
    field.bounds = {0, 4000, 0, 400};  // 200 x 20 px
    field.html = true;
    field.initialText = "<a href=\"http://example.com/\" target=\"_blank\">link</a> and plain words";
    test::SwfWriter writer;
    writer.tag(37, withId(1, encodeDefineEditText(field)));
    test::Place place;
    place.depth = 1;
    place.characterId = 1;
    place.matrix = Matrix{1, 0, 0, 1, 1000, 1000};
    writer.placeObject2(place);
    writer.showFrame();
    auto movie = load(writer);

    std::vector<std::pair<std::string, std::string>> opened;
    MovieHooks hooks;
    hooks.getUrl = [&](const std::string& url, const std::string& target) { opened.emplace_back(url, target); };
    TimelinePlayer player(*movie, hooks);
    ClipState root = player.makeRoot();
    player.step(root);

    struct Case {
        Point at;  // stage twips
        bool opens;
    } cases[] = {
        {{1000 + 100, 1000 + 200}, true},    // on "link", past the 2 px padding
        {{1000 + 20, 1000 + 200}, false},    // in the padding, before the text
        {{1000 + 2500, 1000 + 200}, false},  // on the plain words
        {{1000 + 3900, 1000 + 200}, false},  // past the text's end
        {{1000 + 100, 1000 + 2000}, false},  // below the field
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at.x);
        opened.clear();
        MouseInput mouse;
        mouse.move(root, player, c.at);
        mouse.press(root, player);
        mouse.release(root, player);
        if (c.opens) {
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0].first, "http://example.com/");
            EXPECT_EQ(opened[0].second, "_blank");
        } else {
            EXPECT_TRUE(opened.empty());
        }
    }
}

} // namespace
