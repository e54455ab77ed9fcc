// Target paths as tellTarget, GetProperty and GetVariable read them, by SWF version:
// which characters separate names, ".." and _levelN, children before variables, and
// the notice when a path meets a string. (The corpus cases target_paths/swf4..6 and
// path_string walk many more paths.)

#include "MovieFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kTrace = 0x26, kGetProperty = 0x22, kTypeOf = 0x44, kSetMember = 0x4F, kDefineLocal = 0x3C;
constexpr uint16_t kChild = 2, kOuter = 3;
constexpr const char* kNotice = "Parameters of primitive types are no longer coerced into the required type - Object.";

test::Place named(uint16_t depth, uint16_t character, std::string name)
{
    test::Place p = placeAt(depth, character);
    p.name = std::move(name);
    return p;
}

// The root holds the clip "a" (with its clip "child") and the variable root_var = 5;
// a.variable is "value". For `path`: GetProperty(path, _name), then typeof eval(path).
Lines probe(int version, const std::string& path)
{
    test::MovieOptions options;
    options.version = version;
    test::SwfWriter movie(options);
    test::TagStream child;
    child.showFrame();
    movie.defineSprite(kChild, 1, child);
    test::TagStream outer;
    outer.placeObject2(named(1, kChild, "child")).showFrame();
    movie.defineSprite(kOuter, 1, outer);
    ActionBuilder script;
    script.pushString("root_var").pushInt(5).op(kDefineLocal);
    script.getVariable("a").pushString("variable").pushString("value").op(kSetMember);
    script.pushString(path).pushInt(13).op(kGetProperty).op(kTrace);
    script.getVariable(path).op(kTypeOf).op(kTrace);
    movie.placeObject2(named(1, kOuter, "a")).doAction(script).showFrame();
    Running run(movie);
    run.step();
    return run.traces;
}

struct Case {
    std::string path;
    Lines expected;  // the clip's _name (undefined: no clip), then what eval gives
};

TEST(TargetPaths, NamesAreSeparatedBySlashesColonsAndDotsBeforeTheFirstSlash)
{
    const Case cases[] = {
        {"/", {"", "movieclip"}},
        {"//", {"undefined", "undefined"}},              // an empty name between slashes
        {"a/", {"a", "movieclip"}},
        {"a/..", {"", "undefined"}},                     // eval takes "a/." and "" apart at the dot
        {"a/..:a", {"a", "movieclip"}},
        {"../a", {"undefined", "undefined"}},            // the root has no parent
        {"a.child", {"child", "movieclip"}},
        {"_level0/a.child", {"undefined", "movieclip"}},  // after a slash "a.child" is one name
        {"_level0:a.child", {"child", "movieclip"}},
        {"_level0.a/child", {"child", "undefined"}},     // eval reads "a/child" of _level0
        {"_level0/::a", {"a", "undefined"}},             // empty names between colons pass
        {"_level0/:a:_level0", {"", "movieclip"}},       // _levelN anywhere on the way
        {"_flash0/a", {"a", "movieclip"}},               // an older name of the levels
        {"_level0...", {"", "undefined"}},
        {"this", {"undefined", "movieclip"}},            // no variable of the target
        {":root_var", {kNotice, "undefined", "undefined"}},  // eval: an empty path is none
        {"a:variable", {kNotice, "undefined", "string"}},
        {"/:root_var", {kNotice, "undefined", "number"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(probe(6, c.path), c.expected) << "path '" << c.path << "'";
}

TEST(TargetPaths, Swf4KnowsOnlySlashesAndReadsNoClipAsAValue)
{
    const Case cases[] = {
        {"a", {"a", "undefined"}},
        {"/a/child", {"child", "undefined"}},
        {"a:child", {"undefined", "undefined"}},  // one name, "a:child"
        {"a.child", {"undefined", "undefined"}},
        {"_level0:a:child", {"", "undefined"}},   // a level's digits end at the colon
        {"_root", {"undefined", "undefined"}},
        {"a/..", {"", "undefined"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(probe(4, c.path), c.expected) << "path '" << c.path << "'";
}

} // namespace
