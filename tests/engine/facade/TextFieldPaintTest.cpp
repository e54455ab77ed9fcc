// What a script changes on a text field is what the player paints.

#include "engine/Player.h"
#include "engine/format/EditText.h"
#include "tests/support/SwfWriter.h"
#include "tests/support/TextWriter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace swf {
namespace {

// A 200 x 100 px stage with an empty, borderless field at 20..120, 20..70 px, and a
// frame script `script`.
QImage paintAfter(const test::ActionBuilder& script)
{
    EditTextDef field;
    field.bounds = {400, 2400, 400, 1400};
    test::MovieOptions options;
    options.stage = {0, 200 * 20, 0, 100 * 20};
    test::SwfWriter movie(options);
    movie.setBackgroundColor({255, 255, 255, 255});
    movie.tag(37, lanfan::test::withId(1, lanfan::test::encodeDefineEditText(field)));
    test::Place place;
    place.characterId = 1;
    place.name = "field";
    movie.placeObject2(place);
    movie.doAction(script).showFrame();

    Player player;
    player.loadBytes(movie.build());
    player.advance();
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    player.paint(painter, QRectF(0, 0, 200, 100), ScaleMode::ShowAll, RenderQuality::High);
    painter.end();
    return image;
}

void set(test::ActionBuilder& a, std::string_view member, bool value)
{
    a.getVariable("field").pushString(member).pushBool(value).op(0x4F);
}

void set(test::ActionBuilder& a, std::string_view member, double value)
{
    a.getVariable("field").pushString(member).pushNumber(value).op(0x4F);
}

TEST(TextFieldPaint, BorderAndBackgroundAppearInTheColoursAScriptSets)
{
    const QImage untouched = paintAfter({});
    EXPECT_EQ(untouched.pixel(20, 40), qRgb(255, 255, 255));
    EXPECT_EQ(untouched.pixel(70, 45), qRgb(255, 255, 255));

    test::ActionBuilder a;
    set(a, "border", true);
    set(a, "borderColor", double(0xFF0000));
    set(a, "background", true);
    set(a, "backgroundColor", double(0x00FF00));
    const QImage changed = paintAfter(a);
    EXPECT_EQ(changed.pixel(20, 40), qRgb(255, 0, 0));   // left edge
    EXPECT_EQ(changed.pixel(70, 20), qRgb(255, 0, 0));   // top edge
    EXPECT_EQ(changed.pixel(70, 45), qRgb(0, 255, 0));   // inside
    EXPECT_EQ(changed.pixel(150, 45), qRgb(255, 255, 255));  // outside the box

    // Hidden again, the box goes.
    test::ActionBuilder b = a;
    set(b, "border", false);
    set(b, "background", false);
    const QImage hidden = paintAfter(b);
    EXPECT_EQ(hidden.pixel(20, 40), qRgb(255, 255, 255));
    EXPECT_EQ(hidden.pixel(70, 45), qRgb(255, 255, 255));
}

} // namespace
} // namespace swf
