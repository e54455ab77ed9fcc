// Selection in a playing movie: a text field takes the focus and reads as its path,
// the root never does, the focused field's selection is set and replaced, and the
// old and new holders and Selection's listeners hear of each move. Typing into the
// focused input field.

#include "engine/Player.h"
#include "tests/support/GuiApp.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPointF>

#include <cstdlib>
#include <type_traits>

namespace swf {
namespace {

using test::ActionBuilder;
using Lines = std::vector<std::string>;

namespace Op {
constexpr uint8_t SetMember = 0x4F, CallMethod = 0x52, SetVariable = 0x1D, Add2 = 0x47, Pop = 0x17,
                  NewObject = 0x40;
}

// target.method(...) with the `count` arguments already pushed; the result is left on
// the stack.
ActionBuilder& call(ActionBuilder& a, std::string_view target, std::string_view method, int count)
{
    return a.pushInt(count).getVariable(target).pushString(method).op(Op::CallMethod);
}

Lines run(const ActionBuilder& frame)
{
    test::SwfWriter w;
    w.doAction(frame);
    w.showFrame();
    Player player;
    Lines lines;
    player.loadBytes(w.build());
    player.setTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    player.advance();
    return lines;
}

// _root.createTextField("t", 1, 0, 0, 100, 20); t.text = "Input text"
ActionBuilder fieldWithText()
{
    ActionBuilder a;
    a.pushInt(20).pushInt(100).pushInt(0).pushInt(0).pushInt(1).pushString("t");
    call(a, "_root", "createTextField", 6).op(Op::Pop);
    a.getVariable("t").pushString("text").pushString("Input text").op(Op::SetMember);
    return a;
}

TEST(Selection, AFieldTakesTheFocusAndItsSelectionIsReplaced)
{
    ActionBuilder a = fieldWithText();
    a.getVariable("t");
    call(a, "Selection", "setFocus", 1).trace();
    call(a, "Selection", "getFocus", 0).trace();
    call(a, "Selection", "getBeginIndex", 0).trace();
    a.pushInt(3).pushInt(1);
    call(a, "Selection", "setSelection", 2).op(Op::Pop);
    a.pushString("blah");
    call(a, "t", "replaceSel", 1).op(Op::Pop);
    a.getVariable("t").pushString("text").op(0x4E).trace();
    call(a, "Selection", "getBeginIndex", 0).trace();
    call(a, "Selection", "getCaretIndex", 0).trace();
    // setSelection(5, 2): the caret at 2, the selection from 2 to 5.
    a.pushInt(2).pushInt(5);
    call(a, "Selection", "setSelection", 2).op(Op::Pop);
    call(a, "Selection", "getBeginIndex", 0).trace();
    call(a, "Selection", "getEndIndex", 0).trace();
    call(a, "Selection", "getCaretIndex", 0).trace();
    EXPECT_EQ(run(a), (Lines{"true", "_level0.t", "-1", "Iblahut text", "5", "5", "2", "5", "2"}));
}

TEST(Selection, TheRootAndNonObjectsNeverTakeTheFocusButNullClearsIt)
{
    ActionBuilder a = fieldWithText();
    a.getVariable("_root");
    call(a, "Selection", "setFocus", 1).trace();
    a.pushBool(false);
    call(a, "Selection", "setFocus", 1).trace();
    a.pushString("_level0.t");
    call(a, "Selection", "setFocus", 1).trace();
    call(a, "Selection", "getFocus", 0).trace();
    a.pushNull();
    call(a, "Selection", "setFocus", 1).trace();
    call(a, "Selection", "getFocus", 0).trace();
    call(a, "Selection", "getBeginIndex", 0).trace();
    EXPECT_EQ(run(a), (Lines{"false", "false", "true", "_level0.t", "true", "null", "-1"}));
}

TEST(Selection, HoldersAndListenersHearEachMoveOnce)
{
    ActionBuilder a = fieldWithText();
    // t.onSetFocus = function(old) { trace("set " + old); }
    ActionBuilder onSet;
    onSet.pushString("set ").getVariable("old").op(Op::Add2).trace();
    a.defineFunction("onSet", {"old"}, onSet);
    a.getVariable("t").pushString("onSetFocus").getVariable("onSet").op(Op::SetMember);
    ActionBuilder onKill;
    onKill.pushString("kill ").getVariable("next").op(Op::Add2).trace();
    a.defineFunction("onKill", {"next"}, onKill);
    a.getVariable("t").pushString("onKillFocus").getVariable("onKill").op(Op::SetMember);
    // Selection.addListener({onSetFocus: function(o, n) { trace(o + " -> " + n); }})
    ActionBuilder heard;
    heard.getVariable("o").pushString(" -> ").op(Op::Add2).getVariable("n").op(Op::Add2).trace();
    a.defineFunction("heard", {"o", "n"}, heard);
    a.pushString("l").pushInt(0).pushString("Object").op(Op::NewObject).op(Op::SetVariable);
    a.getVariable("l").pushString("onSetFocus").getVariable("heard").op(Op::SetMember);
    a.getVariable("l");
    call(a, "Selection", "addListener", 1).op(Op::Pop);
    a.getVariable("t");
    call(a, "Selection", "setFocus", 1).op(Op::Pop);
    a.getVariable("t");
    call(a, "Selection", "setFocus", 1).op(Op::Pop);  // already there: nobody hears
    a.pushUndefined();
    call(a, "Selection", "setFocus", 1).op(Op::Pop);
    EXPECT_EQ(run(a), (Lines{"set null", "null -> _level0.t", "kill null", "_level0.t -> null"}));
}

// A movie whose input field `t` holds the focus and traces its text on each change;
// `maxChars` 0 for no limit.
struct TypingMovie {
    Player player;
    Lines lines;

    // `extra` runs after the field is set up, before it takes the focus; `afterFocus`
    // once it has it.
    explicit TypingMovie(bool input, int maxChars = 0, bool focused = true, const ActionBuilder& extra = {},
                         const ActionBuilder& afterFocus = {})
    {
        ActionBuilder a = fieldWithText();
        a.getVariable("t").pushString("text").pushString("").op(Op::SetMember);
        if (input)
            a.getVariable("t").pushString("type").pushString("input").op(Op::SetMember);
        if (maxChars > 0)
            a.getVariable("t").pushString("maxChars").pushInt(maxChars).op(Op::SetMember);
        ActionBuilder changed;
        changed.getVariable("field").pushString("text").op(0x4E).trace();
        a.defineFunction("changed", {"field"}, changed);
        a.getVariable("t").pushString("onChanged").getVariable("changed").op(Op::SetMember);
        a.append(extra);
        if (focused) {
            a.getVariable("t");
            call(a, "Selection", "setFocus", 1).op(Op::Pop);
        }
        a.append(afterFocus);
        test::SwfWriter w;
        w.doAction(a);
        w.showFrame();
        player.loadBytes(w.build());
        player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
        player.advance();
    }
    bool type(int code, char32_t character) { return player.keyPress(code, character); }
};

// A clip "c" holding a field "t", a Selection listener tracing each move as
// "old -> new", then `focusOn` given the focus, then `change`, then getFocus traced.
Lines focusLoss(std::string_view focusOn, const ActionBuilder& change)
{
    ActionBuilder a;
    a.pushInt(1).pushString("c");
    call(a, "_root", "createEmptyMovieClip", 2).op(Op::Pop);
    a.getVariable("c").pushString("focusEnabled").pushBool(true).op(Op::SetMember);
    a.pushInt(20).pushInt(100).pushInt(0).pushInt(0).pushInt(1).pushString("t");
    call(a, "c", "createTextField", 6).op(Op::Pop);
    ActionBuilder heard;
    heard.getVariable("o").pushString(" -> ").op(Op::Add2).getVariable("n").op(Op::Add2).trace();
    a.defineFunction("heard", {"o", "n"}, heard);
    a.pushString("l").pushInt(0).pushString("Object").op(Op::NewObject).op(Op::SetVariable);
    a.getVariable("l").pushString("onSetFocus").getVariable("heard").op(Op::SetMember);
    a.getVariable("l");
    call(a, "Selection", "addListener", 1).op(Op::Pop);
    a.getVariable(focusOn);
    call(a, "Selection", "setFocus", 1).op(Op::Pop);
    a.append(change);
    a.trace("after");
    call(a, "Selection", "getFocus", 0).trace();
    return run(a);
}

TEST(Selection, TheFocusLeavesWhatIsRemovedOrHidden)
{
    auto set = [](std::string_view target, std::string_view member, bool value) {
        ActionBuilder a;
        a.getVariable(target).pushString(member).pushBool(value).op(Op::SetMember);
        return a;
    };
    auto callOn = [](std::string_view target, std::string_view method) {
        ActionBuilder a;
        call(a, target, method, 0).op(Op::Pop);
        return a;
    };
    struct Case {
        const char* focusOn;
        ActionBuilder change;
        Lines expected;
    } cases[] = {
        {"c.t", set("c", "_visible", false), {"null -> _level0.c.t", "_level0.c.t -> null", "after", "null"}},
        {"c.t", set("c.t", "_visible", false), {"null -> _level0.c.t", "_level0.c.t -> null", "after", "null"}},
        {"c", set("c", "_visible", false), {"null -> _level0.c", "_level0.c -> null", "after", "null"}},
        // The removed object is still named when the listeners hear of it.
        {"c.t", callOn("c", "removeMovieClip"), {"null -> _level0.c.t", "_level0.c.t -> null", "after", "null"}},
        {"c.t", callOn("c.t", "removeTextField"), {"null -> _level0.c.t", "_level0.c.t -> null", "after", "null"}},
        {"c", callOn("c", "removeMovieClip"), {"null -> _level0.c", "_level0.c -> null", "after", "null"}},
        // Showing, or hiding and removing something else, keeps it.
        {"c.t", set("c", "_visible", true), {"null -> _level0.c.t", "after", "_level0.c.t"}},
        {"c", callOn("c.t", "removeTextField"), {"null -> _level0.c", "after", "_level0.c"}},
        {"c", set("c.t", "_visible", false), {"null -> _level0.c", "after", "_level0.c"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(focusLoss(c.focusOn, c.change), c.expected) << c.focusOn;
}

TEST(Typing, AFocusedInputFieldTakesCharactersAndEditingKeys)
{
    TypingMovie m(true);
    EXPECT_TRUE(m.player.wantsKey(65, U'a'));
    EXPECT_TRUE(m.type(65, U'a'));
    EXPECT_TRUE(m.type(66, U'b'));
    EXPECT_TRUE(m.type(0, U'中'));
    EXPECT_TRUE(m.type(37, 0));  // left: no change, no onChanged
    EXPECT_TRUE(m.type(8, 8));   // backspace removes "b"
    EXPECT_TRUE(m.type(46, 0));  // delete removes "中"
    EXPECT_TRUE(m.type(36, 0));  // home
    EXPECT_TRUE(m.type(88, U'x'));
    EXPECT_TRUE(m.type(13, 13));  // single line: Enter adds nothing
    EXPECT_EQ(m.lines, (Lines{"a", "ab", "ab中", "a中", "a", "xa"}));
}

// A listener object l whose onChanged traces "heard " and the field's text, added to t.
ActionBuilder fieldListener(bool fieldLeavesItsOwnList)
{
    ActionBuilder a;
    ActionBuilder heard;
    heard.pushString("heard ").getVariable("f").pushString("text").op(0x4E).op(Op::Add2).trace();
    a.defineFunction("heard", {"f"}, heard);
    a.pushString("l").pushInt(0).pushString("Object").op(Op::NewObject).op(Op::SetVariable);
    a.getVariable("l").pushString("onChanged").getVariable("heard").op(Op::SetMember);
    a.getVariable("t").pushString("_listeners").op(0x4E).pushString("length").op(0x4E).trace();
    a.getVariable("l");
    call(a, "t", "addListener", 1).op(Op::Pop);
    if (fieldLeavesItsOwnList) {
        a.getVariable("t");
        call(a, "t", "removeListener", 1).op(Op::Pop);
    }
    return a;
}

TEST(Typing, AFieldsListenersHearOnChangedAfterTheFieldItself)
{
    TypingMovie both(true, 0, true, fieldListener(false));
    EXPECT_TRUE(both.type(65, U'a'));
    EXPECT_EQ(both.lines, (Lines{"1", "a", "heard a"}));

    // A field taken off its own list no longer hears its changes; its listeners do.
    TypingMovie others(true, 0, true, fieldListener(true));
    EXPECT_TRUE(others.type(65, U'a'));
    EXPECT_EQ(others.lines, (Lines{"1", "heard a"}));
}

TEST(Typing, RestrictDecidesWhatTypingEnters)
{
    ActionBuilder restrict;
    restrict.getVariable("t").pushString("restrict").pushString("A-Z0-9").op(Op::SetMember);
    TypingMovie m(true, 0, true, restrict);
    EXPECT_TRUE(m.type(65, U'a'));    // taken as A
    m.type(189, U'-');  // refused: no change, no onChanged
    EXPECT_TRUE(m.type(55, U'7'));
    EXPECT_TRUE(m.type(8, 8));        // editing keys are never restricted
    EXPECT_EQ(m.lines, (Lines{"A", "A7", "A"}));
}

TEST(Typing, MaxCharsStopsTyping)
{
    TypingMovie m(true, 2);
    for (char32_t c : {U'a', U'b', U'c'})
        m.type(65, c);
    EXPECT_EQ(m.lines, (Lines{"a", "ab"}));
}

TEST(Typing, APressOnAnInputFieldFocusesItAndAPressElsewhereTakesTheFocusAway)
{
    TypingMovie m(true, 0, false);
    EXPECT_FALSE(m.player.wantsKey(65, U'a'));
    m.player.mouseMove(QPointF(10, 10));  // inside the 100 x 20 field at (0, 0)
    EXPECT_TRUE(m.player.mousePress());
    m.player.mouseRelease();
    EXPECT_TRUE(m.type(65, U'a'));
    m.player.mouseMove(QPointF(300, 300));
    EXPECT_TRUE(m.player.mousePress());
    m.player.mouseRelease();
    EXPECT_FALSE(m.type(66, U'b'));
    EXPECT_EQ(m.lines, Lines{"a"});
}

TEST(Typing, ADynamicFieldWithTheFocusTakesNoKeys)
{
    TypingMovie m(false);
    EXPECT_FALSE(m.player.wantsKey(65, U'a'));
    EXPECT_FALSE(m.type(65, U'a'));
    EXPECT_TRUE(m.lines.empty());
}

TEST(Typing, ComposedTextGoesIntoTheFocusedFieldAsTyping)
{
    ActionBuilder restrict;
    restrict.getVariable("t").pushString("restrict").pushString("^xX").op(Op::SetMember);
    TypingMovie m(true, 4, true, restrict);
    EXPECT_TRUE(m.player.typingFocused());
    EXPECT_TRUE(m.player.commitText("中文"));
    EXPECT_FALSE(m.player.commitText("x"));      // refused by restrict: no onChanged
    EXPECT_TRUE(m.player.commitText("a\nx字"));  // the line break and x are left out
    EXPECT_FALSE(m.player.commitText("b"));      // maxChars 4 reached
    EXPECT_EQ(m.lines, (Lines{"中文", "中文a字"}));

    TypingMovie unfocused(true, 0, false);
    EXPECT_FALSE(unfocused.player.typingFocused());
    EXPECT_FALSE(unfocused.player.commitText("中"));
}

// The window's Copy, Cut and Paste on the focused field: the selection out (nothing
// from a password field), pasted text in as typing, its line breaks kept only where the
// field has more than one line, cut to the room maxChars leaves.
TEST(Typing, CopyCutAndPasteGoThroughTheFocusedField)
{
    const auto set = [](std::string_view member, auto value) {
        ActionBuilder a;
        a.getVariable("t").pushString(member);
        if constexpr (std::is_same_v<decltype(value), bool>)
            a.pushBool(value);
        else
            a.pushString(value);
        return a.op(Op::SetMember);
    };
    ActionBuilder selectHello;
    selectHello.pushInt(5).pushInt(0);
    call(selectHello, "Selection", "setSelection", 2).op(Op::Pop);

    TypingMovie plain(true, 0, true, set("text", "hello world"), selectHello);
    EXPECT_EQ(plain.player.copySelection(false), "hello");
    EXPECT_TRUE(plain.lines.empty());
    EXPECT_EQ(plain.player.copySelection(true), "hello");
    EXPECT_EQ(plain.player.copySelection(false), "");  // nothing selected now
    EXPECT_TRUE(plain.player.pasteText("A\r\nB"));
    EXPECT_EQ(plain.lines, (Lines{" world", "AB world"}));

    ActionBuilder secret = set("text", "hello world");
    secret.append(set("password", true));
    TypingMovie password(true, 0, true, secret, selectHello);
    EXPECT_EQ(password.player.copySelection(true), "");
    EXPECT_TRUE(password.lines.empty());

    TypingMovie lines(true, 0, true, set("multiline", true));
    EXPECT_TRUE(lines.player.pasteText("a\r\nb\nc"));
    TypingMovie limited(true, 4);
    EXPECT_TRUE(limited.player.pasteText("abcdef"));
    EXPECT_FALSE(limited.player.pasteText("g"));
    EXPECT_EQ(lines.lines, Lines{"a\rb\rc"});
    EXPECT_EQ(limited.lines, Lines{"abcd"});

    TypingMovie unfocused(true, 0, false, set("text", "hello"));
    EXPECT_EQ(unfocused.player.copySelection(false), "");
    EXPECT_FALSE(unfocused.player.pasteText("x"));
}

// Input fields a at (200, 0), b at (0, 0), c at (0, 100), d at (0, 150) with
// tabEnabled false, a clip k at (0, 50) acting as a button, a dynamic field e at
// (100, 100), a 40 x 20 box; a Selection listener traces where the focus goes; then `extra` runs.
struct TabMovie {
    Player player;
    Lines lines;
    explicit TabMovie(const ActionBuilder& extra)
    {
        ActionBuilder a;
        const struct {
            const char* name;
            int depth, x, y;
            bool input;
        } fields[] = {{"a", 1, 200, 0, true}, {"b", 2, 0, 0, true}, {"c", 3, 0, 100, true},
                      {"d", 4, 0, 150, true}, {"e", 5, 100, 100, false}};
        for (const auto& f : fields) {
            a.pushInt(20).pushInt(50).pushInt(f.y).pushInt(f.x).pushInt(f.depth).pushString(f.name);
            call(a, "_root", "createTextField", 6).op(Op::Pop);
            if (f.input)
                a.getVariable(f.name).pushString("type").pushString("input").op(Op::SetMember);
        }
        a.getVariable("d").pushString("tabEnabled").pushBool(false).op(Op::SetMember);
        a.pushInt(6).pushString("k");
        call(a, "_root", "createEmptyMovieClip", 2).op(Op::Pop);
        a.getVariable("k").pushString("_y").pushInt(50).op(Op::SetMember);
        // A red 40 x 20 box to show.
        a.pushInt(0xff0000);
        call(a, "k", "beginFill", 1).op(Op::Pop);
        for (auto [x, y] : {std::pair{40, 0}, std::pair{40, 20}, std::pair{0, 20}, std::pair{0, 0}}) {
            a.pushInt(y).pushInt(x);
            call(a, "k", "lineTo", 2).op(Op::Pop);
        }
        call(a, "k", "endFill", 0).op(Op::Pop);
        ActionBuilder press;
        a.defineFunction("press", {}, press);
        a.getVariable("k").pushString("onPress").getVariable("press").op(Op::SetMember);
        ActionBuilder heard;
        heard.pushString("-> ").getVariable("n").op(Op::Add2).trace();
        a.defineFunction("heard", {"o", "n"}, heard);
        a.pushString("l").pushInt(0).pushString("Object").op(Op::NewObject).op(Op::SetVariable);
        a.getVariable("l").pushString("onSetFocus").getVariable("heard").op(Op::SetMember);
        a.getVariable("l");
        call(a, "Selection", "addListener", 1).op(Op::Pop);
        a.append(extra);
        test::SwfWriter w;
        w.doAction(a);
        w.showFrame();
        player.loadBytes(w.build());
        player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
        player.advance();
    }
    void tab(bool back)
    {
        if (back)
            player.keyPress(16, 0);
        EXPECT_TRUE(player.keyPress(9, 9));
        player.keyRelease(9, 9);
        if (back)
            player.keyRelease(16, 0);
    }
};

TEST(TabFocus, TabAndShiftTabVisitTheStopsInOrder)
{
    ActionBuilder custom;
    custom.getVariable("c").pushString("tabIndex").pushInt(1).op(Op::SetMember);
    custom.getVariable("a").pushString("tabIndex").pushInt(2).op(Op::SetMember);
    ActionBuilder noChildren;  // the root's tabChildren false leaves nothing to visit
    noChildren.getVariable("_root").pushString("tabChildren").pushBool(false).op(Op::SetMember);
    struct Case {
        const char* name;
        ActionBuilder extra;
        std::vector<bool> backs;  // one Tab each, true with Shift
        Lines expected;
    } cases[] = {
        // By place: rows from the top, left to right; d and the dynamic e are no stops.
        {"automatic", {}, {false, false, false, false, false, true, true},
         {"-> _level0.b", "-> _level0.a", "-> _level0.k", "-> _level0.c", "-> _level0.b", "-> _level0.c",
          "-> _level0.k"}},
        // With a tabIndex set, only those objects, by their index.
        {"custom", custom, {false, false, false, true}, {"-> _level0.c", "-> _level0.a", "-> _level0.c", "-> _level0.a"}},
        {"from the end", {}, {true}, {"-> _level0.c"}},
    };
    for (const Case& c : cases) {
        TabMovie m(c.extra);
        for (bool back : c.backs)
            m.tab(back);
        EXPECT_EQ(m.lines, c.expected) << c.name;
    }
    TabMovie none(noChildren);
    EXPECT_FALSE(none.player.wantsKey(9, 9));
}

TEST(TabFocus, TheKeyboardsFocusShowsAYellowRectangleUntilAPress)
{
    lanfan::test::ensureGuiApplication();
    TabMovie m({});
    const auto yellowPixels = [&m] {
        QImage image(550, 400, QImage::Format_ARGB32);
        QPainter painter(&image);
        m.player.paint(painter, QRectF(0, 0, 550, 400), ScaleMode::NoScale, RenderQuality::High);
        painter.end();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == qRgb(255, 255, 0);
        return count;
    };
    EXPECT_EQ(yellowPixels(), 0);
    m.tab(false);  // b, a field: its caret shows, no rectangle
    m.tab(false);  // a
    EXPECT_EQ(yellowPixels(), 0);
    m.tab(false);  // k, the clip
    EXPECT_TRUE(m.player.pictureChanged());
    EXPECT_GT(yellowPixels(), 0);
    m.player.mouseMove(QPointF(500, 390));
    m.player.mousePress();
    m.player.mouseRelease();
    EXPECT_EQ(yellowPixels(), 0);
}

// _focusrect: the root's is the player's (null, undefined and values that are no
// number keep it, an object turns it off, other numbers are on unless 0); a field's or
// clip's own is null until set and then a boolean, and null or undefined take it away
// again.
TEST(TabFocus, TheRootsFocusRectIsThePlayersAndObjectsHaveTheirOwn)
{
    const std::pair<ActionBuilder, const char*> rows[] = {
        {ActionBuilder().pushInt(0), "false,false"},
        {ActionBuilder().pushNull(), "false,null"},
        {ActionBuilder().pushString("x"), "false,true"},
        {ActionBuilder().pushString("10"), "true,true"},
        {ActionBuilder().pushUndefined(), "true,null"},
        {ActionBuilder().pushInt(0).pushString("Object").op(Op::NewObject), "false,true"},
    };
    ActionBuilder frame = fieldWithText();
    Lines expected;
    for (const auto& [value, shown] : rows) {
        for (const char* target : {"_root", "t"})
            frame.getVariable(target).pushString("_focusrect").append(value).op(Op::SetMember);
        frame.getVariable("_root").pushString("_focusrect").op(0x4E).pushString(",").op(Op::Add2);
        frame.getVariable("t").pushString("_focusrect").op(0x4E).op(Op::Add2).trace();
        expected.push_back(shown);
    }
    EXPECT_EQ(run(frame), expected);
}

} // namespace
} // namespace swf
