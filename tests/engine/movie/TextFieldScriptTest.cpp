// Text fields as scripts see them: a field placed from a DefineEditText and one made by
// createTextField, their properties read and written, variable binding, removal, and
// what the render tree then holds.

#include "MovieFixture.h"
#include "engine/format/EditText.h"
#include "engine/movie/RenderTreeBuilder.h"
#include "engine/render/TextFieldLook.h"
#include "tests/support/GuiApp.h"
#include "tests/support/TextWriter.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <variant>

namespace {

using namespace swf;
using namespace swf::movie;
using namespace swf::movie::testing;
using namespace lanfan::test;
using test::ActionBuilder;
using Lines = std::vector<std::string>;

constexpr uint8_t kTrace = 0x26, kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kTypeOf = 0x44,
                  kSetVariable = 0x1D;

using Arg = std::variant<double, std::string, bool>;

void push(ActionBuilder& a, const Arg& v)
{
    if (auto* n = std::get_if<double>(&v))
        a.pushNumber(*n);
    else if (auto* s = std::get_if<std::string>(&v))
        a.pushString(*s);
    else
        a.pushBool(std::get<bool>(v));
}

// trace(target.member)
void traceMember(ActionBuilder& a, std::string_view target, std::string_view member)
{
    a.getVariable(target).pushString(member).op(kGetMember).op(kTrace);
}

// target.member = value
void setMember(ActionBuilder& a, std::string_view target, std::string_view member, const Arg& value)
{
    a.getVariable(target).pushString(member);
    push(a, value);
    a.op(kSetMember);
}

// target.method(args...), the result dropped.
void call(ActionBuilder& a, std::string_view target, std::string_view method, std::vector<Arg> args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        push(a, *it);
    a.pushInt(static_cast<int32_t>(args.size())).getVariable(target).pushString(method).op(kCallMethod).pop();
}

EditTextDef redBorderedField()
{
    EditTextDef field;
    field.bounds = {0, 2000, 0, 400};  // 100 x 20 px
    field.initialText = "hello";
    field.color = Rgba{255, 0, 0, 255};
    field.border = true;
    field.maxLength = 12;
    return field;
}

// A movie placing `field` as "field" at depth 1, with one frame script per frame.
test::SwfWriter movieWith(const EditTextDef& field, std::vector<ActionBuilder> frames)
{
    test::SwfWriter movie;
    movie.tag(37, withId(1, encodeDefineEditText(field)));
    test::Place place;
    place.depth = 1;
    place.characterId = 1;
    place.name = "field";
    place.matrix = Matrix{};
    movie.placeObject2(place);
    for (ActionBuilder& script : frames)
        movie.doAction(script).showFrame();
    return movie;
}

const render::RenderNode* nodeAt(const render::RenderNode& tree, uint16_t depth)
{
    for (const render::RenderNode& n : tree.children) {
        if (n.depth == depth)
            return &n;
    }
    return nullptr;
}

TEST(TextFieldScript, APlacedFieldIsAnObjectWithItsDefinitionsValues)
{
    ActionBuilder a;
    a.getVariable("field").op(kTypeOf).op(kTrace);
    a.getVariable("field").op(kTrace);
    for (const char* p : {"text", "length", "textColor", "border", "background", "borderColor", "backgroundColor",
                          "maxChars", "type", "variable", "autoSize", "html", "multiline", "selectable", "password"})
        traceMember(a, "field", p);
    Running run(movieWith(redBorderedField(), {a}));
    run.step();
    EXPECT_EQ(run.traces, (Lines{"object", "_level0.field", "hello", "5", "16711680", "true", "true", "0", "16777215",
                                 "12", "input", "null", "none", "false", "false", "true", "false"}));
}

TEST(TextFieldScript, WritesAreConvertedAsTheReferenceDoes)
{
    ActionBuilder a;
    setMember(a, "field", "textColor", -1.0);
    traceMember(a, "field", "textColor");
    setMember(a, "field", "borderColor", 2164228096.0);  // 0x80FF8000: the top byte goes
    traceMember(a, "field", "borderColor");
    setMember(a, "field", "backgroundColor", std::string("junk"));
    traceMember(a, "field", "backgroundColor");
    setMember(a, "field", "type", std::string("bogus"));
    traceMember(a, "field", "type");
    setMember(a, "field", "type", std::string("dynamic"));
    traceMember(a, "field", "type");
    setMember(a, "field", "maxChars", 0.0);
    traceMember(a, "field", "maxChars");
    setMember(a, "field", "autoSize", true);
    traceMember(a, "field", "autoSize");
    setMember(a, "field", "autoSize", std::string("right"));
    traceMember(a, "field", "autoSize");
    setMember(a, "field", "autoSize", std::string("sideways"));
    traceMember(a, "field", "autoSize");
    setMember(a, "field", "length", 99.0);  // read-only
    traceMember(a, "field", "length");
    setMember(a, "field", "text", 12.5);
    traceMember(a, "field", "text");
    setMember(a, "field", "variable", std::string("v"));
    traceMember(a, "field", "variable");
    Running run(movieWith(redBorderedField(), {a}));
    run.step();
    EXPECT_EQ(run.traces, (Lines{"16777215", "16744448", "0", "input", "dynamic", "null", "left", "right", "none",
                                 "5", "12.5", "v"}));
}

TEST(TextFieldScript, HtmlTextKeepsItsFormatsAndReadsBackWrappedInTheFieldsFormat)
{
    ActionBuilder a;
    setMember(a, "field", "htmlText", std::string("<b>not html</b>"));
    traceMember(a, "field", "text");  // a plain field takes markup as characters
    setMember(a, "field", "html", true);
    setMember(a, "field", "textColor", 0x0000FF * 1.0);
    setMember(a, "field", "htmlText", std::string("<p>one</p><p>two &amp; <i>three</i></p>"));
    traceMember(a, "field", "length");
    traceMember(a, "field", "htmlText");
    Running run(movieWith(redBorderedField(), {a}));
    run.step();
    const std::string font = R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#0000FF" LETTERSPACING="0" KERNING="0">)";
    // A single-line field of a newer movie runs the paragraphs together.
    EXPECT_EQ(run.traces, (Lines{"<b>not html</b>", "14",
                                 R"(<P ALIGN="LEFT">)" + font + "onetwo &amp; <I>three</I></FONT></P>"}));
}

TEST(TextFieldScript, DisplayPropertiesMoveAndSizeTheBoxNotTheText)
{
    ActionBuilder a;
    setMember(a, "field", "_x", 10.0);
    setMember(a, "field", "_width", 50.0);
    for (const char* p : {"_x", "_width", "_xscale", "_height", "_name", "_target", "_parent"})
        traceMember(a, "field", p);
    setMember(a, "field", "_xscale", 200.0);
    traceMember(a, "field", "_width");
    // The box takes the width as given, and shows scaled; turned, its other side reads.
    setMember(a, "field", "_width", 30.0);
    traceMember(a, "field", "_width");
    setMember(a, "field", "_rotation", 90.0);
    traceMember(a, "field", "_width");
    setMember(a, "field", "_width", std::numeric_limits<double>::quiet_NaN());
    setMember(a, "field", "_alpha", 50.0);
    setMember(a, "field", "_visible", false);
    traceMember(a, "field", "_width");
    traceMember(a, "field", "_alpha");
    traceMember(a, "field", "_visible");
    call(a, "field", "getDepth", {});
    a.pushInt(0).getVariable("field").pushString("getDepth").op(kCallMethod).op(kTrace);
    Running run(movieWith(redBorderedField(), {a}));
    run.step();
    EXPECT_EQ(run.traces, (Lines{"10", "50", "100", "20", "field", "/field", "_level0", "100", "60", "20", "20", "50",
                                 "false", "-16383"}));
    const render::RenderNode* node = nodeAt(buildRenderTree(run.root), 1);
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->textField, nullptr);
    EXPECT_EQ(node->textField->bounds.width(), 600);  // 30 px, whatever the scale
    EXPECT_FALSE(node->visible);
}

TEST(TextFieldScript, ABoxStartingBeforeTheOriginPutsItsCornerAtXAndY)
{
    // The box starts 2 px left of and above the field's origin; the field is placed at
    // (50, 30), shown four times as wide.
    EditTextDef field = redBorderedField();
    field.bounds = {-40, 1960, -40, 360};
    test::SwfWriter movie;
    movie.tag(37, withId(1, encodeDefineEditText(field)));
    test::Place place;
    place.depth = 1;
    place.characterId = 1;
    place.name = "field";
    place.matrix = Matrix{4, 0, 0, 1, 1000, 600};
    movie.placeObject2(place);
    ActionBuilder a;
    traceMember(a, "field", "_x");
    traceMember(a, "field", "_y");
    // Setting places the corner; undefined leaves the field where it is.
    setMember(a, "field", "_x", 100.0);
    setMember(a, "field", "_y", 7.5);
    traceMember(a, "field", "_x");
    traceMember(a, "field", "_y");
    a.getVariable("field").pushString("_x").pushUndefined().op(kSetMember);
    traceMember(a, "field", "_x");
    movie.doAction(a).showFrame();
    Running run(movie);
    run.step();
    EXPECT_EQ(run.traces, (Lines{"42", "28", "100", "7.5", "100"}));
    const render::RenderNode* node = nodeAt(buildRenderTree(run.root), 1);
    ASSERT_NE(node, nullptr);
    EXPECT_DOUBLE_EQ(node->matrix.tx, 2000 + 160);  // the origin 8 px right of the corner
    EXPECT_DOUBLE_EQ(node->matrix.ty, 150 + 40);
}

TEST(TextFieldScript, AFieldAScriptMovedNoLongerFollowsTheTimeline)
{
    // Frame 1's script sets _x to 7; frame 2 moves depth 1 to x = 100 px.
    ActionBuilder first;
    setMember(first, "field", "_x", 7.0);
    test::SwfWriter movie;
    movie.tag(37, withId(1, encodeDefineEditText(redBorderedField())));
    test::Place place;
    place.depth = 1;
    place.characterId = 1;
    place.name = "field";
    place.matrix = Matrix{};
    movie.placeObject2(place).doAction(first).showFrame();
    test::Place move;
    move.depth = 1;
    move.move = true;
    move.matrix = Matrix{1, 0, 0, 1, 2000, 0};
    ActionBuilder second;
    traceMember(second, "field", "_x");
    movie.placeObject2(move).doAction(second).showFrame();
    Running run(movie);
    run.step(2);
    EXPECT_EQ(run.traces, (Lines{"7"}));
}

TEST(TextFieldScript, CreateTextFieldMakesAnEmptyDynamicFieldWithTheReferenceDefaults)
{
    ActionBuilder a;
    call(a, "_root", "createTextField", {std::string("made"), 5.0, 10.0, 20.0, 100.0, 40.0});
    a.getVariable("made").op(kTypeOf).op(kTrace);
    a.getVariable("made").op(kTrace);
    for (const char* p : {"text", "textColor", "border", "background", "borderColor", "backgroundColor", "type",
                          "autoSize", "maxChars", "variable", "selectable", "multiline", "wordWrap", "html", "_x",
                          "_y", "_width", "_height"})
        traceMember(a, "made", p);
    a.pushInt(0).getVariable("made").pushString("getDepth").op(kCallMethod).op(kTrace);
    // What a script cannot make: a depth below the script range; nonsense sizes are tamed.
    call(a, "_root", "createTextField", {std::string("low"), -20000.0, 0.0, 0.0, 10.0, 10.0});
    a.getVariable("low").op(kTypeOf).op(kTrace);
    call(a, "_root", "createTextField",
         {std::string("wild"), 6.0, std::numeric_limits<double>::quiet_NaN(), 1e300, -5.0, 1e308});
    traceMember(a, "wild", "_x");
    traceMember(a, "wild", "_width");
    Running run(movieWith(redBorderedField(), {a}));
    run.step();
    EXPECT_EQ(run.traces, (Lines{"object", "_level0.made", "", "0", "false", "false", "0", "16777215", "dynamic",
                                 "none", "null", "null", "true", "false", "false", "false", "10", "20", "100", "40",
                                 "5", "undefined", "0", "0"}));
    const render::RenderNode* node = nodeAt(buildRenderTree(run.root), 16384 + 5);
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->textField, nullptr);
    EXPECT_EQ(node->textField->bounds, (Rect{0, 2000, 0, 800}));
    EXPECT_FALSE(node->textField->border);
    EXPECT_EQ(node->matrix.tx, 200);
}

TEST(TextFieldScript, ABoundFieldShowsItsVariableAndWritesItsText)
{
    EditTextDef field = redBorderedField();
    field.variableName = "v";
    ActionBuilder frame1, frame2, frame3;
    frame2.getVariable("v").op(kTrace);  // the field's text started the variable
    frame2.pushString("v").pushNumber(42).op(kSetVariable);
    traceMember(frame3, "field", "text");
    setMember(frame3, "field", "text", std::string("typed"));
    frame3.getVariable("v").op(kTrace);
    frame3.stop();
    Running run(movieWith(field, {frame1, frame2, frame3}));
    run.step(3);
    EXPECT_EQ(run.traces, (Lines{"hello", "42", "typed"}));
    const render::RenderNode* node = nodeAt(buildRenderTree(run.root), 1);
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->textField, nullptr);
    EXPECT_EQ(node->textField->text, "typed");
    // Frames later, with the script objects swept in between, the binding still holds.
    run.step(70);
    EXPECT_EQ(nodeAt(buildRenderTree(run.root), 1)->textField->text, "typed");
}

TEST(TextFieldScript, ABoundFieldKeepsTextItsReadOnlyVariableWouldNotTake)
{
    constexpr uint8_t kCallFunction = 0x3D, kPop = 0x17;
    EditTextDef field = redBorderedField();
    field.variableName = "v";
    ActionBuilder frame1, frame2;
    // ASSetPropFlags(_root, "v", 4): the variable becomes read-only.
    frame2.pushInt(4).pushString("v").getVariable("_root").pushInt(3).pushString("ASSetPropFlags")
        .op(kCallFunction).op(kPop);
    setMember(frame2, "field", "text", std::string("typed"));
    frame2.getVariable("v").op(kTrace);
    traceMember(frame2, "field", "text");
    frame2.stop();
    Running run(movieWith(field, {frame1, frame2}));
    run.step(2);
    EXPECT_EQ(run.traces, (Lines{"hello", "typed"}));
}

TEST(TextFieldScript, AFieldDefinedWithoutTextLeavesItsVariableUnsetAndItsBoxMeasuresItsClip)
{
    EditTextDef field = redBorderedField();
    field.variableName = "v";
    field.initialText.reset();
    ActionBuilder frame1, frame2;
    frame1.getVariable("v").op(kTypeOf).op(kTrace);
    frame2.getVariable("v").op(kTypeOf).op(kTrace);  // still unset a frame on
    setMember(frame2, "field", "text", std::string("x"));
    frame2.getVariable("v").op(kTrace);
    traceMember(frame2, "_root", "_width");  // the root holds only the field's box
    traceMember(frame2, "_root", "_height");
    frame2.stop();
    Running run(movieWith(field, {frame1, frame2}));
    run.step(2);
    EXPECT_EQ(run.traces, (Lines{"undefined", "undefined", "x", "100", "20"}));
}

TEST(TextFieldScript, ABoundFieldBindsAsItAppearsAndWhenItsVariableIsRenamed)
{
    EditTextDef field = redBorderedField();
    field.variableName = "v";
    test::SwfWriter movie;
    movie.tag(37, withId(1, encodeDefineEditText(field)));
    ActionBuilder first, second;
    first.pushString("v").pushString("preset").op(kSetVariable);
    movie.doAction(first).showFrame();
    test::Place place;
    place.depth = 1;
    place.characterId = 1;
    place.name = "field";
    place.matrix = Matrix{};
    movie.placeObject2(place);
    traceMember(second, "field", "text");  // the variable, in the frame the field appears
    second.pushString("v").pushString("set").op(kSetVariable);
    traceMember(second, "field", "text");  // the variable's new value, before the frame ends
    setMember(second, "field", "variable", std::string("w"));
    traceMember(second, "field", "text");  // an unset variable takes the defined text
    second.getVariable("w").op(kTrace);
    second.getVariable("v").op(kTrace);  // the old variable keeps its value
    second.stop();
    movie.doAction(second).showFrame();
    Running run(movie);
    run.step(2);
    EXPECT_EQ(run.traces, (Lines{"preset", "set", "hello", "hello", "set"}));
}

TEST(TextFieldScript, AnAutoSizedFieldFitsItsBoxKeepingTheSideItsModeNames)
{
    ensureGuiApplication();
    // An emptied 100 x 20 px field keeps only its 2 px gutter on each side.
    struct Case {
        const char* mode;
        Lines traces;  // _x, _width, _height
    } cases[] = {
        {"left", {"0", "4", "4"}},
        {"right", {"96", "4", "4"}},
        {"center", {"48", "4", "4"}},
        {"none", {"0", "100", "20"}},
    };
    for (const Case& c : cases) {
        ActionBuilder a;
        setMember(a, "field", "text", std::string());
        setMember(a, "field", "autoSize", std::string(c.mode));
        for (const char* p : {"_x", "_width", "_height"})
            traceMember(a, "field", p);
        a.stop();
        Running run(movieWith(redBorderedField(), {a}));
        run.step();
        EXPECT_EQ(run.traces, c.traces) << c.mode;
    }
}

TEST(TextFieldScript, AFieldTheTimelinePlacesFitsItsTextWithoutAScript)
{
    ensureGuiApplication();
    // Its variable's text refits it too: emptied, only the 2 px gutters are left.
    EditTextDef field = redBorderedField();
    field.autoSize = true;
    field.variableName = "v";
    ActionBuilder first, second;
    second.pushString("v").pushString("").op(kSetVariable);
    second.stop();
    Running run(movieWith(field, {first, second}));
    run.step();
    const render::RenderNode* placed = nodeAt(buildRenderTree(run.root), 1);
    ASSERT_NE(placed, nullptr);
    ASSERT_NE(placed->textField, nullptr);
    EXPECT_GT(placed->textField->bounds.height(), 80);  // "hello" and its gutters
    EXPECT_LT(placed->textField->bounds.width(), 2000);  // narrower than the defined 100 px
    run.step(2);
    const render::RenderNode* emptied = nodeAt(buildRenderTree(run.root), 1);
    ASSERT_NE(emptied, nullptr);
    EXPECT_EQ(emptied->textField->bounds.height(), 80);
    EXPECT_EQ(emptied->textField->bounds.width(), 80);
}

TEST(TextFieldScript, ARemovedFieldLeavesItsObjectHarmless)
{
    ActionBuilder a;
    call(a, "_root", "createTextField", {std::string("gone"), 3.0, 0.0, 0.0, 50.0, 50.0});
    a.pushString("keep").getVariable("gone").op(kSetVariable);
    call(a, "gone", "removeTextField", {});
    a.getVariable("gone").op(kTypeOf).op(kTrace);
    traceMember(a, "keep", "text");
    traceMember(a, "keep", "_x");
    setMember(a, "keep", "text", std::string("after"));
    setMember(a, "keep", "_x", 5.0);
    call(a, "keep", "removeTextField", {});
    // A field the timeline placed is not the script's to remove.
    call(a, "field", "removeTextField", {});
    traceMember(a, "field", "text");
    Running run(movieWith(redBorderedField(), {a}));
    run.step();
    EXPECT_EQ(run.traces, (Lines{"undefined", "undefined", "undefined", "hello"}));
    render::RenderNode tree = buildRenderTree(run.root);
    EXPECT_EQ(nodeAt(tree, 16384 + 3), nullptr);
    EXPECT_NE(nodeAt(tree, 1), nullptr);
}

TEST(TextFieldScript, ScriptChangesReachTheRenderTreeWithoutTouchingTheDefinition)
{
    ActionBuilder a;
    setMember(a, "field", "text", std::string("changed"));
    setMember(a, "field", "border", false);
    setMember(a, "field", "background", true);
    setMember(a, "field", "backgroundColor", 0x336699 * 1.0);
    Running run(movieWith(redBorderedField(), {a}));
    run.step();
    const render::RenderNode* node = nodeAt(buildRenderTree(run.root), 1);
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->textField, nullptr);
    EXPECT_EQ(node->textField->text, "changed");
    EXPECT_FALSE(node->textField->border);
    EXPECT_TRUE(node->textField->background);
    EXPECT_EQ(node->textField->backgroundColor, (Rgba{0x33, 0x66, 0x99, 255}));
    EXPECT_EQ(run.movie->character(1)->editText->initialText, "hello");
}

} // namespace
