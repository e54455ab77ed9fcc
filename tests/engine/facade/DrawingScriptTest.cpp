// What frame scripts draw with the MovieClip drawing methods is what the player paints,
// and what _width, duplicateMovieClip and a runaway drawing loop make of it.

#include "engine/Player.h"
#include "tests/support/SwfWriter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace swf {
namespace {

using test::ActionBuilder;

namespace Op {
constexpr uint8_t Pop = 0x17, Trace = 0x26, Add2 = 0x47, Less2 = 0x48, GetMember = 0x4E, SetMember = 0x4F,
                  CallMethod = 0x52, InitArray = 0x42, InitObject = 0x43;
}

using Push = std::function<void(ActionBuilder&)>;

Push num(double v)
{
    return [v](ActionBuilder& a) { a.pushNumber(v); };
}

Push str(std::string v)
{
    return [v](ActionBuilder& a) { a.pushString(v); };
}

Push array(std::vector<double> values)
{
    return [values](ActionBuilder& a) {
        for (auto it = values.rbegin(); it != values.rend(); ++it)
            a.pushNumber(*it);
        a.pushInt(static_cast<int32_t>(values.size())).op(Op::InitArray);
    };
}

Push object(std::vector<std::pair<std::string, Push>> members)
{
    return [members](ActionBuilder& a) {
        for (const auto& [name, value] : members) {
            a.pushString(name);
            value(a);
        }
        a.pushInt(static_cast<int32_t>(members.size())).op(Op::InitObject);
    };
}

// `target.method(args...)`, its result dropped.
void call(ActionBuilder& a, std::string_view target, std::string_view method, std::vector<Push> args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        (*it)(a);
    a.pushInt(static_cast<int32_t>(args.size())).getVariable(target).pushString(method).op(Op::CallMethod).op(Op::Pop);
}

void set(ActionBuilder& a, std::string_view target, std::string_view member, double value)
{
    a.getVariable(target).pushString(member).pushNumber(value).op(Op::SetMember);
}

void traceMember(ActionBuilder& a, std::string_view target, std::string_view member)
{
    a.getVariable(target).pushString(member).op(Op::GetMember).op(Op::Trace);
}

// A clip "mc" made by the script at depth 1, before `body`.
ActionBuilder withClip()
{
    ActionBuilder a;
    call(a, "_root", "createEmptyMovieClip", {str("mc"), num(1)});
    return a;
}

void square(ActionBuilder& a, std::string_view target, double x0, double y0, double x1, double y1)
{
    call(a, target, "moveTo", {num(x0), num(y0)});
    call(a, target, "lineTo", {num(x1), num(y0)});
    call(a, target, "lineTo", {num(x1), num(y1)});
    call(a, target, "lineTo", {num(x0), num(y1)});
}

struct Played {
    std::vector<std::string> lines;
    QImage image;
};

// A 200 x 100 px white stage running `script` in frame 1, then `more` in each of
// `moreFrames` frames; painted after the last.
Played run(const ActionBuilder& script, const ActionBuilder& more = {}, int moreFrames = 0)
{
    test::MovieOptions options;
    options.stage = {0, 200 * 20, 0, 100 * 20};
    test::SwfWriter movie(options);
    movie.setBackgroundColor({255, 255, 255, 255});
    movie.doAction(script).showFrame();
    for (int i = 0; i < moreFrames; ++i)
        movie.doAction(more).showFrame();

    Played out;
    Player player;
    player.loadBytes(movie.build());
    player.setTraceSink([&out](const std::string& line) { out.lines.push_back(line); });
    for (int i = 0; i <= moreFrames; ++i)
        player.advance();
    out.image = QImage(200, 100, QImage::Format_ARGB32_Premultiplied);
    out.image.fill(Qt::black);
    QPainter painter(&out.image);
    player.paint(painter, QRectF(0, 0, 200, 100), ScaleMode::ShowAll, RenderQuality::High);
    return out;
}

TEST(DrawingScript, FilledSquareAppearsWhereTheClipIsAndCountsInItsWidth)
{
    ActionBuilder a = withClip();
    set(a, "mc", "_x", 50);
    call(a, "mc", "lineStyle", {num(4), num(0x0000FF), num(100)});
    call(a, "mc", "beginFill", {num(0xFF0000), num(50)});
    square(a, "mc", 0, 0, 40, 40);
    call(a, "mc", "endFill", {});
    traceMember(a, "mc", "_width");
    traceMember(a, "mc", "_height");
    const Played r = run(a);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"48", "48"})) << "the whole line width on each side";
    EXPECT_EQ(r.image.pixel(20, 20), qRgb(255, 255, 255));
    const QColor half = QColor::fromRgb(r.image.pixel(70, 20));
    EXPECT_EQ(half.red(), 255) << "red at 50% over white";
    EXPECT_NEAR(half.green(), 127, 2);
    EXPECT_NEAR(half.blue(), 127, 2);
    EXPECT_EQ(r.image.pixel(90, 20), qRgb(0, 0, 255));
    EXPECT_EQ(r.image.pixel(70, 60), qRgb(255, 255, 255));
}

// Near the ends of a red-to-blue ramp.
bool reddish(QRgb c)
{
    return qRed(c) > 240 && qBlue(c) < 15 && qGreen(c) == 0;
}

bool bluish(QRgb c)
{
    return qBlue(c) > 240 && qRed(c) < 15 && qGreen(c) == 0;
}

TEST(DrawingScript, GradientFillFollowsItsBoxAndPlainMatrixForms)
{
    auto gradient = [](Push matrix) {
        ActionBuilder a = withClip();
        call(a, "mc", "beginGradientFill",
             {str("linear"), array({0xFF0000, 0x0000FF}), array({100, 100}), array({0, 255}), std::move(matrix)});
        square(a, "mc", 0, 0, 200, 100);
        call(a, "mc", "endFill", {});
        return run(a).image;
    };
    // Left to right over x = 0..100: red before, blue after.
    const QImage box = gradient(object({{"matrixType", str("box")}, {"x", num(0)}, {"y", num(0)}, {"w", num(100)},
                                        {"h", num(100)}, {"r", num(0)}}));
    EXPECT_TRUE(reddish(box.pixel(2, 50)));
    EXPECT_EQ(box.pixel(150, 50), qRgb(0, 0, 255));
    const QColor middle = QColor::fromRgb(box.pixel(50, 50));
    EXPECT_NEAR(middle.red(), 128, 8);
    EXPECT_NEAR(middle.blue(), 128, 8);

    // Turned a quarter, the same box runs top to bottom.
    const QImage turned = gradient(object({{"matrixType", str("box")}, {"x", num(0)}, {"y", num(0)}, {"w", num(100)},
                                           {"h", num(100)}, {"r", num(3.14159265358979 / 2)}}));
    EXPECT_TRUE(reddish(turned.pixel(50, 2)));
    EXPECT_TRUE(bluish(turned.pixel(50, 97)));
    EXPECT_TRUE(reddish(turned.pixel(150, 2)));

    // The gradient square (1638.4 px across) scaled to 100 px, centred at x = 50.
    const QImage plain = gradient(object({{"a", num(100 / 1638.4)}, {"b", num(0)}, {"c", num(0)},
                                          {"d", num(100 / 1638.4)}, {"tx", num(50)}, {"ty", num(50)}}));
    EXPECT_TRUE(reddish(plain.pixel(2, 50)));
    EXPECT_EQ(plain.pixel(150, 50), qRgb(0, 0, 255));

    // Arrays of different lengths draw no fill.
    ActionBuilder bad = withClip();
    call(bad, "mc", "beginGradientFill",
         {str("linear"), array({0xFF0000, 0x0000FF}), array({100}), array({0, 255}), object({})});
    square(bad, "mc", 0, 0, 200, 100);
    call(bad, "mc", "endFill", {});
    EXPECT_EQ(run(bad).image.pixel(100, 50), qRgb(255, 255, 255));
}

TEST(DrawingScript, FocalPointIsHeldInWhole256thsCutTowardsZero)
{
    // A repeated focal gradient's rings move far for a small change of focus on the
    // focus's side, so pictures drawn with nearby focal points tell them apart.
    auto focal = [](double point) {
        ActionBuilder a = withClip();
        call(a, "mc", "beginGradientFill",
             {str("radial"), array({0xFF0000, 0x0000FF}), array({100, 100}), array({0, 255}),
              object({{"matrixType", str("box")}, {"x", num(0)}, {"y", num(0)}, {"w", num(40)}, {"h", num(40)},
                      {"r", num(0)}}),
              str("repeat"), str("RGB"), num(point)});
        square(a, "mc", 0, 0, 200, 40);
        call(a, "mc", "endFill", {});
        return run(a).image;
    };
    for (double point : {0.8, -0.8, 0.3}) {
        const double below = std::trunc(point * 256) / 256;
        const double beyond = below + (point > 0 ? 1.0 : -1.0) / 256;
        const QImage asked = focal(point);
        EXPECT_EQ(asked, focal(below)) << point;
        EXPECT_NE(asked, focal(beyond)) << point;
    }
}

TEST(DrawingScript, DuplicatesStartWithTheOriginalsDrawingAndClearEmptiesIt)
{
    ActionBuilder a = withClip();
    call(a, "mc", "beginFill", {num(0x00FF00)});
    square(a, "mc", 0, 0, 30, 30);
    call(a, "mc", "endFill", {});
    call(a, "mc", "duplicateMovieClip", {str("copy"), num(2)});
    set(a, "copy", "_x", 100);
    call(a, "copy", "beginFill", {num(0x0000FF)});
    square(a, "copy", 50, 0, 60, 10);
    traceMember(a, "copy", "_width");
    call(a, "mc", "clear", {});
    traceMember(a, "mc", "_width");
    const Played r = run(a);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"60", "0"}));
    EXPECT_EQ(r.image.pixel(15, 15), qRgb(255, 255, 255)) << "cleared";
    EXPECT_EQ(r.image.pixel(115, 15), qRgb(0, 255, 0)) << "the copy's own drawing";
    EXPECT_EQ(r.image.pixel(155, 5), qRgb(0, 0, 255)) << "an open fill is shown closed";
}

TEST(DrawingScript, RunawayDrawingLoopEndsAtTheCommandCap)
{
    // In each of 12 frames: for (i = 0; i < 10000; i++) mc.lineTo(i % 200, 50);
    // 120000 lines in all, past the cap; the script budget of a frame allows 10000.
    ActionBuilder a = withClip();
    call(a, "mc", "lineStyle", {num(1), num(0)});
    ActionBuilder loop;
    loop.pushNumber(0).storeRegister(1).op(Op::Pop);
    ActionBuilder body;
    body.pushNumber(50).pushRegister(1).pushNumber(200).op(0x3F /* Modulo */).pushInt(2).getVariable("mc")
        .pushString("lineTo").op(Op::CallMethod).op(Op::Pop);
    body.pushRegister(1).pushNumber(1).op(Op::Add2).storeRegister(1).op(Op::Pop);
    body.pushRegister(1).pushNumber(10000).op(Op::Less2);
    loop.append(body);
    loop.branchIfTrue(static_cast<int16_t>(-static_cast<int>(body.size()) - 5));
    traceMember(loop, "mc", "_width");
    const Played r = run(a, loop, 12);
    ASSERT_EQ(r.lines.size(), 12u) << "every frame's loop ran to its end";
    EXPECT_EQ(r.lines.back(), "201");  // 0 to 199, and the line's width on each side
    EXPECT_EQ(r.image.pixel(100, 50), qRgb(0, 0, 0));
}

} // namespace
} // namespace swf
