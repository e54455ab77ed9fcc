// ContextMenu and ContextMenuItem as scripts build menus with them: what a new item and
// a new menu hold (and in which order for..in lists an item's settings), hiding the
// player's own items, and copies that share nothing with their originals.

#include "engine/avm1/Machine.h"

#include <gtest/gtest.h>

namespace swf::avm1 {
namespace {

Value construct(Machine& m, std::string_view className, std::vector<Value> args)
{
    return m.construct(m.getMember(Value(m.global()), className), args);
}

std::string show(Machine& m, const Value& v)
{
    return v.isUndefined() ? "undefined" : m.toString(v);
}

TEST(ContextMenuItem, TakesItsSettingsWithDefaultsAndListsThemLastFirst)
{
    Machine m(8);
    Object* callback = m.newNativeFunction("cb", [](Machine&, Value, std::span<const Value>) { return Value(); });
    struct Case {
        std::vector<Value> args;
        const char* caption;
        bool onSelect, separatorBefore, enabled, visible;
    } cases[] = {
        {{}, "undefined", false, false, true, true},
        {{Value("Play"), Value(callback)}, "Play", true, false, true, true},
        {{Value("Sep"), Value(callback), Value(1.0)}, "Sep", true, true, true, true},
        {{Value("Off"), Value(callback), Value(false), Value(0.0), Value("")}, "Off", true, false, false, false},
    };
    for (const Case& c : cases) {
        const Value item = construct(m, "ContextMenuItem", c.args);
        ASSERT_TRUE(item.isObject());
        EXPECT_EQ(show(m, m.getMember(item, "caption")), c.caption);
        EXPECT_EQ(m.getMember(item, "onSelect").isObject(), c.onSelect) << c.caption;
        EXPECT_EQ(m.getMember(item, "separatorBefore").asBool(), c.separatorBefore) << c.caption;
        EXPECT_EQ(m.getMember(item, "enabled").asBool(), c.enabled) << c.caption;
        EXPECT_EQ(m.getMember(item, "visible").asBool(), c.visible) << c.caption;
    }
    // A long caption is kept whole.
    const std::string longCaption(300, 'x');
    EXPECT_EQ(m.toString(m.getMember(construct(m, "ContextMenuItem", {Value(longCaption)}), "caption")), longCaption);
    // Made in this order, which for..in walks from the last (visible first).
    const Value item = construct(m, "ContextMenuItem", {Value("a")});
    EXPECT_EQ(m.enumerableNames(item.asObject()),
              (std::vector<std::string>{"caption", "onSelect", "separatorBefore", "enabled", "visible"}));
}

TEST(ContextMenu, HoldsTheCallbackItemsAndThePlayersOwnEntries)
{
    Machine m(8);
    Object* callback = m.newNativeFunction("cb", [](Machine&, Value, std::span<const Value>) { return Value(); });
    const Value menu = construct(m, "ContextMenu", {Value(callback)});
    EXPECT_EQ(m.getMember(menu, "onSelect").asObject(), callback);
    EXPECT_EQ(m.toNumber(m.getMember(m.getMember(menu, "customItems"), "length")), 0.0);
    const Value builtIn = m.getMember(menu, "builtInItems");
    const char* entries[] = {"forward_back", "loop", "play", "print", "quality", "rewind", "save", "zoom"};
    for (const char* name : entries)
        EXPECT_TRUE(m.getMember(builtIn, name).asBool()) << name;
    m.callMethod(menu, "hideBuiltInItems", {});
    for (const char* name : entries)
        EXPECT_FALSE(m.getMember(builtIn, name).asBool()) << name;
}

TEST(ContextMenu, CopiesShareNothingWithTheOriginal)
{
    Machine m(8);
    const Value menu = construct(m, "ContextMenu", {});
    const Value item = construct(m, "ContextMenuItem", {Value("One"), Value(), Value(true)});
    const Value pushed[] = {item};
    m.callMethod(m.getMember(menu, "customItems"), "push", pushed);
    m.setMember(m.getMember(menu, "builtInItems"), "zoom", Value(false));

    const Value copy = m.callMethod(menu, "copy", {});
    ASSERT_TRUE(copy.isObject());
    ASSERT_NE(copy.asObject(), menu.asObject());
    EXPECT_FALSE(m.getMember(m.getMember(copy, "builtInItems"), "zoom").asBool());
    EXPECT_TRUE(m.getMember(m.getMember(copy, "builtInItems"), "play").asBool());
    const Value copiedItem = m.getMember(m.getMember(copy, "customItems"), "0");
    ASSERT_TRUE(copiedItem.isObject());
    EXPECT_NE(copiedItem.asObject(), item.asObject());
    EXPECT_EQ(m.toString(m.getMember(copiedItem, "caption")), "One");
    EXPECT_TRUE(m.getMember(copiedItem, "separatorBefore").asBool());

    // Changing the copy leaves the original alone.
    m.setMember(copiedItem, "caption", Value("Two"));
    m.setMember(m.getMember(copy, "builtInItems"), "play", Value(false));
    EXPECT_EQ(m.toString(m.getMember(item, "caption")), "One");
    EXPECT_TRUE(m.getMember(m.getMember(menu, "builtInItems"), "play").asBool());
}

} // namespace
} // namespace swf::avm1
