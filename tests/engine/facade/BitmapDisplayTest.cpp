// Script bitmaps on stage: attachBitmap and beginBitmapFill show a BitmapData's pixels
// where the clip is, follow the bitmap as scripts change it, and show nothing once it
// is disposed; BitmapData.draw; and the display settings scripts give a clip
// (scrollRect, opaqueBackground) reaching the picture.

#include "engine/Player.h"
#include "tests/support/SwfWriter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace swf {
namespace {

using test::ActionBuilder;

namespace Op {
constexpr uint8_t Pop = 0x17, GetMember = 0x4E, CallMethod = 0x52, NewMethod = 0x53, SetVariable = 0x1D,
                  InitObject = 0x43;
}

void pushArgs(ActionBuilder& a, const std::vector<double>& args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        a.pushNumber(*it);
    a.pushInt(static_cast<int32_t>(args.size()));
}

// `name = new flash.display.BitmapData(width, height, transparent, argb)`.
void newBitmap(ActionBuilder& a, std::string_view name, int width, int height, bool transparent, uint32_t argb)
{
    a.pushString(name);
    a.pushNumber(static_cast<int32_t>(argb)).pushBool(transparent).pushNumber(height).pushNumber(width).pushInt(4);
    a.getVariable("flash").pushString("display").op(Op::GetMember).pushString("BitmapData").op(Op::NewMethod);
    a.op(Op::SetVariable);
}

// `target.method(numbers...)`, its result dropped.
void call(ActionBuilder& a, std::string_view target, std::string_view method, const std::vector<double>& args)
{
    pushArgs(a, args);
    a.getVariable(target).pushString(method).op(Op::CallMethod).op(Op::Pop);
}

// `target.method(variable, numbers...)`.
void callWith(ActionBuilder& a, std::string_view target, std::string_view method, std::string_view variable,
              const std::vector<double>& more)
{
    for (auto it = more.rbegin(); it != more.rend(); ++it)
        a.pushNumber(*it);
    a.getVariable(variable);
    a.pushInt(static_cast<int32_t>(more.size() + 1));
    a.getVariable(target).pushString(method).op(Op::CallMethod).op(Op::Pop);
}

// `target.fillRect({x, y, width, height}, argb)`.
void fillRect(ActionBuilder& a, std::string_view target, int x, int y, int width, int height, uint32_t argb)
{
    a.pushNumber(static_cast<int32_t>(argb));
    a.pushString("x").pushNumber(x).pushString("y").pushNumber(y).pushString("width").pushNumber(width);
    a.pushString("height").pushNumber(height).pushInt(4).op(Op::InitObject);
    a.pushInt(2).getVariable(target).pushString("fillRect").op(Op::CallMethod).op(Op::Pop);
}

// A clip "mc" at depth 1 moved to (x, y).
void clipAt(ActionBuilder& a, double x, double y)
{
    a.pushNumber(1).pushString("mc").pushInt(2).getVariable("_root").pushString("createEmptyMovieClip");
    a.op(Op::CallMethod).op(Op::Pop);
    a.getVariable("mc").pushString("_x").pushNumber(x).op(0x4F);
    a.getVariable("mc").pushString("_y").pushNumber(y).op(0x4F);
}

// A 100 x 50 px white stage: `script` in frame 1, then one frame of `more` for each
// entry; the picture painted after each frame.
std::vector<QImage> run(const ActionBuilder& script, const std::vector<ActionBuilder>& more = {})
{
    test::MovieOptions options;
    options.version = 8;
    options.stage = {0, 100 * 20, 0, 50 * 20};
    test::SwfWriter movie(options);
    movie.setBackgroundColor({255, 255, 255, 255});
    movie.doAction(script).showFrame();
    for (const ActionBuilder& frame : more)
        movie.doAction(frame).showFrame();
    movie.doAction(ActionBuilder().stop()).showFrame();

    Player player;
    player.loadBytes(movie.build());
    std::vector<QImage> pictures;
    for (size_t i = 0; i <= more.size(); ++i) {
        player.advance();
        QImage image(100, 50, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        player.paint(painter, QRectF(0, 0, 100, 50), ScaleMode::ShowAll, RenderQuality::High);
        painter.end();
        pictures.push_back(image);
    }
    return pictures;
}

TEST(BitmapDisplay, AttachedBitmapShowsAtTheClipAndFollowsItsPixels)
{
    ActionBuilder a;
    newBitmap(a, "bmp", 10, 6, false, 0xFFFF0000);
    fillRect(a, "bmp", 5, 0, 5, 6, 0xFF0000FF);
    clipAt(a, 20, 10);
    callWith(a, "mc", "attachBitmap", "bmp", {1});
    // The next frame paints the left half green; the one after disposes the bitmap.
    ActionBuilder green;
    fillRect(green, "bmp", 0, 0, 5, 6, 0xFF00FF00);
    ActionBuilder gone;
    call(gone, "bmp", "dispose", {});
    const std::vector<QImage> frames = run(a, {green, gone});

    const QImage& first = frames[0];
    EXPECT_EQ(first.pixel(22, 12), qRgb(255, 0, 0));
    EXPECT_EQ(first.pixel(27, 12), qRgb(0, 0, 255));
    EXPECT_EQ(first.pixel(29, 15), qRgb(0, 0, 255));
    // Its own size, no further: the stage around it stays white.
    EXPECT_EQ(first.pixel(19, 12), qRgb(255, 255, 255));
    EXPECT_EQ(first.pixel(30, 12), qRgb(255, 255, 255));
    EXPECT_EQ(first.pixel(22, 16), qRgb(255, 255, 255));
    EXPECT_EQ(first.pixel(22, 9), qRgb(255, 255, 255));

    EXPECT_EQ(frames[1].pixel(22, 12), qRgb(0, 255, 0)) << "a changed bitmap shows its new pixels";
    EXPECT_EQ(frames[1].pixel(27, 12), qRgb(0, 0, 255));
    EXPECT_EQ(frames[2].pixel(22, 12), qRgb(255, 255, 255)) << "a disposed bitmap shows nothing";
}

TEST(BitmapDisplay, BitmapFillRepeatsUnlessToldAndFollowsItsMatrix)
{
    // A 4 x 4 bitmap: red left column pair, blue right pair.
    auto filled = [](std::vector<double> fillArgs) {
        ActionBuilder a;
        newBitmap(a, "bmp", 4, 4, false, 0xFFFF0000);
        fillRect(a, "bmp", 2, 0, 2, 4, 0xFF0000FF);
        clipAt(a, 0, 0);
        // mc.beginBitmapFill(bmp, matrix-or-null, repeat, smoothing): the matrix is
        // made in the frame as an object literal when asked for.
        if (!fillArgs.empty() && fillArgs[0] > 0) {
            // {a: 2, b: 0, c: 0, d: 2, tx: 40, ty: 0}: doubled, moved 40 px right.
            for (auto it = fillArgs.rbegin(); it != fillArgs.rend() - 1; ++it)
                a.pushNumber(*it);
            a.pushString("a").pushNumber(2).pushString("b").pushNumber(0).pushString("c").pushNumber(0);
            a.pushString("d").pushNumber(2).pushString("tx").pushNumber(40).pushString("ty").pushNumber(0);
            a.pushInt(6).op(Op::InitObject);
            a.getVariable("bmp");
            a.pushInt(static_cast<int32_t>(fillArgs.size() + 1));
        } else {
            for (auto it = fillArgs.rbegin(); it != fillArgs.rend(); ++it)
                a.pushNumber(*it);
            a.getVariable("bmp");
            a.pushInt(static_cast<int32_t>(fillArgs.size() + 1));
        }
        a.getVariable("mc").pushString("beginBitmapFill").op(Op::CallMethod).op(Op::Pop);
        call(a, "mc", "moveTo", {0, 0});
        call(a, "mc", "lineTo", {100, 0});
        call(a, "mc", "lineTo", {100, 50});
        call(a, "mc", "lineTo", {0, 50});
        call(a, "mc", "endFill", {});
        return run(a)[0];
    };
    // No matrix: the bitmap at its size from the origin, repeated over the square.
    const QImage repeated = filled({});
    EXPECT_EQ(repeated.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(repeated.pixel(3, 1), qRgb(0, 0, 255));
    EXPECT_EQ(repeated.pixel(5, 5), qRgb(255, 0, 0)) << "the next copy across and down";
    EXPECT_EQ(repeated.pixel(94, 46), qRgb(0, 0, 255));

    // Doubled and moved 40 px right, repeated: the pattern is 8 px wide starting at 40.
    const QImage moved = filled({1, 1, 0});
    EXPECT_EQ(moved.pixel(41, 3), qRgb(255, 0, 0));
    EXPECT_EQ(moved.pixel(45, 3), qRgb(0, 0, 255));
    EXPECT_EQ(moved.pixel(49, 3), qRgb(255, 0, 0));
    EXPECT_EQ(moved.pixel(33, 3), qRgb(255, 0, 0)) << "repeated to the left too";

    // Not repeated: the edge pixels stretch out beyond the bitmap, as a clipped
    // bitmap fill of a shape does.
    const QImage clamped = filled({1, 0, 0});
    EXPECT_EQ(clamped.pixel(45, 3), qRgb(0, 0, 255));
    EXPECT_EQ(clamped.pixel(49, 3), qRgb(0, 0, 255));
    EXPECT_EQ(clamped.pixel(90, 40), qRgb(0, 0, 255));
    EXPECT_EQ(clamped.pixel(10, 40), qRgb(255, 0, 0));
}

TEST(BitmapDisplay, WhatIsNotABitmapDrawsNothingAndBreaksNothing)
{
    ActionBuilder a;
    clipAt(a, 0, 0);
    // attachBitmap and beginBitmapFill with numbers where the bitmap goes.
    call(a, "mc", "attachBitmap", {5, 1});
    call(a, "mc", "beginBitmapFill", {5});
    call(a, "mc", "moveTo", {0, 0});
    call(a, "mc", "lineTo", {100, 0});
    call(a, "mc", "lineTo", {100, 50});
    call(a, "mc", "endFill", {});
    newBitmap(a, "bmp", 8, 8, true, 0x00000000);
    callWith(a, "mc", "attachBitmap", "bmp", {});  // no depth: nothing
    const QImage image = run(a)[0];
    for (int y = 0; y < 50; y += 7)
        for (int x = 0; x < 100; x += 7)
            ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
}

// Pushes `new flash.<package>.<name>(numbers...)`.
void pushNew(ActionBuilder& a, std::string_view package, std::string_view name, const std::vector<double>& args)
{
    pushArgs(a, args);
    a.getVariable("flash").pushString(package).op(Op::GetMember).pushString(name).op(Op::NewMethod);
}

void traceCall(ActionBuilder& a, std::string_view target, std::string_view method, const std::vector<double>& args)
{
    pushArgs(a, args);
    a.getVariable(target).pushString(method).op(Op::CallMethod).op(0x26);
}

std::vector<std::string> traces(const ActionBuilder& script)
{
    test::MovieOptions options;
    options.version = 8;
    test::SwfWriter movie(options);
    movie.doAction(script).showFrame();
    std::vector<std::string> lines;
    Player player;
    player.loadBytes(movie.build());
    player.setTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    player.advance();
    return lines;
}

TEST(BitmapFilters, ApplyFilterRunsTheRenderersBlurAndGenerateFilterRectGrowsByItsReach)
{
    ActionBuilder a;
    // One white pixel in the middle of a clear 9 x 9 bitmap, blurred 3 x 3 once in
    // place: a ninth of it (255 / 3 / 3, truncated each way: 28) on each of nine pixels.
    newBitmap(a, "bmp", 9, 9, true, 0);
    call(a, "bmp", "setPixel32", {4, 4, static_cast<double>(int32_t(0xFFFFFFFFu))});
    a.pushString("blur");
    pushNew(a, "filters", "BlurFilter", {3, 3, 1});
    a.op(Op::SetVariable);
    // bmp.applyFilter(bmp, bmp.rectangle, new Point(0, 0), blur)
    a.getVariable("blur");
    pushNew(a, "geom", "Point", {0, 0});
    a.getVariable("bmp").pushString("rectangle").op(Op::GetMember);
    a.getVariable("bmp").pushInt(4).getVariable("bmp").pushString("applyFilter").op(Op::CallMethod).op(0x26);
    traceCall(a, "bmp", "getPixel32", {3, 3});
    traceCall(a, "bmp", "getPixel32", {5, 4});
    traceCall(a, "bmp", "getPixel32", {2, 4});
    // Part of a fresh dot, 5 x 5 from (2, 2), into another bitmap at (1, 0): the
    // blurred pixels land moved, and the corner beyond the blur's reach holds nothing.
    newBitmap(a, "out", 9, 9, true, 0);
    newBitmap(a, "dot", 9, 9, true, 0);
    call(a, "dot", "setPixel32", {4, 4, static_cast<double>(int32_t(0xFFFFFFFFu))});
    a.getVariable("blur");
    pushNew(a, "geom", "Point", {1, 0});
    pushNew(a, "geom", "Rectangle", {2, 2, 5, 5});
    a.getVariable("dot").pushInt(4).getVariable("out").pushString("applyFilter").op(Op::CallMethod).op(0x26);
    traceCall(a, "out", "getPixel32", {1, 0});
    traceCall(a, "out", "getPixel32", {2, 1});
    // out.generateFilterRect(new Rectangle(0, 0, 9, 9), blur)
    a.getVariable("blur");
    pushNew(a, "geom", "Rectangle", {0, 0, 9, 9});
    a.pushInt(2).getVariable("out").pushString("generateFilterRect").op(Op::CallMethod).op(0x26);
    // Not a filter: -1, nothing changes.
    a.pushNumber(7);
    pushNew(a, "geom", "Point", {0, 0});
    a.getVariable("bmp").pushString("rectangle").op(Op::GetMember);
    a.getVariable("bmp").pushInt(4).getVariable("out").pushString("applyFilter").op(Op::CallMethod).op(0x26);
    traceCall(a, "out", "getPixel32", {2, 1});

    const std::string ninth = std::to_string(int32_t(0x1CFFFFFFu));
    EXPECT_EQ(traces(a), (std::vector<std::string>{"0", ninth, ninth, "0", "0", "0", ninth,
                                                   "(x=-1, y=-1, w=11, h=11)", "-1", ninth}));
}

TEST(BitmapDraw, DrawsClipsAndBitmapsThroughTheRendererWithMatrixColourModeAndClip)
{
    // A 10 x 10 px green square drawn by script into clip "src", which sits at x = 50:
    // draw uses the clip's content, not its place. Each case draws onto a fresh white
    // 20 x 20 opaque bitmap and reads two pixels back.
    using Push = std::function<void(ActionBuilder&)>;
    auto none = Push([](ActionBuilder& a) { a.pushUndefined(); });
    auto make = [](std::string_view package, std::string_view name, std::vector<double> args) {
        return Push([=](ActionBuilder& a) { pushNew(a, package, name, args); });
    };
    auto variable = [](std::string_view name) { return Push([name](ActionBuilder& a) { a.getVariable(name); }); };
    struct Case {
        const char* what;
        std::vector<Push> args;  // after the source
        std::string_view source;
        int x1, y1, x2, y2;
        uint32_t at1, at2;
    } cases[] = {
        {"plain", {}, "src", 5, 5, 15, 15, 0x00FF00, 0xFFFFFF},
        {"moved", {make("geom", "Matrix", {1, 0, 0, 1, 10, 10})}, "src", 5, 5, 15, 15, 0xFFFFFF, 0x00FF00},
        {"scaled", {make("geom", "Matrix", {2, 0, 0, 2, 0, 0})}, "src", 15, 15, 19, 2, 0x00FF00, 0x00FF00},
        {"coloured", {none, make("geom", "ColorTransform", {0, 0, 0, 1, 255, 0, 0, 0})}, "src", 5, 5, 15, 15,
         0xFF0000, 0xFFFFFF},
        {"difference", {none, none, Push([](ActionBuilder& a) { a.pushString("difference"); })}, "src", 5, 5, 15,
         15, 0xFF00FF, 0xFFFFFF},
        {"clipped", {none, none, none, make("geom", "Rectangle", {0, 0, 3, 3})}, "src", 1, 1, 5, 5, 0x00FF00,
         0xFFFFFF},
        {"bitmap", {make("geom", "Matrix", {1, 0, 0, 1, 2, 2})}, "blue", 3, 3, 1, 1, 0x0000FF, 0xFFFFFF},
        {"not drawable", {}, "nothing", 5, 5, 15, 15, 0xFFFFFF, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        ActionBuilder a;
        a.pushNumber(1).pushString("src").pushInt(2).getVariable("_root").pushString("createEmptyMovieClip");
        a.op(Op::CallMethod).op(Op::Pop);
        a.getVariable("src").pushString("_x").pushNumber(50).op(0x4F);
        call(a, "src", "beginFill", {0x00FF00, 100});
        call(a, "src", "moveTo", {0, 0});
        call(a, "src", "lineTo", {10, 0});
        call(a, "src", "lineTo", {10, 10});
        call(a, "src", "lineTo", {0, 10});
        call(a, "src", "endFill", {});
        newBitmap(a, "blue", 4, 4, false, 0xFF0000FF);
        newBitmap(a, "bmp", 20, 20, false, 0xFFFFFFFF);
        for (auto it = c.args.rbegin(); it != c.args.rend(); ++it)
            (*it)(a);
        variable(c.source)(a);
        a.pushInt(static_cast<int32_t>(c.args.size() + 1)).getVariable("bmp").pushString("draw");
        a.op(Op::CallMethod).op(Op::Pop);
        traceCall(a, "bmp", "getPixel", {double(c.x1), double(c.y1)});
        traceCall(a, "bmp", "getPixel", {double(c.x2), double(c.y2)});
        EXPECT_EQ(traces(a), (std::vector<std::string>{std::to_string(c.at1), std::to_string(c.at2)})) << c.what;
    }
}

TEST(BitmapDraw, ADisposedBitmapAnswersMinusOne)
{
    ActionBuilder a;
    newBitmap(a, "bmp", 4, 4, false, 0xFFFFFFFF);
    call(a, "bmp", "dispose", {});
    a.getVariable("bmp").pushInt(1).getVariable("bmp").pushString("draw").op(Op::CallMethod).op(0x26);
    EXPECT_EQ(traces(a), (std::vector<std::string>{"-1"}));
}

TEST(ScriptDisplaySettings, ScrollRectAndOpaqueBackgroundReadBackAndReachThePicture)
{
    // mc at (20, 10) holds a 40 x 30 green square; its window shows the 10 x 10 px from
    // (5, 5) of it at the clip's origin, and a grey background fills under it.
    ActionBuilder a;
    clipAt(a, 20, 10);
    call(a, "mc", "beginFill", {0x00FF00, 100});
    call(a, "mc", "moveTo", {0, 0});
    call(a, "mc", "lineTo", {40, 0});
    call(a, "mc", "lineTo", {40, 30});
    call(a, "mc", "lineTo", {0, 30});
    call(a, "mc", "endFill", {});
    a.getVariable("mc").pushString("scrollRect");
    pushNew(a, "geom", "Rectangle", {5, 5, 10, 10});
    a.op(0x4F);
    a.getVariable("mc").pushString("scrollRect").op(Op::GetMember).op(0x26);
    a.getVariable("mc").pushString("opaqueBackground").op(Op::GetMember).op(0x26);
    a.getVariable("mc").pushString("opaqueBackground").pushNumber(0x808080).op(0x4F);
    a.getVariable("mc").pushString("opaqueBackground").op(Op::GetMember).op(0x26);
    // A second clip whose settings are set and taken away again.
    a.pushNumber(2).pushString("other").pushInt(2).getVariable("_root").pushString("createEmptyMovieClip");
    a.op(Op::CallMethod).op(Op::Pop);
    a.getVariable("other").pushString("scrollRect");
    pushNew(a, "geom", "Rectangle", {0, 0, 1, 1});
    a.op(0x4F);
    a.getVariable("other").pushString("scrollRect").pushUndefined().op(0x4F);
    a.getVariable("other").pushString("opaqueBackground").pushNumber(255).op(0x4F);
    a.getVariable("other").pushString("opaqueBackground").pushNull().op(0x4F);
    a.getVariable("other").pushString("scrollRect").op(Op::GetMember).op(0x26);
    a.getVariable("other").pushString("opaqueBackground").op(Op::GetMember).op(0x26);
    EXPECT_EQ(traces(a), (std::vector<std::string>{"(x=5, y=5, w=10, h=10)", "undefined", std::to_string(0x808080),
                                                   "undefined", "undefined"}));

    const QImage image = run(a)[0];
    EXPECT_EQ(image.pixel(25, 15), qRgb(0, 255, 0)) << "inside the window";
    EXPECT_EQ(image.pixel(35, 25), qRgb(255, 255, 255)) << "past the window's right and bottom";
    EXPECT_EQ(image.pixel(50, 30), qRgb(255, 255, 255)) << "the square beyond the window is cut away";
}

} // namespace
} // namespace swf
