// The Sound script class: exported sounds attached by linkage and started, volume and
// pan on the mix, duration, stop (of everything, of one sound, within a clip's scope),
// onSoundComplete when a sound has played out, and subclasses that call Sound as their
// super constructor.

#include "tests/engine/audio/SoundFixture.h"

#include <gtest/gtest.h>

namespace swf::test {
namespace {

constexpr uint8_t kCallMethod = 0x52, kNewObject = 0x40, kSetMember = 0x4F, kGetMember = 0x4E, kSetVariable = 0x1D,
                  kPop = 0x17;

// s.method(args...) with its result left on the stack.
ActionBuilder& call(ActionBuilder& a, std::string_view method, std::initializer_list<double> args = {})
{
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        a.pushNumber(*it);
    a.pushInt(static_cast<int32_t>(args.size())).getVariable("s").pushString(method).op(kCallMethod);
    return a;
}

ActionBuilder& callString(ActionBuilder& a, std::string_view method, std::string_view text)
{
    a.pushString(text).pushInt(1).getVariable("s").pushString(method).op(kCallMethod);
    return a;
}

// s = new Sound(); s.attachSound("beep"); s.onSoundComplete = function () { trace("done"); }
ActionBuilder soundSetUp()
{
    ActionBuilder a;
    a.pushString("s").pushInt(0).pushString("Sound").op(kNewObject).op(kSetVariable);
    callString(a, "attachSound", "beep").op(kPop);
    a.getVariable("s").pushString("onSoundComplete").defineFunction("", {}, ActionBuilder().trace("done")).op(kSetMember);
    return a;
}

SwfWriter beepMovie(const ActionBuilder& frame1, int frames = 4)
{
    SwfWriter movie(tenFps());
    std::vector<int16_t> beep(kFrameSamples, 1000);
    definePcmSound(movie, 7, beep);
    movie.exportAssets(7, "beep");
    movie.doAction(frame1);
    movie.showFrame();
    for (int i = 1; i < frames; ++i)
        movie.showFrame();
    return movie;
}

struct Played {
    Heard heard;
    std::vector<std::string> lines;
};

Played play(const SwfWriter& movie, int frames)
{
    Played run;
    Player player;
    player.setTraceSink([&](const std::string& line) { run.lines.push_back(line); });
    run.heard = hear(movie, frames, &player);
    return run;
}

TEST(SoundClass, AttachedSoundStartsAtItsVolumeAndReportsItsEnd)
{
    ActionBuilder a = soundSetUp();
    a.getVariable("s").pushString("duration").op(kGetMember).trace();
    call(a, "setVolume", {50}).op(kPop);
    call(a, "getVolume").trace();
    call(a, "start").op(kPop);
    Played run = play(beepMovie(a), 3);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"100", "50", "done"}));
    EXPECT_EQ(run.heard.left(0), 500);
    EXPECT_EQ(run.heard.right(kFrameSamples - 1), 500);
    EXPECT_EQ(run.heard.left(kFrameSamples), 0);
}

TEST(SoundClass, PanTurnsTheOtherChannelDown)
{
    struct Case {
        double pan;
        int16_t left, right;
    };
    for (Case c : {Case{-100, 1000, 0}, Case{100, 0, 1000}, Case{50, 500, 1000}, Case{0, 1000, 1000}}) {
        ActionBuilder a = soundSetUp();
        call(a, "setPan", {c.pan}).op(kPop);
        call(a, "getPan").trace();
        call(a, "start").op(kPop);
        Played run = play(beepMovie(a), 1);
        EXPECT_EQ(run.heard.left(10), c.left) << c.pan;
        EXPECT_EQ(run.heard.right(10), c.right) << c.pan;
        ASSERT_FALSE(run.lines.empty());
        EXPECT_EQ(run.lines[0], std::to_string(static_cast<int>(c.pan)));
    }
}

TEST(SoundClass, StopEndsTheSoundWithoutCompleting)
{
    ActionBuilder first = soundSetUp();
    call(first, "start", {0, 3}).op(kPop);
    SwfWriter movie(tenFps());
    std::vector<int16_t> beep(kFrameSamples, 1000);
    definePcmSound(movie, 7, beep);
    movie.exportAssets(7, "beep");
    movie.doAction(first);
    movie.showFrame();
    ActionBuilder second;
    call(second, "stop").op(kPop);
    movie.doAction(second);
    movie.showFrame();
    movie.showFrame();
    Played run = play(movie, 3);
    EXPECT_EQ(run.heard.left(10), 1000);
    EXPECT_EQ(run.heard.rms(kFrameSamples, 3 * kFrameSamples), 0.0);
    EXPECT_TRUE(run.lines.empty());
}

TEST(SoundClass, UnknownLinkageAndMissingSoundDoNothing)
{
    ActionBuilder a;
    a.pushString("s").pushInt(0).pushString("Sound").op(kNewObject).op(kSetVariable);
    callString(a, "attachSound", "nothing").op(kPop);
    call(a, "start").op(kPop);
    a.getVariable("s").pushString("duration").op(kGetMember).trace();
    a.getVariable("s").pushString("position").op(kGetMember).trace();
    Played run = play(beepMovie(a), 2);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"undefined", "undefined"}));
    EXPECT_EQ(run.heard.firstSound(), run.heard.frames());
}

// name.method(args...) with its result left on the stack.
ActionBuilder& callOn(ActionBuilder& a, std::string_view name, std::string_view method, std::initializer_list<double> args = {})
{
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        a.pushNumber(*it);
    a.pushInt(static_cast<int32_t>(args.size())).getVariable(name).pushString(method).op(kCallMethod);
    return a;
}

// name = new Sound(target), the target a variable's value (a clip) or a path string.
ActionBuilder& newSound(ActionBuilder& a, std::string_view name, std::string_view target, bool byPath)
{
    a.pushString(name);
    if (target.empty()) {
        a.pushInt(0);
    } else {
        if (byPath)
            a.pushString(target);
        else
            a.getVariable(target);
        a.pushInt(1);
    }
    a.pushString("Sound").op(kNewObject).op(kSetVariable);
    return a;
}

ActionBuilder& createClip(ActionBuilder& a, std::string_view name)
{
    constexpr uint8_t kCallFunction = 0x3D;
    a.pushInt(1).pushString(name).pushInt(2).pushString("createEmptyMovieClip").op(kCallFunction).op(kPop);
    return a;
}

TEST(SoundClass, ClipScopeAndMovieVolumeMultiply)
{
    ActionBuilder a;
    createClip(a, "mc");
    newSound(a, "g", "", false);
    callOn(a, "g", "setVolume", {50}).op(kPop);
    newSound(a, "c", "mc", false);
    a.pushString("beep").pushInt(1).getVariable("c").pushString("attachSound").op(kCallMethod).op(kPop);
    callOn(a, "c", "setVolume", {50}).op(kPop);
    callOn(a, "c", "start").op(kPop);
    // Every Sound object of the clip shares its settings; the movie's are apart.
    newSound(a, "byPath", "mc", true);
    callOn(a, "byPath", "getVolume").trace();
    callOn(a, "g", "getVolume").trace();
    Played run = play(beepMovie(a), 1);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"50", "50"}));
    EXPECT_EQ(run.heard.left(10), 250);
    EXPECT_EQ(run.heard.right(10), 250);
}

TEST(SoundClass, ClipSettingsGoWithTheClip)
{
    constexpr uint8_t kRemoveClip = 0x25;
    ActionBuilder a;
    newSound(a, "s", "mc", true);
    callOn(a, "s", "getVolume").trace();  // no clip yet
    createClip(a, "mc");
    callOn(a, "s", "setVolume", {30}).op(kPop);
    callOn(a, "s", "getVolume").trace();
    a.pushString("mc").op(kRemoveClip);
    callOn(a, "s", "getVolume").trace();  // gone
    createClip(a, "mc");
    callOn(a, "s", "getVolume").trace();  // a new clip starts afresh
    Played run = play(beepMovie(a), 1);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"undefined", "30", "undefined", "100"}));
}

TEST(SoundClass, VolumeAndPanConvertAsThePlayerDoes)
{
    struct Case {
        const char* method;
        double value;
        const char* getter;
        const char* expected;
    };
    const Case cases[] = {
        {"setVolume", 50.9, "getVolume", "50"},
        {"setVolume", -7.9, "getVolume", "-7"},
        {"setVolume", 3e9, "getVolume", "-2147483648"},
        {"setVolume", std::nan(""), "getVolume", "-2147483648"},
        {"setPan", 30, "getPan", "30"},
        {"setPan", -30, "getPan", "-30"},
        // Past full pan the turned-down channel goes negative; the pan reads back
        // from its size.
        {"setPan", 150, "getPan", "50"},
        {"setPan", -250, "getPan", "50"},
    };
    for (const Case& c : cases) {
        ActionBuilder a;
        newSound(a, "s", "", false);
        callOn(a, "s", c.method, {c.value}).op(kPop);
        callOn(a, "s", c.getter).trace();
        Played run = play(beepMovie(a), 1);
        EXPECT_EQ(run.lines, (std::vector<std::string>{c.expected})) << c.method << " " << c.value;
    }
}

TEST(SoundClass, EachStartIsAVoiceWithItsOwnCompletion)
{
    ActionBuilder a = soundSetUp();
    call(a, "start").op(kPop);
    call(a, "start").op(kPop);
    Played run = play(beepMovie(a), 3);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"done", "done"}));
    EXPECT_EQ(run.heard.left(10), 2000);
}

TEST(SoundClass, DurationBecomesAGetterOnceASoundIsFirstAttached)
{
    ActionBuilder a;
    newSound(a, "early", "", false);
    a.getVariable("early").pushString("duration").pushString("x").op(kSetMember);
    newSound(a, "s", "", false);
    callString(a, "attachSound", "beep").op(kPop);
    // Before any sound was attached the write made a property of the object's own;
    // after, the getter ignores writes.
    a.getVariable("s").pushString("duration").pushString("y").op(kSetMember);
    a.getVariable("early").pushString("duration").op(kGetMember).trace();
    a.getVariable("s").pushString("duration").op(kGetMember).trace();
    Played run = play(beepMovie(a), 1);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"x", "100"}));
}

TEST(SoundClass, StopByNameStopsThatSoundOnlyWhereItsObjectSpeaks)
{
    // Two clips each play the beep through their own Sound object, three times over.
    constexpr uint8_t kCallFunction = 0x3D;
    ActionBuilder first;
    first.pushInt(1).pushString("one").pushInt(2).pushString("createEmptyMovieClip").op(kCallFunction).op(kPop);
    first.pushInt(2).pushString("two").pushInt(2).pushString("createEmptyMovieClip").op(kCallFunction).op(kPop);
    for (std::string_view name : {"a", "b"}) {
        newSound(first, name, name == "a" ? "one" : "two", false);
        first.pushString("beep").pushInt(1).getVariable(name).pushString("attachSound").op(kCallMethod).op(kPop);
        callOn(first, name, "start", {0, 3}).op(kPop);
    }
    newSound(first, "g", "", false);
    SwfWriter movie(tenFps());
    std::vector<int16_t> beep(kFrameSamples, 1000);
    definePcmSound(movie, 7, beep);
    movie.exportAssets(7, "beep");
    movie.doAction(first);
    movie.showFrame();
    // Frame 2: the first clip's object stops the beep; the second clip's plays on.
    ActionBuilder second;
    second.pushString("beep").pushInt(1).getVariable("a").pushString("stop").op(kCallMethod).op(kPop);
    movie.doAction(second);
    movie.showFrame();
    // Frame 3: the movie's object stops it everywhere.
    ActionBuilder third;
    third.pushString("beep").pushInt(1).getVariable("g").pushString("stop").op(kCallMethod).op(kPop);
    movie.doAction(third);
    movie.showFrame();
    movie.showFrame();
    Played run = play(movie, 4);
    EXPECT_EQ(run.heard.left(10), 2000);
    EXPECT_EQ(run.heard.left(kFrameSamples + 10), 1000);
    EXPECT_EQ(run.heard.rms(2 * kFrameSamples, 4 * kFrameSamples), 0.0);
}

TEST(SoundClass, StopByNameLeavesOtherSoundsOfTheScope)
{
    ActionBuilder first;
    newSound(first, "s", "", false);
    for (std::string_view linkage : {"beep", "boop"}) {
        first.pushString(linkage).pushInt(1).getVariable("s").pushString("attachSound").op(kCallMethod).op(kPop);
        callOn(first, "s", "start", {0, 3}).op(kPop);
    }
    SwfWriter movie(tenFps());
    definePcmSound(movie, 7, std::vector<int16_t>(kFrameSamples, 1000));
    definePcmSound(movie, 8, std::vector<int16_t>(kFrameSamples, 100));
    movie.exportAssets(7, "beep");
    movie.exportAssets(8, "boop");
    movie.doAction(first);
    movie.showFrame();
    ActionBuilder second;
    second.pushString("beep").pushInt(1).getVariable("s").pushString("stop").op(kCallMethod).op(kPop);
    movie.doAction(second);
    movie.showFrame();
    Played run = play(movie, 2);
    EXPECT_EQ(run.heard.left(10), 1100);
    EXPECT_EQ(run.heard.left(kFrameSamples + 10), 100);
}

// Sub = function () { Sound.call(this, target...); }, Sub extending Sound: what a
// class's super() call compiles to.
ActionBuilder defineSubclass(bool withTarget)
{
    constexpr uint8_t kExtends = 0x69;
    ActionBuilder body;
    if (withTarget)
        body.getVariable("mc");
    body.getVariable("this");
    body.pushInt(withTarget ? 2 : 1).getVariable("Sound").pushString("call").op(kCallMethod).op(kPop);
    ActionBuilder a;
    a.pushString("Sub").defineFunction("", {}, body).op(kSetVariable);
    a.getVariable("Sub").getVariable("Sound").op(kExtends);
    return a;
}

TEST(SoundClass, SubclassKeepsTheStateItsSuperCallGave)
{
    ActionBuilder a = defineSubclass(false);
    a.pushString("s").pushInt(0).pushString("Sub").op(kNewObject).op(kSetVariable);
    callString(a, "attachSound", "beep").op(kPop);
    call(a, "setVolume", {50}).op(kPop);
    call(a, "getVolume").trace();
    a.getVariable("s").pushString("duration").op(kGetMember).trace();
    a.getVariable("s").pushString("checkPolicyFile").op(kGetMember).trace();
    a.getVariable("s").pushString("onSoundComplete").defineFunction("", {}, ActionBuilder().trace("sub done")).op(kSetMember);
    call(a, "start").op(kPop);
    Played run = play(beepMovie(a), 3);
    ASSERT_GE(run.lines.size(), 4u);
    EXPECT_EQ(run.lines[0], "50");
    EXPECT_EQ(run.lines[1], "100");
    EXPECT_EQ(run.lines[2], "false");
    EXPECT_EQ(run.lines.back(), "sub done");
    EXPECT_EQ(run.heard.left(10), 500);
}

TEST(SoundClass, SubclassWithATargetSpeaksForThatClip)
{
    ActionBuilder a;
    createClip(a, "mc");
    a.append(defineSubclass(true));
    a.pushString("s").pushInt(0).pushString("Sub").op(kNewObject).op(kSetVariable);
    call(a, "setVolume", {30}).op(kPop);
    newSound(a, "other", "mc", false);
    callOn(a, "other", "getVolume").trace();
    newSound(a, "g", "", false);
    callOn(a, "g", "getVolume").trace();
    Played run = play(beepMovie(a), 1);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"30", "100"}));
}

TEST(SoundClass, CheckPolicyFileIsAFlagOfEachObject)
{
    ActionBuilder a;
    newSound(a, "s", "", false);
    constexpr uint8_t kTypeOf = 0x44;
    a.getVariable("s").pushString("checkPolicyFile").op(kGetMember).op(kTypeOf).trace();
    a.getVariable("s").pushString("checkPolicyFile").pushBool(true).op(kSetMember);
    a.getVariable("s").pushString("checkPolicyFile").op(kGetMember).trace();
    a.getVariable("Sound").pushString("prototype").op(kGetMember).pushString("checkPolicyFile").op(kGetMember).op(kTypeOf).trace();
    Played run = play(beepMovie(a), 1);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"boolean", "true", "undefined"}));
}

TEST(SoundClass, ThePrototypeHasTheReferencePlayersMethodsAndKeepsThem)
{
    ActionBuilder a;
    newSound(a, "s", "", false);
    constexpr uint8_t kTypeOf = 0x44;
    for (std::string_view name : {"areSoundsInaccessible", "setDuration", "setPosition", "getDuration"})
        a.getVariable("Sound").pushString("prototype").op(kGetMember).pushString(name).op(kGetMember).op(kTypeOf).trace();
    call(a, "areSoundsInaccessible").trace();
    call(a, "setPosition", {500}).op(kTypeOf).trace();
    // The methods are read-only: a script's write leaves them.
    a.getVariable("Sound").pushString("prototype").op(kGetMember).pushString("getVolume").pushInt(7).op(kSetMember);
    call(a, "getVolume").trace();
    Played run = play(beepMovie(a), 1);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"function", "function", "function", "function", "false", "undefined",
                                                   "100"}));
}

} // namespace
} // namespace swf::test
