// Sound.loadSound on local MP3 files: a streamed sound plays while it is still being
// decoded, onID3 and onLoad come on a later frame than the call, ID3 tags of both
// versions reach `id3`, and a file outside the movie's folder is refused with a notice
// and onLoad(false).

#include "tests/engine/audio/SoundFixture.h"

#include "engine/audio/LoadedSound.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace swf::test {
namespace {

namespace fs = std::filesystem;

constexpr uint8_t kCallMethod = 0x52, kNewObject = 0x40, kSetMember = 0x4F, kGetMember = 0x4E, kSetVariable = 0x1D,
                  kPop = 0x17, kAdd2 = 0x47;

// A folder with the movie in it and the test's sound files beside it.
class LoadSound : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("lanfan-loadsound-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "movie");
        const fs::path data = fs::path(LANFAN_SOURCE_DIR) / "tests/engine/audio/data";
        fs::copy_file(data / "tone3s_id3v2.mp3", dir_ / "movie/tone3s.mp3");
        fs::copy_file(data / "tone1s_id3v1.mp3", dir_ / "movie/tone1s.mp3");
        fs::copy_file(data / "tone1s_id3v1.mp3", dir_ / "outside.mp3");
    }
    void TearDown() override { fs::remove_all(dir_); }

    struct Run {
        Heard heard;
        std::vector<std::string> lines;
    };

    Run play(const SwfWriter& movie, int frames)
    {
        const fs::path file = dir_ / "movie/test.swf";
        std::vector<uint8_t> bytes = movie.build();
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
        Run run;
        Player player;
        player.setTraceSink([&](const std::string& line) { run.lines.push_back(line); });
        player.setNoticeSink([&](const std::string& line) { run.heard.notices.push_back(line); });
        player.loadFile(file);
        run.heard.samples = mixFrames(player, frames);
        return run;
    }

    fs::path dir_;
};

// trace(prefix + s.<member>) inside a handler, where `this` is the Sound object.
ActionBuilder traceMember(std::string_view prefix, std::string_view member)
{
    ActionBuilder a;
    a.pushString(prefix).pushString("this").op(0x1C).pushString(member).op(kGetMember).op(kAdd2).trace();
    return a;
}

ActionBuilder traceCall(std::string_view prefix, std::string_view method)
{
    ActionBuilder a;
    a.pushString(prefix).pushInt(0).pushString("this").op(0x1C).pushString(method).op(kCallMethod).op(kAdd2).trace();
    return a;
}

// s = new Sound(); handlers that trace what they see; s.loadSound(url, streaming).
ActionBuilder loadingScript(std::string_view url, bool streaming, const ActionBuilder& onLoadExtra = {})
{
    ActionBuilder a;
    a.pushString("s").pushInt(0).pushString("Sound").op(kNewObject).op(kSetVariable);
    ActionBuilder onId3 = traceMember("id3 title ", "id3");
    onId3.append(ActionBuilder()
                     .pushString("songname ")
                     .pushString("this")
                     .op(0x1C)
                     .pushString("id3")
                     .op(kGetMember)
                     .pushString("songname")
                     .op(kGetMember)
                     .op(kAdd2)
                     .trace());
    onId3.append(ActionBuilder()
                     .pushString("TPE1 ")
                     .pushString("this")
                     .op(0x1C)
                     .pushString("id3")
                     .op(kGetMember)
                     .pushString("TPE1")
                     .op(kGetMember)
                     .op(kAdd2)
                     .trace());
    onId3.append(traceCall("id3 duration ", "getDuration"));
    a.getVariable("s").pushString("onID3").defineFunction("", {}, onId3).op(kSetMember);
    ActionBuilder onLoad;
    onLoad.pushString("load ").pushString("ok").op(0x1C).op(kAdd2).trace();
    onLoad.append(traceCall("load duration ", "getDuration"));
    onLoad.append(onLoadExtra);
    a.getVariable("s").pushString("onLoad").defineFunction("", {"ok"}, onLoad).op(kSetMember);
    a.getVariable("s")
        .pushString("onSoundComplete")
        .defineFunction("", {}, traceCall("complete at ", "getPosition"))
        .op(kSetMember);
    a.pushBool(streaming).pushString(url).pushInt(2).getVariable("s").pushString("loadSound").op(kCallMethod).op(kPop);
    a.trace("asked");
    return a;
}

SwfWriter movieOf(const std::vector<ActionBuilder>& frames, int total)
{
    SwfWriter movie(tenFps());
    for (int i = 0; i < total; ++i) {
        if (static_cast<size_t>(i) < frames.size())
            movie.doAction(frames[static_cast<size_t>(i)]);
        movie.showFrame();
    }
    return movie;
}

// The number after `prefix` in the line that starts with it, or -1.
double numberAfter(const std::vector<std::string>& lines, std::string_view prefix)
{
    for (const std::string& line : lines) {
        if (line.starts_with(prefix))
            return std::stod(line.substr(prefix.size()));
    }
    return -1;
}

TEST_F(LoadSound, StreamedSoundPlaysWhileItDecodesAndReportsItsTags)
{
    ActionBuilder frame3;
    frame3.pushString("frame 3 duration ").pushInt(0).getVariable("s").pushString("getDuration").op(kCallMethod);
    frame3.op(kAdd2).trace();
    Run run = play(movieOf({loadingScript("tone3s.mp3", true), ActionBuilder().trace("frame 2"), frame3}, 40), 40);

    // The events come after the frame that asked, onID3 before anything is decoded.
    ASSERT_GE(run.lines.size(), 8u);
    EXPECT_EQ(run.lines[0], "asked");
    EXPECT_EQ(run.lines[1], "frame 2");
    EXPECT_EQ(run.lines[2], "id3 title [object Object]");
    EXPECT_EQ(run.lines[3], "songname Tone");
    EXPECT_EQ(run.lines[4], "TPE1 Tester");
    EXPECT_EQ(run.lines[5], "id3 duration 0");
    // One frame decodes about two seconds of the three: the sound is still loading
    // when frame 3 reads its length, and plays meanwhile.
    double early = numberAfter(run.lines, "frame 3 duration ");
    EXPECT_GE(early, 2000);
    EXPECT_LT(early, 2900);
    double whole = numberAfter(run.lines, "load duration ");
    // libavformat trims the encoder's delay and padding: three seconds, near enough.
    EXPECT_GE(whole, 2990);
    EXPECT_LT(whole, 3100);
    EXPECT_EQ(run.lines.back(), "complete at " + std::to_string(static_cast<int>(whole)));

    // Heard from frame 2 (the first decoding) without a gap until its end.
    size_t first = run.heard.firstSound();
    EXPECT_GE(first, kFrameSamples);
    EXPECT_LT(first, 2 * kFrameSamples);
    for (size_t frame = 3; frame < 30; ++frame)
        EXPECT_GT(run.heard.rms((frame - 1) * kFrameSamples, frame * kFrameSamples), 1000.0) << frame;
    EXPECT_NEAR(run.heard.frequency(5 * kFrameSamples, 25 * kFrameSamples), 440.0, 5.0);
    EXPECT_EQ(run.heard.rms(36 * kFrameSamples, 40 * kFrameSamples), 0.0);
    EXPECT_TRUE(run.heard.notices.empty());
}

TEST_F(LoadSound, EventSoundWaitsForStartAndReadsVersionOneTags)
{
    // Started from onLoad, at the end of frame 2's step: heard from frame 2's share of
    // time on, as anything started on frame 2.
    ActionBuilder startIt;
    startIt.pushInt(0).pushString("this").op(0x1C).pushString("start").op(kCallMethod).op(kPop);
    Run run = play(movieOf({loadingScript("tone1s.mp3", false, startIt)}, 20), 20);
    ASSERT_GE(run.lines.size(), 7u);
    EXPECT_EQ(run.lines[2], "songname Old");
    EXPECT_EQ(run.lines[3], "TPE1 Timer");
    EXPECT_EQ(run.lines[5], "load true");
    size_t first = run.heard.firstSound();
    EXPECT_GE(first, kFrameSamples);
    EXPECT_LT(first, 2 * kFrameSamples);
    EXPECT_EQ(run.lines.back().rfind("complete at ", 0), 0u);
}

TEST_F(LoadSound, FileOutsideTheMovieFolderIsRefusedOnce)
{
    struct Case {
        const char* url;
        size_t notices;
    };
    // Refused by the local-file rules: one notice each; a missing file in the
    // movie's own folder just fails.
    for (Case c : {Case{"../outside.mp3", 1}, Case{"/etc/passwd", 1}, Case{"missing.mp3", 0}}) {
        Run run = play(movieOf({loadingScript(c.url, true), ActionBuilder().trace("frame 2")}, 4), 4);
        EXPECT_EQ(run.lines, (std::vector<std::string>{"asked", "frame 2", "load false", "load duration undefined"}))
            << c.url;
        EXPECT_EQ(run.heard.notices.size(), c.notices) << c.url;
        if (c.notices) {
            EXPECT_NE(run.heard.notices[0].find("refused"), std::string::npos) << run.heard.notices[0];
        }
        EXPECT_EQ(run.heard.firstSound(), run.heard.frames()) << c.url;
    }
}

TEST_F(LoadSound, DamagedFileFailsWithoutSound)
{
    std::ofstream(dir_ / "movie/noise.mp3", std::ios::binary) << std::string(3000, '\x5a');
    Run run = play(movieOf({loadingScript("noise.mp3", true)}, 4), 4);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"asked", "load false", "load duration undefined"}));
    EXPECT_EQ(run.heard.firstSound(), run.heard.frames());
}

// Corpus movies that load a sound file the corpus does not ship: our own files stand in
// for theirs (sound.mp3: a 1045 ms sine with an ID3 title, the length the recorded
// output reports; noise.mp3: half a second of noise), copied beside the movie, and the
// trace must be the one recorded.
TEST_F(LoadSound, CorpusMoviesWithTheirSoundFilesTraceAsRecorded)
{
    struct Case {
        const char* caseDir;
        const char* file;  // the name the movie asks for
        const char* ours;  // what stands in for it
        int frames;
    };
    const Case cases[] = {
        {"avm1/avm1/sound_load_start", "noise.mp3", "noise_half_second.mp3", 100},
        {"avm1/avm1/sound_duration_position_props", "sound.mp3", "sine440_1045ms.mp3", 200},
    };
    const fs::path data = fs::path(LANFAN_SOURCE_DIR) / "tests/engine/audio/data";
    for (const Case& c : cases) {
        const fs::path corpus = fs::path(LANFAN_CORPUS_DIR) / c.caseDir;
        if (!fs::exists(corpus / "test.swf")) {
            ADD_FAILURE() << "the corpus case " << c.caseDir << " is not there";
            continue;
        }
        fs::copy_file(corpus / "test.swf", dir_ / "movie/test.swf", fs::copy_options::overwrite_existing);
        fs::copy_file(data / c.ours, dir_ / "movie" / c.file, fs::copy_options::overwrite_existing);
        std::ifstream expectedFile(corpus / "output.txt");
        std::vector<std::string> expected;
        for (std::string line; std::getline(expectedFile, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            expected.push_back(line);
        }
        while (!expected.empty() && expected.back().empty())
            expected.pop_back();
        std::vector<std::string> lines;
        Player player;
        player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
        player.loadFile(dir_ / "movie/test.swf");
        mixFrames(player, c.frames);
        EXPECT_EQ(lines, expected) << c.caseDir;
    }
}

// Cut and damaged files: the decoder gives what it can, never more than its budget,
// and always ends.
TEST(SoundFileDecoder, CutOrDamagedFilesEndCleanly)
{
    std::ifstream in(fs::path(LANFAN_SOURCE_DIR) / "tests/engine/audio/data/tone3s_id3v2.mp3", std::ios::binary);
    std::vector<uint8_t> whole{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(whole.size(), 10000u);
    for (size_t length : {size_t{0}, size_t{10}, size_t{200}, size_t{1000}, whole.size() / 2, whole.size() - 1}) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        try {
            audio::SoundFileDecoder decoder(cut, size_t{64} << 20);
            int rounds = 0;
            while (decoder.decodeSome(44100) && ++rounds < 100) {
            }
            EXPECT_TRUE(decoder.done()) << length;
            EXPECT_LE(decoder.pcm()->frames(), size_t{3} * 44100 + 4410) << length;
        } catch (const audio::DecodeError&) {
            // Too little left to be a sound file at all.
        }
    }
    // Every 97th byte flipped: the damage is skipped over.
    std::vector<uint8_t> damaged = whole;
    for (size_t i = 500; i < damaged.size(); i += 97)
        damaged[i] ^= 0xA5;
    audio::SoundFileDecoder decoder(damaged, size_t{64} << 20);
    while (decoder.decodeSome(44100)) {
    }
    EXPECT_TRUE(decoder.pcm()->finished());
    // A budget smaller than the sound ends it early.
    audio::SoundFileDecoder small(whole, 44100 * 4);
    while (small.decodeSome(44100)) {
    }
    EXPECT_LE(small.pcm()->frames(), size_t{44100});
}

} // namespace
} // namespace swf::test
