// loadMovie, MovieClipLoader.loadClip and unloadMovie from a movie on disk: the loaded
// movie or picture is what the clip shows and plays from then on (its frame scripts
// run with the clip as their timeline), the clip keeps its place but not its
// variables, the loader hears onLoadInit only after the loaded movie's first frame,
// a file that is neither a movie nor a picture leaves the clip as it was, and
// unloading takes the content away again.

#include "engine/Player.h"
#include "engine/format/Button.h"
#include "tests/support/ButtonWriter.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace swf {
namespace {

namespace fs = std::filesystem;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t GetVariable = 0x1C, SetVariable = 0x1D, SetMember = 0x4F, GetMember = 0x4E, CallMethod = 0x52,
                  NewObject = 0x40, Pop = 0x17;
constexpr Rgba kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};

struct Scratch {
    fs::path root = fs::temp_directory_path() / ("lanfan-loadmovie-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Scratch() { fs::remove_all(root); fs::create_directories(root); }
    ~Scratch() { fs::remove_all(root); }
    fs::path operator/(const std::string& name) const { return root / name; }
};

void save(const std::vector<uint8_t>& bytes, const fs::path& path)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// `target.method(args...)` with string arguments, its result dropped.
void call(ActionBuilder& a, std::string_view target, std::string_view method, std::vector<std::string> args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        a.pushString(*it);
    a.pushInt(static_cast<int32_t>(args.size())).pushString(target).op(GetVariable).pushString(method).op(CallMethod).op(Pop);
}

// _root.createEmptyMovieClip("holder", 1); holder._x = 100; holder._y = 50.
ActionBuilder makeHolder()
{
    ActionBuilder a;
    a.pushInt(1).pushString("holder").pushInt(2).pushString("_root").op(GetVariable).pushString("createEmptyMovieClip")
        .op(CallMethod).op(Pop);
    a.pushString("holder").op(GetVariable).pushString("_x").pushInt(100).op(SetMember);
    a.pushString("holder").op(GetVariable).pushString("_y").pushInt(50).op(SetMember);
    return a;
}

// A movie of two frames showing a 20 x 10 pixel rectangle of `color` at its origin; the
// first traces `name` and 1, its timeline and _root, the second `name` and 2 and stops.
std::vector<uint8_t> childMovie(Rgba color, const std::string& name)
{
    test::SwfWriter w;
    test::defineFilledRect(w, 1, {0, 400, 0, 200}, color);
    w.placeObject(1, 1);
    w.doAction(ActionBuilder().trace(name + " 1").getVariable("this").trace().getVariable("_root").trace()).showFrame();
    w.doAction(ActionBuilder().trace(name + " 2").stop()).showFrame();
    return w.build();
}

struct MovieRun {
    Player player;
    Lines lines;
    Lines notices;
    explicit MovieRun(const fs::path& movie)
    {
        player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
        player.setNoticeSink([this](const std::string& line) { notices.push_back(line); });
        player.loadFile(movie);
    }
    void advance(int frames)
    {
        for (int i = 0; i < frames; ++i)
            player.advance();
    }
    // The stage (550 x 400) as painted, one pixel a stage pixel.
    QRgb pixel(int x, int y)
    {
        QImage image(550, 400, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        player.paint(painter, QRectF(0, 0, 550, 400), ScaleMode::ShowAll, RenderQuality::Low);
        painter.end();
        return image.pixel(x, y);
    }
};

QRgb rgb(Rgba c)
{
    return qRgb(c.r, c.g, c.b);
}

TEST(LoadedMovie, LoadMovieShowsAndPlaysTheChildInPlaceOfTheClip)
{
    Scratch s;
    save(childMovie(kRed, "child"), s / "child.swf");
    test::SwfWriter w;
    ActionBuilder a = makeHolder();
    // A variable set before the load does not survive it.
    a.pushString("holder").op(GetVariable).pushString("before").pushString("set").op(SetMember);
    call(a, "holder", "loadMovie", {"child.swf"});
    w.doAction(a.stop()).showFrame();
    w.doAction(ActionBuilder()).showFrame();
    save(w.build(), s / "main.swf");

    MovieRun run(s / "main.swf");
    run.advance(1);
    // The load completes after the frame; the child's first frame runs on the next.
    EXPECT_TRUE(run.lines.empty());
    EXPECT_EQ(run.pixel(105, 55), rgb(kWhite));
    run.advance(1);
    EXPECT_EQ(run.lines, (Lines{"child 1", "_level0.holder", "_level0"}));
    // The child's rectangle, where the clip stands.
    EXPECT_EQ(run.pixel(105, 55), rgb(kRed));
    EXPECT_EQ(run.pixel(95, 55), rgb(kWhite));
    EXPECT_EQ(run.pixel(125, 55), rgb(kWhite));
    run.advance(3);
    // The child plays on to its second frame and stops there, though the root stopped.
    EXPECT_EQ(run.lines, (Lines{"child 1", "_level0.holder", "_level0", "child 2"}));
    EXPECT_TRUE(run.notices.empty());
}

TEST(LoadedMovie, ClipKeepsItsPlaceButNotItsVariablesAndReportsTheChild)
{
    Scratch s;
    save(childMovie(kBlue, "child"), s / "child.swf");
    test::SwfWriter w;
    ActionBuilder a = makeHolder();
    a.pushString("holder").op(GetVariable).pushString("before").pushString("set").op(SetMember);
    call(a, "holder", "loadMovie", {"child.swf"});
    w.doAction(a).showFrame();
    // Frame 2 (after the load): what the clip says of itself.
    ActionBuilder b;
    for (const char* property : {"before", "_x", "_y", "_totalframes", "_url"})
        b.pushString("holder").op(GetVariable).pushString(property).op(GetMember).trace();
    w.doAction(b.stop()).showFrame();
    save(w.build(), s / "main.swf");

    MovieRun run(s / "main.swf");
    run.advance(2);
    // _url is the child's full address.
    EXPECT_EQ(run.lines, (Lines{"child 1", "_level0.holder", "_level0", "undefined", "100", "50", "2",
                                "file://" + (s / "child.swf").string()}));
}

// mcl = new MovieClipLoader(); listener methods trace their names; mcl.addListener(l);
// mcl.loadClip(url, "holder").
ActionBuilder loadWithLoader(const std::string& url)
{
    ActionBuilder a = makeHolder();
    a.pushString("mcl").pushInt(0).pushString("MovieClipLoader").op(NewObject).op(SetVariable);
    a.pushString("l").pushInt(0).pushString("Object").op(NewObject).op(SetVariable);
    for (const char* event : {"onLoadStart", "onLoadProgress", "onLoadComplete", "onLoadInit", "onLoadError"}) {
        a.pushString("l").op(GetVariable).pushString(event);
        a.defineFunction("", {}, ActionBuilder().trace(event));
        a.op(SetMember);
    }
    a.pushString("l").op(GetVariable).pushInt(1).pushString("mcl").op(GetVariable).pushString("addListener")
        .op(CallMethod).op(Pop);
    call(a, "mcl", "loadClip", {url, "holder"});
    return a;
}

TEST(LoadedMovie, LoaderHearsInitAfterTheChildsFirstFrame)
{
    Scratch s;
    save(childMovie(kRed, "child"), s / "child.swf");
    test::SwfWriter w;
    w.doAction(loadWithLoader("child.swf").stop()).showFrame();
    save(w.build(), s / "main.swf");

    MovieRun run(s / "main.swf");
    run.advance(1);
    EXPECT_EQ(run.lines, (Lines{"onLoadStart", "onLoadProgress", "onLoadComplete"}));
    run.advance(1);
    EXPECT_EQ(run.lines, (Lines{"onLoadStart", "onLoadProgress", "onLoadComplete", "child 1", "_level0.holder", "_level0",
                                "onLoadInit"}));
}

TEST(LoadedMovie, PicturesShowAtTheClipsOrigin)
{
    Scratch s;
    // A PNG and a JPEG of 30 x 20 pixels, each of one colour.
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    ASSERT_TRUE(picture.save(QString::fromStdString((s / "pic.png").string()), "PNG"));
    picture.fill(QColor(0, 200, 0));
    ASSERT_TRUE(picture.save(QString::fromStdString((s / "pic.jpg").string()), "JPG", 100));
    for (const std::string name : {"pic.png", "pic.jpg"}) {
        SCOPED_TRACE(name);
        test::SwfWriter w;
        w.doAction(loadWithLoader(name).stop()).showFrame();
        save(w.build(), s / "main.swf");
        MovieRun run(s / "main.swf");
        run.advance(2);
        EXPECT_EQ(run.lines, (Lines{"onLoadStart", "onLoadProgress", "onLoadComplete", "onLoadInit"}));
        const QColor inside = QColor::fromRgb(run.pixel(115, 60));
        if (name == "pic.png") {
            EXPECT_EQ(inside, QColor(0, 0, 255));
        } else {
            EXPECT_NEAR(inside.green(), 200, 4);
            EXPECT_LT(inside.red() + inside.blue(), 8);
        }
        EXPECT_EQ(run.pixel(131, 60), rgb(kWhite));
        EXPECT_EQ(run.pixel(115, 71), rgb(kWhite));
    }
}

TEST(LoadedMovie, FilesThatAreNoMovieFailAndLeaveTheClipAsItWas)
{
    Scratch s;
    save(std::vector<uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'}, s / "text.swf");
    // A movie header whose body is cut short after the header: no frame to show.
    std::vector<uint8_t> cut = childMovie(kRed, "cut");
    cut.resize(12);
    save(cut, s / "cut.swf");
    for (const std::string name : {"text.swf", "cut.swf", "missing.swf"}) {
        SCOPED_TRACE(name);
        test::SwfWriter w;
        ActionBuilder a = loadWithLoader(name);
        a.pushString("holder").op(GetVariable).pushString("kept").pushString("yes").op(SetMember);
        w.doAction(a).showFrame();
        w.doAction(ActionBuilder().pushString("holder").op(GetVariable).pushString("kept").op(GetMember).trace().stop())
            .showFrame();
        save(w.build(), s / "main.swf");
        MovieRun run(s / "main.swf");
        run.advance(3);
        ASSERT_FALSE(run.lines.empty());
        EXPECT_EQ(run.lines.back(), "yes");
        EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "onLoadInit"), 0);
        EXPECT_EQ(run.pixel(105, 55), rgb(kWhite));
    }
}

TEST(LoadedMovie, UnloadMovieTakesTheChildAway)
{
    Scratch s;
    save(childMovie(kRed, "child"), s / "child.swf");
    test::SwfWriter w;
    ActionBuilder a = makeHolder();
    call(a, "holder", "loadMovie", {"child.swf"});
    w.doAction(a).showFrame();
    w.doAction(ActionBuilder()).showFrame();
    ActionBuilder c;
    call(c, "holder", "unloadMovie", {});
    w.doAction(c.stop()).showFrame();
    save(w.build(), s / "main.swf");

    MovieRun run(s / "main.swf");
    run.advance(2);
    EXPECT_EQ(run.pixel(105, 55), rgb(kRed));
    run.advance(1);
    EXPECT_EQ(run.pixel(105, 55), rgb(kWhite));
    run.advance(2);
    // Nothing of the child plays any more.
    EXPECT_EQ(run.lines, (Lines{"child 1", "_level0.holder", "_level0", "child 2"}));
}

TEST(LoadedMovie, LoadMovieNumMakesALevelDrawnAboveLevelZero)
{
    Scratch s;
    save(childMovie(kRed, "child"), s / "child.swf");
    test::SwfWriter w;
    test::defineFilledRect(w, 1, {0, 2000, 0, 2000}, kBlue);
    w.placeObject(1, 1);
    const uint8_t toLevel = 0;
    w.doAction(ActionBuilder().pushString("child.swf").pushString("_level1").raw(0x9A, std::span(&toLevel, 1))).showFrame();
    w.doAction(ActionBuilder()).showFrame();
    // unloadMovieNum(1) compiles to a load of no address into the level.
    w.doAction(ActionBuilder().getVariable("_level1").trace().pushString("").pushString("_level1").raw(0x9A, std::span(&toLevel, 1)))
        .showFrame();
    w.doAction(ActionBuilder().getVariable("_level1").trace().stop()).showFrame();
    save(w.build(), s / "main.swf");

    MovieRun run(s / "main.swf");
    run.advance(2);
    // Inside the level, `this` and _root are the level.
    EXPECT_EQ(run.lines, (Lines{"child 1", "_level1", "_level1"}));
    EXPECT_EQ(run.pixel(5, 5), rgb(kRed));
    EXPECT_EQ(run.pixel(30, 5), rgb(kBlue));
    run.advance(2);
    EXPECT_EQ(run.lines, (Lines{"child 1", "_level1", "_level1", "_level1", "undefined"}));
    EXPECT_EQ(run.pixel(5, 5), rgb(kBlue));
}

TEST(LoadedMovie, LoadVariablesRunsTheClipsDataEventThenOnData)
{
    Scratch s;
    std::ofstream(s / "vars.txt") << "a=first&b=second";
    test::SwfWriter w;
    w.defineSprite(2, 1, test::TagStream().showFrame());
    test::Place place;
    place.depth = 1;
    place.characterId = 2;
    place.name = "target";
    place.clipEvents.push_back({0x100, ActionBuilder().trace("data event")});
    w.placeObject2(place);
    ActionBuilder a;
    a.pushString("target").op(GetVariable).pushString("onData");
    a.defineFunction("", {}, ActionBuilder().trace("onData"));
    a.op(SetMember);
    const uint8_t variablesIntoClip = 0xC0;
    a.pushString("vars.txt").pushString("target").raw(0x9A, std::span(&variablesIntoClip, 1));
    w.doAction(a).showFrame();
    w.doAction(ActionBuilder().pushString("target").op(GetVariable).pushString("b").op(GetMember).trace().stop()).showFrame();
    save(w.build(), s / "main.swf");

    MovieRun run(s / "main.swf");
    run.advance(2);
    EXPECT_EQ(run.lines, (Lines{"data event", "onData", "second"}));
}

TEST(LoadedMovie, LockrootKeepsRootInsideTheLoadedMovie)
{
    Scratch s;
    for (const bool lock : {false, true}) {
        SCOPED_TRACE(lock);
        test::SwfWriter child;
        ActionBuilder c;
        c.getVariable("this").pushString("_lockroot").pushBool(lock).op(SetMember);
        c.getVariable("_root").trace();
        child.doAction(c.stop()).showFrame();
        save(child.build(), s / "child.swf");
        test::SwfWriter w;
        ActionBuilder a = makeHolder();
        call(a, "holder", "loadMovie", {"child.swf"});
        w.doAction(a.stop()).showFrame();
        save(w.build(), s / "main.swf");
        MovieRun run(s / "main.swf");
        run.advance(2);
        EXPECT_EQ(run.lines, (Lines{lock ? "_level0.holder" : "_level0"}));
    }
}

// A movie loaded into _level1 takes the pointer over level 0 where its buttons are;
// level 0's buttons answer everywhere else.
TEST(LoadedMovie, ButtonsInALevelTakeThePointerBeforeLevelZero)
{
    Scratch s;
    test::SwfWriter child;
    test::defineFilledRect(child, 1, {0, 800, 0, 800}, kRed);
    ActionBuilder pressed;
    pressed.trace("level press").getVariable("this").trace();
    test::defineButton2(child, 2, {{kButtonUp | kButtonHitTest, 1, 1, {}, {}}}, {{kOverUpToOverDown, 0, pressed}});
    test::Place at;
    at.depth = 1;
    at.characterId = 2;
    at.matrix = Matrix{1, 0, 0, 1, 100 * 20, 0};
    child.placeObject2(at);
    child.doAction(ActionBuilder().stop()).showFrame();
    save(child.build(), s / "child.swf");

    test::SwfWriter w;
    test::defineFilledRect(w, 1, {0, 11000, 0, 8000}, kBlue);
    test::defineButton2(w, 2, {{kButtonUp | kButtonHitTest, 1, 1, {}, {}}}, {{kOverUpToOverDown, 0, ActionBuilder().trace("main press")}});
    w.placeObject(2, 1);
    const uint8_t toLevel = 0;
    w.doAction(ActionBuilder().pushString("child.swf").pushString("_level1").raw(0x9A, std::span(&toLevel, 1)).stop()).showFrame();
    save(w.build(), s / "main.swf");

    MovieRun run(s / "main.swf");
    run.advance(2);
    struct Row {
        double x, y;
        Lines heard;
    };
    const Row rows[] = {
        {110, 10, {"level press", "_level1"}},  // on the level's button, 100 pixels right
        {10, 10, {"main press"}},               // left of it
        {300, 300, {"main press"}},             // away from it
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.x);
        run.lines.clear();
        run.player.mouseMove(QPointF(row.x, row.y));
        run.player.mousePress();
        run.player.mouseRelease();
        EXPECT_EQ(run.lines, row.heard);
    }
}

// A movie loaded into _level0 takes the whole stage: every level goes, and its size,
// frame rate and background rule; the machine's globals stay.
TEST(LoadedMovie, LoadingIntoLevelZeroReplacesTheStage)
{
    Scratch s;
    save(childMovie(kRed, "above"), s / "above.swf");
    test::MovieOptions options;
    options.stage = {0, 200 * 20, 0, 100 * 20};
    options.frameRate = 40;
    test::SwfWriter next(options);
    next.setBackgroundColor(kBlue);
    constexpr uint8_t GetTime = 0x34, Subtract = 0x0B;
    next.doAction(ActionBuilder().getVariable("_level1").trace().getVariable("_global").pushString("kept").op(GetMember)
                      .trace().pushString("t").op(GetTime).op(SetVariable))
        .showFrame();
    // The script clock moves on by the new frame rate's 25 ms a frame.
    next.doAction(ActionBuilder().op(GetTime).getVariable("t").op(Subtract).trace().stop()).showFrame();
    save(next.build(), s / "next.swf");

    test::SwfWriter w;
    const uint8_t toLevel = 0;
    ActionBuilder a;
    a.getVariable("_global").pushString("kept").pushString("yes").op(SetMember);
    a.pushString("above.swf").pushString("_level1").raw(0x9A, std::span(&toLevel, 1));
    w.doAction(a).showFrame();
    w.doAction(ActionBuilder().pushString("next.swf").pushString("_level0").raw(0x9A, std::span(&toLevel, 1)).stop())
        .showFrame();
    save(w.build(), s / "main.swf");

    MovieRun run(s / "main.swf");
    EXPECT_EQ(run.player.info().frameRate, 24);
    run.advance(5);
    // The level goes as the new movie arrives, before its second frame.
    EXPECT_EQ(run.lines, (Lines{"above 1", "_level1", "_level1", "undefined", "yes", "25"}));
    const MovieInfo& info = run.player.info();
    EXPECT_EQ(info.stage.xMax, 200 * 20);
    EXPECT_EQ(info.stage.yMax, 100 * 20);
    EXPECT_EQ(info.frameRate, 40);
    EXPECT_EQ(info.background, kBlue);
}

} // namespace
} // namespace swf
