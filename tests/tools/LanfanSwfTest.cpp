// The lanfan-swf program as a user runs it: exit codes, info lines, trace output.

#include "engine/format/Button.h"
#include "tests/support/ButtonWriter.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using swf::test::ActionBuilder;
using swf::test::SwfWriter;

struct Result {
    int exitCode = -1;
    std::string out;
};

// Runs the tool with stdout captured and stderr sent to `errFile`.
// With `whole` set, `args` is the whole command line (for an environment prefix).
Result runTool(const std::string& args, const fs::path& errFile = "/dev/null", bool whole = false)
{
    std::string command =
        (whole ? std::string() : std::string(LANFAN_BINARY_DIR) + "/bin/lanfan-swf ") + args + " 2>" + errFile.string();
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        result.out.append(buffer.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class LanfanSwf : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("lanfan-swf-test-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    fs::path dir_;
};

TEST_F(LanfanSwf, InfoPrintsTheHeaderAsKeyValueLines)
{
    swf::test::MovieOptions options;
    options.version = 7;
    options.stage = {0, 320 * 20, 0, 240 * 20};
    options.frameRate = 12.5;
    SwfWriter w(options);
    w.setBackgroundColor({0xAB, 0x01, 0xEF, 255}).showFrame().showFrame().showFrame();
    fs::path movie = write("info.swf", w.build(swf::Compression::Zlib));
    Result r = runTool("info " + movie.string());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "version: 7\ncompression: zlib\nwidth: 320\nheight: 240\nframe_rate: 12.5\nframe_count: 3\n"
                     "background: #ab01ef\n");
    EXPECT_NE(runTool("info " + write("lzma.swf", w.build(swf::Compression::Lzma)).string()).out.find("compression: lzma"),
              std::string::npos);
}

TEST_F(LanfanSwf, RunPrintsTracesAndNothingElse)
{
    SwfWriter w;
    w.doAction(ActionBuilder().trace("first")).showFrame();
    w.doAction(ActionBuilder().trace("second").stop()).showFrame();
    fs::path movie = write("run.swf", w.build());
    Result r = runTool("run " + movie.string() + " --frames 5");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "first\nsecond\n");
    EXPECT_EQ(runTool("run " + movie.string() + " --frames 1").out, "first\n");
}

TEST_F(LanfanSwf, RunSeeksAsTheSeekBarDoesAndPrintsEveryTraceThroughout)
{
    // Frame 1 sets count to 0; every frame k adds one and traces "fk count".
    SwfWriter w;
    for (int k = 1; k <= 20; ++k) {
        ActionBuilder a;
        if (k == 1)
            a.setVariable("count", ActionBuilder().pushInt(0));
        a.pushString("count").getVariable("count").op(0x50).op(0x1D);  // Increment, SetVariable
        a.pushString("f" + std::to_string(k) + " ").getVariable("count").op(0x47).op(0x26);  // Add2, Trace
        w.doAction(a).showFrame();
    }
    fs::path movie = write("seek.swf", w.build());
    std::string expected;
    for (int k = 1; k <= 10; ++k)
        expected += "f" + std::to_string(k) + " " + std::to_string(k) + "\n";
    Result r = runTool("run " + movie.string() + " --frames 10 --seek 5 --then 2");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, expected + "f5 11\nf6 12\nf7 13\n");
    // Without --then the seek's own frame is the last; a frame past the end lands on the last.
    EXPECT_EQ(runTool("run " + movie.string() + " --frames 10 --seek 500").out, expected + "f20 11\n");
    fs::path png = dir_ / "seek.png";
    EXPECT_EQ(runTool("render " + movie.string() + " --frames 2 --seek 9 --then 1 --out " + png.string()).exitCode, 0);
    EXPECT_TRUE(fs::exists(png));
}

TEST_F(LanfanSwf, RunSaysOnceOnStderrThatActionScript3IsNotRun)
{
    SwfWriter w;
    w.fileAttributes(true).showFrame().showFrame();
    fs::path movie = write("as3.swf", w.build());
    fs::path err = dir_ / "err.txt";
    Result r = runTool("run " + movie.string() + " --frames 3", err);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    std::string message = readFile(err);
    EXPECT_NE(message.find("ActionScript 3"), std::string::npos);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
}

TEST_F(LanfanSwf, RenderWritesAnImageOfTheStageSize)
{
    swf::test::MovieOptions options;
    options.stage = {0, 64 * 20, 0, 48 * 20};
    SwfWriter w(options);
    w.setBackgroundColor({0, 128, 255, 255}).showFrame();
    fs::path movie = write("render.swf", w.build());
    fs::path png = dir_ / "out.png";
    Result r = runTool("render " + movie.string() + " --frames 1 --out " + png.string());
    EXPECT_EQ(r.exitCode, 0);
    std::string bytes = readFile(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    // Width and height in the IHDR chunk, big-endian.
    auto be32 = [&](size_t at) {
        return (uint8_t(bytes[at]) << 24) | (uint8_t(bytes[at + 1]) << 16) | (uint8_t(bytes[at + 2]) << 8) | uint8_t(bytes[at + 3]);
    };
    EXPECT_EQ(be32(16), 64u);
    EXPECT_EQ(be32(20), 48u);
    fs::path bmp = dir_ / "out.bmp";
    EXPECT_EQ(runTool("render " + movie.string() + " --out " + bmp.string()).exitCode, 0);
    EXPECT_EQ(readFile(bmp).substr(0, 2), "BM");

    // --size gives the picture the player area's size, the stage fitted inside it.
    EXPECT_EQ(runTool("render " + movie.string() + " --size 100x30 --out " + png.string()).exitCode, 0);
    bytes = readFile(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(be32(16), 100u);
    EXPECT_EQ(be32(20), 30u);
}

TEST_F(LanfanSwf, AGoodMovieLeavesStderrEmptyOutsideALoginSession)
{
    // Cron, CI and ssh runs have no per-user runtime directory and often no display; the
    // graphics start-up of render must not talk about that, nor leave one behind.
    swf::test::MovieOptions options;
    options.stage = {0, 32 * 20, 0, 32 * 20};
    SwfWriter w(options);
    w.setBackgroundColor({10, 20, 30, 255}).showFrame();
    fs::path movie = write("quiet.swf", w.build());
    fs::path err = dir_ / "err.txt";
    fs::path png = dir_ / "quiet.png";
    fs::path tmp = dir_ / "tmp";
    fs::create_directories(tmp);
    const std::string env = "env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TMPDIR=" + tmp.string()
                            + " ";
    for (const std::string& command : {"render " + movie.string() + " --frames 2 --out " + png.string(),
                                       "run " + movie.string(), "info " + movie.string()}) {
        SCOPED_TRACE(command);
        Result r = runTool(env + std::string(LANFAN_BINARY_DIR) + "/bin/lanfan-swf " + command, err, true);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(readFile(err), "");
    }
    EXPECT_TRUE(fs::is_empty(tmp)) << "the private runtime directory is removed at exit";
    // A real problem still reaches stderr.
    EXPECT_EQ(runTool(env + std::string(LANFAN_BINARY_DIR) + "/bin/lanfan-swf render " + movie.string() + " --out "
                          + (dir_ / "no-such-folder" / "a.png").string(),
                      err, true)
                  .exitCode,
              1);
    EXPECT_NE(readFile(err).find("cannot write"), std::string::npos);
}

TEST_F(LanfanSwf, UnreadableMoviesExitWithOneAndOneLine)
{
    fs::path err = dir_ / "err.txt";
    EXPECT_EQ(runTool("info " + (dir_ / "missing.swf").string(), err).exitCode, 1);
    std::string message = readFile(err);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;

    fs::path text = write("text.swf", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(runTool("run " + text.string(), err).exitCode, 1);
    EXPECT_NE(readFile(err).find("not an SWF movie"), std::string::npos);

    EXPECT_EQ(runTool("actions " + text.string(), err).exitCode, 1);
    EXPECT_NE(readFile(err).find("not an SWF movie"), std::string::npos);
    EXPECT_EQ(runTool("actions " + dir_.string(), err).exitCode, 1);
    message = readFile(err);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
}

TEST_F(LanfanSwf, ActionsListsEveryScriptUnderWhereItLives)
{
    swf::test::MovieOptions options;
    options.version = 6;
    SwfWriter w(options);
    w.defineEmptyShape(1);
    swf::test::TagStream sprite;
    sprite.showFrame().doAction(ActionBuilder().trace("in the sprite")).showFrame();
    w.defineSprite(7, 2, sprite);
    w.doInitAction(7, ActionBuilder().trace("init"));
    swf::test::ButtonPart part;
    part.states = swf::kButtonUp | swf::kButtonHitTest;
    part.characterId = 1;
    swf::test::defineButton2(w, 5, {part},
                             {{swf::kOverDownToOverUp | swf::kIdleToOverUp, 0, ActionBuilder().play()},
                              {0, 13, ActionBuilder().stop()}});
    w.doAction(ActionBuilder().trace("first"));
    w.showFrame();
    swf::test::Place place;
    place.depth = 3;
    place.characterId = 7;
    place.clipEvents.push_back({0x2 | 0x400, ActionBuilder().nextFrame()});
    w.placeObject2(place);
    w.doAction(ActionBuilder().gotoFrame(0));
    w.showFrame();
    fs::path movie = write("scripts.swf", w.build(swf::Compression::Zlib));

    Result r = runTool("actions " + movie.string());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "sprite 7 frame 2:\n"
              "  0000  Push string \"in the sprite\"\n"
              "  0012  Trace\n"
              "  0013  End\n"
              "\n"
              "init sprite 7:\n"
              "  0000  Push string \"init\"\n"
              "  0009  Trace\n"
              "  000a  End\n"
              "\n"
              "button 5 on rollOver, release:\n"
              "  0000  Play\n"
              "  0001  End\n"
              "\n"
              "button 5 on keyPress \"<Enter>\":\n"
              "  0000  Stop\n"
              "  0001  End\n"
              "\n"
              "frame 1:\n"
              "  0000  Push string \"first\"\n"
              "  000a  Trace\n"
              "  000b  End\n"
              "\n"
              "clip at depth 3 frame 2 onClipEvent(enterFrame) on(press):\n"
              "  0000  NextFrame\n"
              "  0001  End\n"
              "\n"
              "frame 2:\n"
              "  0000  GotoFrame 0 (frame 1)\n"
              "  0005  End\n");
}

TEST_F(LanfanSwf, ActionsReportsDamageAndGoesOn)
{
    SwfWriter w;
    // A script whose Push claims more bytes than the tag holds, then a good one.
    w.doAction(ActionBuilder().raw(0x96, std::vector<uint8_t>{0x00, 'a', 0x00}).raw(0x07));
    std::vector<uint8_t> lying{0x06, 0x96, 0x40, 0x00, 0x00};
    w.tag(12, lying);
    w.showFrame();
    Result r = runTool("actions " + write("damaged.swf", w.build()).string());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("frame 1:\n  0000  Push string \"a\"\n  0006  Stop\n  0007  End\n\nframe 1:\n  0000  Play\n"
                         "  stopped at 0001: Push claims 64 bytes, 1 remain\n"),
              std::string::npos)
        << r.out;

    SwfWriter empty;
    empty.showFrame();
    r = runTool("actions " + write("empty.swf", empty.build()).string());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "no ActionScript 1/2 scripts\n");
}

TEST_F(LanfanSwf, AudioWritesAWaveOfExactlyTheFramesLength)
{
    swf::test::MovieOptions options;
    options.frameRate = 12;
    SwfWriter w(options);
    w.showFrame();
    fs::path movie = write("quiet.swf", w.build());
    fs::path wav = dir_ / "out.wav";
    ASSERT_EQ(runTool("audio " + movie.string() + " --frames 30 --out " + wav.string()).exitCode, 0);
    std::ifstream in(wav, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GE(bytes.size(), 44u);
    auto u32 = [&](size_t at) { return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24); };
    auto u16 = [&](size_t at) { return uint16_t(bytes[at] | bytes[at + 1] << 8); };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(u16(20), 1);       // PCM
    EXPECT_EQ(u16(22), 2);       // stereo
    EXPECT_EQ(u32(24), 44100u);  // rate
    EXPECT_EQ(u16(34), 16);      // bits
    // 30 frames at 12 per second: 2.5 s, 110,250 stereo frames of 4 bytes.
    EXPECT_EQ(u32(40), 110250u * 4);
    EXPECT_EQ(bytes.size(), 44u + 110250u * 4);
    EXPECT_EQ(u32(4), bytes.size() - 8);
}

TEST_F(LanfanSwf, BadUsageExitsWithTwo)
{
    fs::path movie = write("ok.swf", SwfWriter().build());
    for (const std::string& args : {std::string(""), std::string("play ") + movie.string(), std::string("info"),
                                    "run " + movie.string() + " --frames", "run " + movie.string() + " --frames -3",
                                    "run " + movie.string() + " --frames many", "render " + movie.string(),
                                    "render " + movie.string() + " --out picture.gif",
                                    "render " + movie.string() + " --size 0x10 --out a.png",
                                    "render " + movie.string() + " --size 640 --out a.png",
                                    "render " + movie.string() + " --size 9000x10 --out a.png",
                                    "run " + movie.string() + " --size 64x48",
                                    "run " + movie.string() + " --seek", "run " + movie.string() + " --seek five",
                                    "run " + movie.string() + " --seek 3x", "run " + movie.string() + " --seek 99999999999",
                                    "run " + movie.string() + " --then 2", "run " + movie.string() + " --seek 2 --then -1",
                                    "info " + movie.string() + " --seek 2",
                                    "info " + movie.string() + " extra", std::string("actions"),
                                    "actions " + movie.string() + " --frames 2",
                                    "info " + movie.string() + " extra", "audio " + movie.string(),
                                    "audio " + movie.string() + " --out sound.mp3",
                                    "audio " + movie.string() + " --frames 2000000000 --out sound.wav"})
        EXPECT_EQ(runTool(args).exitCode, 2) << "lanfan-swf " << args;
}

} // namespace
