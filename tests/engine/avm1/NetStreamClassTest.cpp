// NetConnection, NetStream and Video as scripts see them, over a fake file: the status
// codes and their order for play, the end, pause, seek and files that cannot be had;
// script tags delivered as the clock passes them; the stream's numbers; the picture a
// video attached to it shows; and the classes missing from movies before version 6.

#include "engine/avm1/Machine.h"
#include "engine/avm1/NetStreamHost.h"
#include "engine/avm1/VideoObject.h"
#include "engine/format/Video.h"

#include <gtest/gtest.h>

#include <map>

namespace swf::avm1 {
namespace {

using Lines = std::vector<std::string>;

// A two-second file: a picture every 0.5 s (key frames at 0 and 1 s), a cue point at
// 1.2 s, sound whose starts and stops are recorded.
class FakeStream final : public OpenedStream {
public:
    explicit FakeStream(Lines& log) : log_(log)
    {
        auto video = std::make_shared<EmbeddedVideo>();
        video->def.width = 64;
        video->def.height = 48;
        video_ = video;
        data::AmfValue meta = data::AmfValue::makeObject();
        meta.members = {{"duration", data::AmfValue::makeNumber(2)}, {"width", data::AmfValue::makeNumber(64)}};
        data::AmfValue cue = data::AmfValue::makeObject();
        cue.members = {{"name", data::AmfValue::makeString("cue1")}, {"time", data::AmfValue::makeNumber(1.2)}};
        tags_ = {{0, "onMetaData", meta}, {1.2, "onCuePoint", cue}};
    }
    double duration() const override { return 2; }
    size_t bytesTotal() const override { return 12345; }
    double frameRate() const override { return 2; }
    double keyFrameAtOrBefore(double seconds) const override { return seconds >= 1 ? 1.0 : 0.0; }
    const std::vector<StreamScriptTag>& scriptTags() const override { return tags_; }
    std::shared_ptr<const EmbeddedVideo> video() const override { return video_; }
    int pictureAt(double seconds) const override { return seconds < 0 ? -1 : std::min(3, int(seconds / 0.5 + 1e-9)); }
    void startSound(double seconds) override { log_.push_back("sound from " + std::to_string(int(seconds * 1000))); }
    void stopSound() override { log_.push_back("sound stop"); }

private:
    Lines& log_;
    std::shared_ptr<const EmbeddedVideo> video_;
    std::vector<StreamScriptTag> tags_;
};

class FakeHost final : public NetStreamHost {
public:
    Lines log;
    std::unique_ptr<OpenedStream> openStream(const std::string& url) override
    {
        log.push_back("open " + url);
        if (url != "movie.flv")
            return nullptr;
        return std::make_unique<FakeStream>(log);
    }
};

// A machine at 10 frames a second with a connected stream `ns` whose onStatus,
// onMetaData and onCuePoint write into `events`.
class NetStreamTest : public ::testing::Test {
protected:
    NetStreamTest() : m(8)
    {
        m.setNetStreamHost(&host);
        Value nc = m.construct(m.getMember(Value(m.global()), "NetConnection"), {});
        const Value none[] = {Value(Null{})};
        m.callMethod(nc, "connect", none);
        const Value ncArg[] = {nc};
        ns = m.construct(m.getMember(Value(m.global()), "NetStream"), ncArg);
        m.global()->put("ns", ns);
        record("onStatus", [this](Machine& machine, std::span<const Value> args) {
            Object* e = args.empty() ? nullptr : args[0].asObject();
            events.push_back(e ? machine.toString(machine.getMember(args[0], "code")) : "(no event)");
        });
        record("onMetaData", [this](Machine& machine, std::span<const Value> args) {
            events.push_back("metadata duration " + machine.toString(machine.getMember(arg(args, 0), "duration")));
        });
        record("onCuePoint", [this](Machine& machine, std::span<const Value> args) {
            events.push_back("cue " + machine.toString(machine.getMember(arg(args, 0), "name")) + " at t=" +
                             machine.toString(machine.getMember(ns, "time")));
        });
    }

    void record(const char* name, std::function<void(Machine&, std::span<const Value>)> f)
    {
        Object* fn = m.newNativeFunction(name, [f](Machine& machine, Value, std::span<const Value> args) {
            f(machine, args);
            return Value();
        });
        ns.asObject()->put(name, Value(fn));
    }

    void call(const char* method, std::initializer_list<Value> args = {})
    {
        std::vector<Value> list(args);
        m.callMethod(ns, method, list);
    }

    void frames(int count)
    {
        for (int i = 0; i < count; ++i)
            m.advanceClock(100);
    }

    double number(const char* name) { return m.toNumber(m.getMember(ns, name)); }

    Machine m;
    FakeHost host;
    Value ns;
    Lines events;
};

TEST_F(NetStreamTest, PlayingToTheEndGivesTheReferenceOrder)
{
    EXPECT_TRUE(m.getMember(ns, "time").isUndefined()) << "no numbers before play";
    call("play", {Value("movie.flv")});
    EXPECT_TRUE(events.empty()) << "events come a frame later";
    frames(1);
    EXPECT_EQ(events, (Lines{"NetStream.Play.Start", "metadata duration 2", "NetStream.Buffer.Full"}));
    EXPECT_EQ(number("time"), 0);
    EXPECT_EQ(number("bytesLoaded"), 12345);
    EXPECT_EQ(number("bytesTotal"), 12345);
    EXPECT_EQ(number("bufferLength"), 2);
    EXPECT_EQ(number("currentFps"), 2);
    events.clear();
    frames(12);
    EXPECT_NEAR(number("time"), 1.2, 1e-9);
    EXPECT_EQ(events, (Lines{"cue cue1 at t=1.2"}));
    events.clear();
    frames(10);
    EXPECT_EQ(events, (Lines{"NetStream.Buffer.Flush", "NetStream.Play.Stop", "NetStream.Buffer.Empty"}));
    EXPECT_EQ(number("time"), 2);
    EXPECT_EQ(number("currentFps"), 0);
    EXPECT_EQ(host.log, (Lines{"open movie.flv", "sound from 0", "sound stop"}));
}

TEST_F(NetStreamTest, PauseTogglesOrIsSetAndHoldsTheClock)
{
    call("play", {Value("movie.flv")});
    frames(4);
    events.clear();
    call("pause");
    frames(5);
    EXPECT_NEAR(number("time"), 0.3, 1e-9);
    call("pause", {Value(true)});  // already paused: nothing new
    call("pause", {Value(false)});
    frames(2);
    EXPECT_NEAR(number("time"), 0.5, 1e-9);
    call("pause");
    frames(1);
    EXPECT_EQ(events, (Lines{"NetStream.Pause.Notify", "NetStream.Unpause.Notify", "NetStream.Pause.Notify"}));
    EXPECT_EQ(host.log, (Lines{"open movie.flv", "sound from 0", "sound stop", "sound from 300", "sound stop"}));
}

TEST_F(NetStreamTest, SeekLandsOnTheKeyFrameAtOrBefore)
{
    call("play", {Value("movie.flv")});
    frames(2);
    events.clear();
    host.log.clear();

    struct Case {
        double to;
        const char* code;
        double landed;
    };
    const Case cases[] = {
        {1.7, "NetStream.Seek.Notify", 1.0},
        {0.4, "NetStream.Seek.Notify", 0.0},
        {1.0, "NetStream.Seek.Notify", 1.0},
        {-3, "NetStream.Seek.Notify", 0.0},
        {5, "NetStream.Seek.InvalidTime", 0.0},  // past the end: stays where it was
    };
    for (const Case& c : cases) {
        events.clear();
        call("seek", {Value(c.to)});
        EXPECT_NEAR(number("time"), c.landed, 1e-9) << c.to;
        m.advanceClock(0);
        ASSERT_FALSE(events.empty()) << c.to;
        EXPECT_EQ(events.front(), c.code) << c.to;
    }
    // A seek back before a cue point delivers it again when the clock passes it.
    call("seek", {Value(1.1)});
    events.clear();
    frames(3);
    EXPECT_EQ(events, (Lines{"NetStream.Seek.Notify", "cue cue1 at t=1.2"}));
}

TEST_F(NetStreamTest, FilesThatCannotBeHadAndStreamsWithoutAConnection)
{
    call("play", {Value("../secret.flv")});
    frames(1);
    EXPECT_EQ(events, (Lines{"NetStream.Play.StreamNotFound"}));
    EXPECT_EQ(number("time"), 0);

    // A stream on a connection that never connected plays nothing.
    Value nc = m.construct(m.getMember(Value(m.global()), "NetConnection"), {});
    const Value ncArg[] = {nc};
    Value lonely = m.construct(m.getMember(Value(m.global()), "NetStream"), ncArg);
    const Value file[] = {Value("movie.flv")};
    m.callMethod(lonely, "play", file);
    EXPECT_EQ(host.log, (Lines{"open ../secret.flv"}));
}

TEST_F(NetStreamTest, BufferTimeIsSetOnlyThroughSetBufferTime)
{
    EXPECT_TRUE(m.getMember(ns, "bufferTime").isUndefined());
    m.setMember(ns, "bufferTime", Value(10));
    EXPECT_TRUE(m.getMember(ns, "bufferTime").isUndefined());
    call("setBufferTime", {Value(20)});
    m.setMember(ns, "bufferTime", Value(10));
    EXPECT_EQ(number("bufferTime"), 20);
}

TEST_F(NetStreamTest, CloseStopsTheClockAndTheSound)
{
    call("play", {Value("movie.flv")});
    frames(3);
    call("close");
    frames(3);
    EXPECT_EQ(number("time"), 0);
    EXPECT_EQ(number("bytesTotal"), 0);
    EXPECT_EQ(host.log.back(), "sound stop");
}

TEST_F(NetStreamTest, AnAttachedVideoShowsThePictureOfTheClock)
{
    Value video = m.construct(m.getMember(Value(m.global()), "Video"), {});
    auto* object = video.asObject()->as<VideoObject>();
    ASSERT_TRUE(object);
    EXPECT_EQ(m.toNumber(m.getMember(video, "width")), 0);
    const Value source[] = {ns};
    m.callMethod(video, "attachVideo", source);
    call("play", {Value("movie.flv")});
    frames(1);
    EXPECT_EQ(object->attachment->pictureOnShow(), 0);
    EXPECT_EQ(m.toNumber(m.getMember(video, "width")), 64);
    EXPECT_EQ(m.toNumber(m.getMember(video, "height")), 48);
    frames(6);
    EXPECT_EQ(object->attachment->pictureOnShow(), 1);
    m.callMethod(video, "clear", {});
    EXPECT_EQ(object->attachment->pictureOnShow(), -1);
    frames(5);
    EXPECT_EQ(object->attachment->pictureOnShow(), 2);

    m.setMember(video, "smoothing", Value(true));
    m.setMember(video, "deblocking", Value(2));
    EXPECT_TRUE(object->attachment->smoothing);
    EXPECT_EQ(object->attachment->deblocking, 2);
    EXPECT_FALSE(video.asObject()->findOwn("smoothing"));

    const Value nothing[] = {Value(Null{})};
    m.callMethod(video, "attachVideo", nothing);
    EXPECT_EQ(object->attachment->pictureOnShow(), -1);
}

TEST(NetConnection, StatusCodesInTheReferenceOrder)
{
    Machine m(8);
    Value nc = m.construct(m.getMember(Value(m.global()), "NetConnection"), {});
    Lines events;
    Object* onStatus = m.newNativeFunction("onStatus", [&](Machine& machine, Value, std::span<const Value> args) {
        events.push_back(args.empty() ? "(none)" : machine.toString(machine.getMember(args[0], "level")) + " " +
                                                       machine.toString(machine.getMember(args[0], "code")));
        return Value();
    });
    nc.asObject()->put("onStatus", Value(onStatus));
    auto connect = [&](Value address) {
        const Value args[] = {address};
        m.callMethod(nc, "connect", args);
    };
    m.callMethod(nc, "close", {});
    EXPECT_TRUE(events.empty());
    connect(Value(Null{}));
    EXPECT_TRUE(m.toBoolean(m.getMember(nc, "isConnected")));
    connect(Value(Null{}));
    EXPECT_EQ(events, (Lines{"status NetConnection.Connect.Success", "status NetConnection.Connect.Closed",
                             "status NetConnection.Connect.Success"}));
    events.clear();
    m.callMethod(nc, "close", {});
    EXPECT_FALSE(m.toBoolean(m.getMember(nc, "isConnected")));
    connect(Value("http://example.org"));
    m.callMethod(nc, "close", {});
    EXPECT_EQ(events, (Lines{"status NetConnection.Connect.Closed", "status NetConnection.Connect.Closed", "(none)"}));
    events.clear();
    // Left alone, a server address is refused a frame later.
    connect(Value("rtmp://example.org/app"));
    EXPECT_TRUE(events.empty());
    m.advanceClock(100);
    m.advanceClock(100);
    EXPECT_EQ(events, (Lines{"error NetConnection.Connect.Failed"}));
    EXPECT_FALSE(m.toBoolean(m.getMember(nc, "isConnected")));
}

TEST(NetClasses, MissingBeforeVersion6)
{
    for (int version : {5, 6}) {
        Machine m(version);
        for (const char* name : {"NetConnection", "NetStream", "Video"})
            EXPECT_EQ(m.getMember(Value(m.global()), name).isUndefined(), version < 6) << name << " " << version;
    }
}

} // namespace
} // namespace swf::avm1
