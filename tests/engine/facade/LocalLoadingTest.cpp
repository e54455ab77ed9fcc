// Loading from a movie on disk: files in the movie's folder tree load, paths out of it
// (.., absolute, symlinks pointing out, network addresses) are refused with one notice
// per movie; getURL opens web and mail addresses only in answer to a press, once for
// each; shared objects persist under $XDG_DATA_HOME, and a damaged one is ignored
// with a notice.

#include "engine/Player.h"
#include "engine/format/Button.h"
#include "tests/support/ButtonWriter.h"

#include <gtest/gtest.h>

#include <QPointF>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace swf {
namespace {

namespace fs = std::filesystem;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t GetVariable = 0x1C, SetVariable = 0x1D, SetMember = 0x4F, CallMethod = 0x52, NewObject = 0x40,
                  GetMember = 0x4E, Pop = 0x17;

void writeFile(const fs::path& path, std::string_view text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A scratch folder for one test: the movie's tree, a file outside it, a data home.
struct Scratch {
    fs::path root = fs::temp_directory_path() / ("lanfan-load-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Scratch() { fs::remove_all(root); fs::create_directories(root / "movie"); }
    ~Scratch() { fs::remove_all(root); }
    fs::path movie() const { return root / "movie" / "test.swf"; }
};

// Frame 1: lv = new LoadVars(); lv.onData = trace of what came; lv.load(url) for each
// url, one LoadVars each.
ActionBuilder loadEach(const std::vector<std::string>& urls)
{
    ActionBuilder a;
    for (const std::string& url : urls) {
        a.pushString("lv").pushInt(0).pushString("LoadVars").op(NewObject).op(SetVariable);
        // lv.onData = function(src) { trace(src); }
        a.pushString("lv").op(GetVariable).pushString("onData");
        ActionBuilder body;
        body.getVariable("src").trace();
        a.defineFunction("", {"src"}, body);
        a.op(SetMember);
        a.pushString(url).pushInt(1).pushString("lv").op(GetVariable).pushString("load").op(CallMethod).op(Pop);
    }
    return a;
}

struct MovieRun {
    Player player;
    Lines lines;
    Lines notices;
    Lines opened;
    explicit MovieRun(const fs::path& movie)
    {
        player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
        player.setNoticeSink([this](const std::string& line) { notices.push_back(line); });
        player.setUrlHook([this](const std::string& url, const std::string& target) { opened.push_back(url + " " + target); });
        player.loadFile(movie);
    }
};

void saveMovie(const test::SwfWriter& w, const fs::path& path)
{
    const std::vector<uint8_t> bytes = w.build();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

TEST(LocalLoading, OnlyFilesInTheMoviesTreeLoad)
{
    Scratch s;
    writeFile(s.root / "movie" / "data" / "in.txt", "a=inside");
    writeFile(s.root / "secret.txt", "a=outside");
    fs::create_symlink(s.root / "secret.txt", s.root / "movie" / "link.txt");
    test::SwfWriter w;
    w.doAction(loadEach({"data/in.txt", "../secret.txt", (s.root / "secret.txt").string(), "link.txt",
                         "data/../data/in.txt?x=1", "http://example.com/a.txt", "missing.txt"}))
        .showFrame()
        .showFrame();
    saveMovie(w, s.movie());
    MovieRun run(s.movie());
    run.player.advance();
    // Loads complete after the frame's scripts: in order, refused and missing ones as
    // undefined; nothing outside the tree is read.
    EXPECT_EQ(run.lines, (Lines{"a=inside", "undefined", "undefined", "undefined", "a=inside", "undefined", "undefined"}));
    // Four refusals, one notice for the movie.
    ASSERT_EQ(run.notices.size(), 1u);
    EXPECT_NE(run.notices[0].find("own folder"), std::string::npos);
}

TEST(LocalLoading, GetUrlOpensWebAddressesOnlyForAPress)
{
    Scratch s;
    test::SwfWriter w;
    test::defineFilledRect(w, 1, {0, 2000, 0, 2000}, {0, 0, 0, 255});
    ActionBuilder press;
    press.getUrl("http://example.com/one", "_blank").getUrl("mailto:a@example.com", "");
    test::defineButton2(w, 2, {{kButtonUp | kButtonHitTest, 1, 1, {}, {}}}, {{kOverUpToOverDown, 0, press}});
    // The first frame's script asks on its own: refused. Other schemes are ignored.
    w.doAction(ActionBuilder().getUrl("http://example.com/unasked", "_self").getUrl("javascript:alert(1)", "_self"));
    w.placeObject(2, 1);
    w.showFrame();
    saveMovie(w, s.movie());
    MovieRun run(s.movie());
    run.player.advance();
    EXPECT_TRUE(run.opened.empty());
    EXPECT_EQ(run.notices.size(), 1u);
    run.player.mouseMove(QPointF(10, 10));
    run.player.mousePress();
    run.player.mouseRelease();
    // One address a press: the second of the same press is dropped.
    EXPECT_EQ(run.opened, (Lines{"http://example.com/one _blank"}));
    run.player.mousePress();
    run.player.mouseRelease();
    EXPECT_EQ(run.opened, (Lines{"http://example.com/one _blank", "http://example.com/one _blank"}));
}

// Frame 1: so = SharedObject.getLocal("state"); trace(so.data.count); so.data.count = "set".
ActionBuilder touchSharedObject()
{
    ActionBuilder a;
    a.pushString("so").pushString("state").pushInt(1).pushString("SharedObject").op(GetVariable).pushString("getLocal").op(CallMethod).op(SetVariable);
    a.pushString("so").op(GetVariable).pushString("data").op(GetMember).pushString("count").op(GetMember).trace();
    a.pushString("so").op(GetVariable).pushString("data").op(GetMember).pushString("count").pushString("set").op(SetMember);
    return a;
}

TEST(LocalLoading, SharedObjectsPersistAndDamagedFilesAreIgnored)
{
    Scratch s;
    const char* oldHome = std::getenv("XDG_DATA_HOME");
    const std::string saved = oldHome ? oldHome : "";
    ::setenv("XDG_DATA_HOME", (s.root / "data-home").c_str(), 1);
    test::SwfWriter w;
    w.doAction(touchSharedObject()).showFrame();
    saveMovie(w, s.movie());
    {
        MovieRun first(s.movie());
        first.player.advance();
        EXPECT_EQ(first.lines, (Lines{"undefined"}));
    }  // the movie ends: its shared objects are written
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(s.root / "data-home"))
        if (entry.path().extension() == ".sol")
            files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    {
        MovieRun second(s.movie());
        second.player.advance();
        EXPECT_EQ(second.lines, (Lines{"set"}));
        EXPECT_TRUE(second.notices.empty());
        second.player.unload();
    }
    writeFile(files[0], "not a shared object");
    {
        MovieRun third(s.movie());
        third.player.advance();
        EXPECT_EQ(third.lines, (Lines{"undefined"}));
        ASSERT_EQ(third.notices.size(), 1u);
        EXPECT_NE(third.notices[0].find("ignored"), std::string::npos);
    }
    if (oldHome)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace swf
