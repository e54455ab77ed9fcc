// The loading classes against a host of files kept in memory: loads complete only when
// the frame's loads are dispatched (never inside the call), onData hears the text and
// the default handlers parse or decode it, failures reach onLoad(false), and shared
// objects round-trip their data through the .sol format.

#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Loading.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/UrlRequests.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace swf::avm1 {
namespace {

class FakeHost : public LoadHost {
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> notices;
    std::vector<std::string> opened;
    std::optional<data::SharedObjectStore> store;

    std::optional<std::vector<uint8_t>> readFile(const std::string& url) override
    {
        auto it = files.find(url);
        if (it == files.end())
            return std::nullopt;
        return std::vector<uint8_t>(it->second.begin(), it->second.end());
    }
    const data::SharedObjectStore* sharedObjects() override { return store ? &*store : nullptr; }
    void notice(const std::string& line) override { notices.push_back(line); }
    void openUrl(const std::string& url, const std::string& target) override { opened.push_back(url + " " + target); }
    std::vector<std::string> requests;  // each request's lines, joined by "|"
    void requestMade(const data::OutgoingRequest& request) override
    {
        std::string joined;
        for (const std::string& line : data::describeRequest(request))
            joined += (joined.empty() ? "" : "|") + line;
        requests.push_back(joined);
    }
};

struct Fixture {
    Machine m{8};
    FakeHost host;
    std::vector<std::string> events;

    Fixture() { m.setLoadHost(&host); }

    Value make(std::string_view className)
    {
        return m.construct(m.getMember(Value(m.global()), className), {});
    }
    // Sets `name` on `target` to a function that records how it was called.
    void record(const Value& target, const std::string& name)
    {
        m.setMember(target, name, Value(m.newNativeFunction(name, [this, name](Machine& mm, Value, std::span<const Value> args) {
            std::string line = name + "(";
            for (size_t i = 0; i < args.size(); ++i)
                line += (i ? "," : "") + mm.toString(args[i]);
            events.push_back(line + ")");
            return Value();
        })));
    }
    Value call(const Value& target, std::string_view method, std::vector<Value> args = {})
    {
        return m.callMethod(target, method, args);
    }
    std::string str(const Value& v) { return m.toString(v); }
};

TEST(Loading, XmlLoadCompletesOnDispatchAndParses)
{
    Fixture f;
    f.host.files["a.xml"] = "<r><c>hi</c></r>";
    Value xml = f.make("XML");
    f.record(xml, "onLoad");
    EXPECT_TRUE(f.call(xml, "load", {Value("a.xml")}).asBool());
    // Nothing has arrived inside the call.
    EXPECT_TRUE(f.events.empty());
    EXPECT_EQ(f.str(f.m.getMember(xml, "loaded")), "false");
    EXPECT_EQ(f.str(f.call(xml, "getBytesLoaded")), "0");
    EXPECT_EQ(f.str(f.call(xml, "getBytesTotal")), "undefined");
    dispatchLoads(f.m);
    EXPECT_EQ(f.events, (std::vector<std::string>{"onLoad(true)"}));
    EXPECT_EQ(f.str(f.call(xml, "toString")), "<r><c>hi</c></r>");
    EXPECT_EQ(f.str(f.m.getMember(xml, "loaded")), "true");
    EXPECT_EQ(f.str(f.call(xml, "getBytesTotal")), "16");
    // The byte counts cannot be deleted by scripts.
    EXPECT_FALSE(f.m.deleteMember(xml.asObject(), "_bytesLoaded"));
}

TEST(Loading, FailuresAndCustomOnDataHandlers)
{
    Fixture f;
    f.host.files["v.txt"] = "a=1";
    Value missing = f.make("XML");
    f.record(missing, "onLoad");
    f.call(missing, "load", {Value("nowhere.xml")});
    Value custom = f.make("LoadVars");
    f.record(custom, "onData");  // replaces the default: no decoding, no onLoad
    f.record(custom, "onLoad");
    f.call(custom, "load", {Value("v.txt")});
    dispatchLoads(f.m);
    EXPECT_EQ(f.events, (std::vector<std::string>{"onLoad(false)", "onData(a=1)"}));
    EXPECT_EQ(f.str(f.m.getMember(custom, "a")), "undefined");
    // Loading with no address is refused at once.
    EXPECT_FALSE(f.call(custom, "load").asBool());
}

TEST(Loading, LoadVarsDecodesAndWritesBack)
{
    Fixture f;
    f.host.files["vars.txt"] = "\xEF\xBB\xBFname=J%C3%BCrgen&score=10&empty=&x+y=a+b";
    Value lv = f.make("LoadVars");
    f.record(lv, "onLoad");
    f.call(lv, "load", {Value("vars.txt")});
    dispatchLoads(f.m);
    EXPECT_EQ(f.events, (std::vector<std::string>{"onLoad(true)"}));
    EXPECT_EQ(f.str(f.m.getMember(lv, "name")), "J\xC3\xBCrgen");
    EXPECT_EQ(f.str(f.m.getMember(lv, "score")), "10");
    EXPECT_EQ(f.str(f.m.getMember(lv, "x y")), "a b");

    Value out = f.make("LoadVars");
    f.m.setMember(out, "first", Value("a b"));
    f.m.setMember(out, "second", Value("&="));
    // Newest first, as for..in meets the members; all but letters and digits escaped.
    EXPECT_EQ(f.str(f.call(out, "toString")), "second=%26%3D&first=a%20b");
    f.call(out, "decode", {Value("first=x&third=3")});
    EXPECT_EQ(f.str(f.m.getMember(out, "first")), "x");
    EXPECT_EQ(f.str(f.m.getMember(out, "third")), "3");
}

TEST(Loading, SendAndLoadFillsTheTargetAndSendOpensThroughTheHost)
{
    Fixture f;
    f.host.files["reply.txt"] = "ok=yes";
    Value request = f.make("LoadVars");
    Value reply = f.make("LoadVars");
    f.record(reply, "onLoad");
    f.m.setMember(request, "q", Value("1"));
    EXPECT_TRUE(f.call(request, "sendAndLoad", {Value("reply.txt"), reply}).asBool());
    dispatchLoads(f.m);
    EXPECT_EQ(f.str(f.m.getMember(reply, "ok")), "yes");
    f.call(request, "send", {Value("http://example.com/page"), Value("_blank")});
    EXPECT_EQ(f.host.opened, (std::vector<std::string>{"http://example.com/page?q=1 _blank"}));
}

TEST(Loading, LoadedTextEncodings)
{
    const std::vector<uint8_t> utf16le = {0xFF, 0xFE, 'a', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(decodeLoadedText(utf16le), "a\xC3\xA9\xF0\x9F\x98\x80");
    const std::vector<uint8_t> utf16be = {0xFE, 0xFF, 0, 'z'};
    EXPECT_EQ(decodeLoadedText(utf16be), "z");
    const std::vector<uint8_t> plain = {'x', '=', '1'};
    EXPECT_EQ(decodeLoadedText(plain), "x=1");
}

TEST(Loading, MovieClipLoaderBroadcastsToItselfAndListeners)
{
    Fixture f;
    Value loader = f.make("MovieClipLoader");
    Value listener(f.m.newObject());
    f.record(loader, "onLoadError");
    f.record(listener, "onLoadError");
    EXPECT_TRUE(f.call(loader, "addListener", {listener}).asBool());
    // A target that names nothing is refused at once; a missing address is undefined.
    EXPECT_FALSE(f.call(loader, "loadClip", {Value("a.swf"), Value(f.m.newObject())}).asBool());
    EXPECT_FALSE(f.call(loader, "loadClip", {Value(0), Value(0)}).asBool());
    EXPECT_TRUE(f.call(loader, "loadClip", {Value("a.swf")}).isUndefined());
    // A level that exists nowhere still loads; the file is missing, so the error.
    EXPECT_TRUE(f.call(loader, "loadClip", {Value("a.swf"), Value(3)}).asBool());
    dispatchLoads(f.m);
    EXPECT_EQ(f.events, (std::vector<std::string>{"onLoadError(undefined,URLNotFound,0)",
                                                  "onLoadError(undefined,URLNotFound,0)"}));
    EXPECT_TRUE(f.call(loader, "removeListener", {listener}).asBool());
    EXPECT_FALSE(f.call(loader, "removeListener", {listener}).asBool());
}

TEST(Loading, SharedObjectsRoundTripThroughTheirFiles)
{
    const auto home = std::filesystem::temp_directory_path() / ("lanfan-so-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(home);
    {
        Fixture f;
        f.host.store.emplace(home, "/movies/game.swf");
        Value so = f.call(Value(f.m.getMember(Value(f.m.global()), "SharedObject")), "getLocal", {Value("save")});
        ASSERT_TRUE(so.isObject());
        // The same name is the same object.
        EXPECT_EQ(so, f.call(f.m.getMember(Value(f.m.global()), "SharedObject"), "getLocal", {Value("save")}));
        Value data = f.m.getMember(so, "data");
        f.m.setMember(data, "level", Value(3));
        f.m.setMember(data, "name", Value("\xE7\x8E\xA9\xE5\xAE\xB6"));
        Value items(f.m.newArray(std::vector<Value>{Value(1), Value("two")}));
        f.m.setMember(data, "items", items);
        Value inner(f.m.newObject());
        f.m.setMember(inner, "back", inner);  // a cycle is kept as a reference
        f.m.setMember(data, "inner", inner);
        EXPECT_GT(f.m.toNumber(f.call(so, "getSize")), 0);
        EXPECT_TRUE(f.call(so, "flush").asBool());
        // Names with characters a name may not hold give null.
        EXPECT_TRUE(f.call(f.m.getMember(Value(f.m.global()), "SharedObject"), "getLocal", {Value("a:b")}).isNull());
    }
    {
        Fixture f;
        f.host.store.emplace(home, "/movies/game.swf");
        Value so = f.call(f.m.getMember(Value(f.m.global()), "SharedObject"), "getLocal", {Value("save")});
        Value data = f.m.getMember(so, "data");
        EXPECT_EQ(f.str(f.m.getMember(data, "level")), "3");
        EXPECT_EQ(f.str(f.m.getMember(data, "name")), "\xE7\x8E\xA9\xE5\xAE\xB6");
        EXPECT_EQ(f.str(f.m.getMember(data, "items")), "1,two");
        Value inner = f.m.getMember(data, "inner");
        ASSERT_TRUE(inner.isObject());
        EXPECT_EQ(f.m.getMember(inner, "back"), inner);
        EXPECT_TRUE(f.host.notices.empty());
        f.call(so, "clear");
        EXPECT_EQ(f.str(f.m.getMember(f.m.getMember(so, "data"), "level")), "undefined");
    }
    {
        Fixture f;
        f.host.store.emplace(home, "/movies/game.swf");
        Value so = f.call(f.m.getMember(Value(f.m.global()), "SharedObject"), "getLocal", {Value("save")});
        EXPECT_EQ(f.str(f.m.getMember(f.m.getMember(so, "data"), "level")), "undefined");
        // Past the quota a flush is refused, with a notice.
        f.m.setMember(f.m.getMember(so, "data"), "big", Value(std::string(200 * 1024, 'x')));
        EXPECT_FALSE(f.call(so, "flush").asBool());
        EXPECT_EQ(f.host.notices.size(), 1u);
    }
    std::filesystem::remove_all(home);
}

// NetConnection to a remoting gateway: the frame's calls go out together after its
// scripts, as one AMF packet; arrays travel strict when they hold only elements, and
// registered classes typed; the network is refused once, with Call.Failed.
TEST(Loading, RemotingCallsGoOutAsOnePacketAFrame)
{
    Fixture f;
    Value nc = f.make("NetConnection");
    f.record(nc, "onStatus");
    f.call(nc, "connect", {Value("http://localhost:8000/gw")});
    Value cls(f.m.newNativeFunction("Point", [](Machine&, Value, std::span<const Value>) { return Value(); }));
    Value proto(f.m.newObject());
    f.m.setMember(proto, "constructor", cls);
    f.m.setMember(cls, "prototype", proto);
    Value objectClass = f.m.getMember(Value(f.m.global()), "Object");
    f.call(objectClass, "registerClass", {Value("first.Alias"), cls});
    f.call(objectClass, "registerClass", {Value("second.Alias"), cls});
    Value point = f.m.construct(cls, {});
    Value sparse(f.m.newArray());
    f.m.setMember(sparse, "2", Value("c"));
    Value mixed(f.m.newArray(std::vector<Value>{Value(1.0)}));
    f.m.setMember(mixed, "k", Value(true));
    Value responder(f.m.newObject());
    // An object that only borrows the class's prototype is no instance of it.
    Value borrowed(f.m.newObject());
    f.m.setMember(borrowed, "__proto__", proto);
    f.call(nc, "call", {Value("svc.a"), responder, sparse, mixed, point, point, borrowed});
    f.call(nc, "call", {Value("svc.b"), Value(Null{})});
    f.call(nc, "addHeader", {Value("H"), Value(false), Value(2.0)});
    EXPECT_TRUE(f.host.requests.empty());
    f.m.advanceClock(40);
    ASSERT_EQ(f.host.requests.size(), 1u);
    const std::string& packet = f.host.requests[0];
    EXPECT_TRUE(packet.starts_with("Navigator::fetch:|  URL: http://localhost:8000/gw|  Method: POST|"
                                   "  Mime-Type: application/x-amf|  Body: [00, 00, 00, 01, 00, 01, 48, 00"))
        << packet;
    auto hex = [](std::string_view text) {
        std::string out;
        for (unsigned char c : text) {
            char b[5];
            std::snprintf(b, sizeof b, "%02X, ", c);
            out += b;
        }
        return out;
    };
    // The sparse array as three values, the mixed one as an ECMA array of length 1, the
    // object under the alias registered last, then a reference back to it (place 2:
    // the argument list itself takes none).
    EXPECT_NE(packet.find("0A, 00, 00, 00, 05, 0A, 00, 00, 00, 03, 06, 06, 02, 00, 01, 63, 08, 00, 00, 00, 01, "),
              std::string::npos);
    EXPECT_NE(packet.find("10, 00, 0C, " + hex("second.Alias") + "00, 00, 09, 07, 00, 02, 03, 00, 00, 09"),
              std::string::npos);
    // A call with no responder expects no answer.
    EXPECT_NE(packet.find(hex("svc.b") + "00, 04, " + hex("null")), std::string::npos);
    EXPECT_EQ(f.host.notices.size(), 1u);
    f.call(nc, "call", {Value("svc.c"), responder});
    f.m.advanceClock(40);
    EXPECT_EQ(f.host.requests.size(), 2u);
    EXPECT_EQ(f.host.notices.size(), 1u);
    EXPECT_EQ(f.events, (std::vector<std::string>{"onStatus([object Object])", "onStatus([object Object])"}));
}

TEST(Loading, ExternalInterfaceAndSandbox)
{
    Fixture f;
    // Only under its package, as scripts import it.
    EXPECT_TRUE(f.m.getMember(Value(f.m.global()), "ExternalInterface").isUndefined());
    Value ei = f.m.getMember(f.m.getMember(f.m.getMember(Value(f.m.global()), "flash"), "external"), "ExternalInterface");
    EXPECT_EQ(f.str(f.m.getMember(ei, "available")), "false");
    EXPECT_TRUE(f.call(ei, "call", {Value("f")}).isNull());
    const std::pair<const char*, const char*> escapes[] = {
        {"a<b>&'\"", "a&lt;b&gt;&amp;&apos;&quot;"}, {"plain", "plain"}, {"&amp;", "&amp;amp;"}};
    for (const auto& [raw, escaped] : escapes) {
        EXPECT_EQ(f.str(f.call(ei, "_escapeXML", {Value(raw)})), escaped);
        EXPECT_EQ(f.str(f.call(ei, "_unescapeXML", {Value(escaped)})), raw);
    }
    // Only the exact lower-case names decode; empty text is null.
    EXPECT_EQ(f.str(f.call(ei, "_unescapeXML", {Value("a&LT;b&#x20;")})), "a&LT;b&#x20;");
    EXPECT_TRUE(f.call(ei, "_escapeXML", {Value("")}).isNull());
    // Values to the page's XML form: strings escaped (empty text reads "null"),
    // arrays by index, objects in for..in order, functions as null.
    Value list = f.m.newArray(std::vector<Value>{Value(1.5), Value("a<b"), Value("")});
    Value object = f.make("Object");
    f.m.setMember(object, "k", Value(true));
    f.m.setMember(object, "f", f.m.getMember(ei, "call"));
    const std::pair<Value, const char*> toXml[] = {
        {Value(), "<undefined/>"},
        {Value(Null{}), "<null/>"},
        {list, "<array><property id=\"0\"><number>1.5</number></property><property id=\"1\"><string>a&lt;b</string>"
               "</property><property id=\"2\"><string>null</string></property></array>"},
        {object, "<object><property id=\"f\"><null/></property><property id=\"k\"><true/></property></object>"}};
    for (const auto& [value, xml] : toXml)
        EXPECT_EQ(f.str(f.call(ei, "_toXML", {value})), xml);
    EXPECT_EQ(f.str(f.call(ei, "_argumentsToXML", {list})), "<arguments><string>a&lt;b</string><string>null</string></arguments>");
    EXPECT_EQ(f.str(f.call(ei, "_jsQuoteString", {Value("say \"hi\\\"")})), "say \\\"hi\\\\\"");
    // And back: a parsed <array> of typed properties, and names that differ only in case.
    Value doc = f.m.construct(f.m.getMember(Value(f.m.global()), "XML"),
                              std::vector<Value>{Value("<array><property id=\"0\"><number> -2.5</number></property>"
                                                       "<property id=\"1\"><string>s</string></property>"
                                                       "<property id=\"2\"><TRUE/></property></array>")});
    Value back = f.call(ei, "_toAS", {f.m.getMember(doc, "firstChild")});
    EXPECT_EQ(f.str(f.m.getMember(back, "length")), "3");
    EXPECT_EQ(f.str(f.m.getMember(back, "0")), "-2.5");
    EXPECT_EQ(f.str(f.m.getMember(back, "1")), "s");
    EXPECT_TRUE(f.m.getMember(back, "2").isUndefined());
    Value security = f.m.getMember(f.m.getMember(Value(f.m.global()), "System"), "security");
    EXPECT_EQ(f.str(f.m.getMember(security, "sandboxType")), "localWithFile");
    Value a = f.make("LocalConnection");
    Value b = f.make("LocalConnection");
    EXPECT_TRUE(f.call(a, "connect", {Value("chan")}).asBool());
    EXPECT_FALSE(f.call(b, "connect", {Value("CHAN")}).asBool());
    f.call(a, "close");
    EXPECT_TRUE(f.call(b, "connect", {Value("chan")}).asBool());
    // A domain-qualified name cannot be taken; "_chan" is a name of its own.
    EXPECT_FALSE(f.call(a, "connect", {Value("localhost:other")}).asBool());
    EXPECT_TRUE(f.call(a, "connect", {Value("_chan")}).asBool());
    // The sender hears first; a message reaches a name under this movie's domain, but
    // "_chan" takes no prefix, and a name no one held when it was sent stays unheard
    // even if someone takes it before delivery.
    Value sender = f.make("LocalConnection");
    f.m.setMember(sender, "onStatus", Value(f.m.newNativeFunction("onStatus", [&f](Machine& mm, Value, std::span<const Value> args) {
        f.events.push_back(mm.toString(mm.getMember(args[0], "level")));
        return Value();
    })));
    f.record(b, "test");
    f.record(a, "test");
    f.call(sender, "send", {Value("LOCALHOST:chan"), Value("test")});
    f.call(sender, "send", {Value("localhost:_chan"), Value("test")});
    f.call(sender, "send", {Value("later"), Value("test")});
    Value c = f.make("LocalConnection");
    f.call(c, "connect", {Value("later")});
    f.m.advanceClock(40);
    EXPECT_EQ(f.events, (std::vector<std::string>{"status", "test()", "error", "error"}));
}

TEST(Loading, RequestsForTheOutsideAreReportedAsMade)
{
    Fixture f;
    // getURL: "blank" in any spelling is "_blank"; with a method the timeline's
    // variables go too, newest first, then $version.
    Value timeline = f.make("Object");
    f.m.setMember(timeline, "a", Value("x y"));
    f.m.setMember(timeline, "b", Value(2.0));
    requestUrl(f.m, timeline.asObject(), "https://example.com/", "BlAnK", 0x02);
    requestUrl(f.m, timeline.asObject(), "https://example.com/2", "_self", 0);
    ASSERT_EQ(f.host.requests.size(), 2u);
    EXPECT_EQ(f.host.requests[0], "Navigator::navigate_to_url:|  URL: https://example.com/|  Target: _blank|  Method: POST|"
                                  "  Param: b=2|  Param: a=x y|  Param: $version=" + std::string(kPlayerVersion));
    EXPECT_EQ(f.host.requests[1], "Navigator::navigate_to_url:|  URL: https://example.com/2|  Target: _self");
    EXPECT_EQ(f.host.opened, (std::vector<std::string>{"https://example.com/ _blank", "https://example.com/2 _self"}));
    // XMLSocket: the movie's own host when none is named; never connected from disk,
    // with one notice however often it tries.
    f.host.requests.clear();
    Value socket = f.make("XMLSocket");
    EXPECT_FALSE(f.call(socket, "connect", {Value(Null{})}).asBool());
    EXPECT_FALSE(f.call(socket, "connect", {Value("example.com"), Value(1234.0)}).asBool());
    EXPECT_EQ(f.host.requests, (std::vector<std::string>{"Navigator::connect_socket|    Host: localhost; Port: 0",
                                                         "Navigator::connect_socket|    Host: example.com; Port: 1234"}));
    EXPECT_EQ(f.host.notices.size(), 1u);
    // A fetch shows its body byte by byte.
    data::OutgoingRequest fetch;
    fetch.kind = data::OutgoingRequest::Kind::Fetch;
    fetch.url = "http://localhost/";
    fetch.method = "POST";
    fetch.body = {0x00, 0x0A, 0xFF};
    EXPECT_EQ(data::describeRequest(fetch),
              (std::vector<std::string>{"Navigator::fetch:", "  URL: http://localhost/", "  Method: POST", "  Body: [00, 0A, FF]"}));
}

} // namespace
} // namespace swf::avm1
