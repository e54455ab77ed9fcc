// Keys in the player window: the control is offered each key first and takes it only
// when the movie listens for it (a Key listener, a button's key condition); other keys,
// and those held with Ctrl or Alt, still reach the window's shortcuts. Also the
// mapping of window keys to the movie's key codes and characters.

#include "tests/app/MainFormFixture.h"

#include "app/player/EngineControl.h"
#include "app/player/FlashKeys.h"
#include "app/player/TShockwaveFlash.h"
#include "engine/format/Button.h"
#include "tests/support/ButtonWriter.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTemporaryDir>

using namespace lanfan;

namespace {

using swf::test::ActionBuilder;

namespace Op {
constexpr uint8_t SetMember = 0x4F, CallMethod = 0x52, SetVariable = 0x1D, Add2 = 0x47, Pop = 0x17,
                  NewObject = 0x40;
}

QByteArray bytesOf(const swf::test::SwfWriter& movie)
{
    auto bytes = movie.build();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// Stops on frame 1; a Key listener traces "key <code>,<character>" for each press.
QByteArray keyListenerMovie()
{
    swf::test::SwfWriter w;
    ActionBuilder onDown;
    onDown.pushString("key ")
        .pushInt(0)
        .getVariable("Key")
        .pushString("getCode")
        .op(Op::CallMethod)
        .op(Op::Add2)
        .pushString(",")
        .op(Op::Add2)
        .pushInt(0)
        .getVariable("Key")
        .pushString("getAscii")
        .op(Op::CallMethod)
        .op(Op::Add2)
        .trace();
    ActionBuilder frame;
    frame.pushString("l").pushInt(0).pushString("Object").op(Op::NewObject).op(Op::SetVariable);
    frame.defineFunction("onDown", {}, onDown);
    frame.getVariable("l").pushString("onKeyDown").getVariable("onDown").op(Op::SetMember);
    frame.getVariable("l").pushInt(1).getVariable("Key").pushString("addListener").op(Op::CallMethod).op(Op::Pop);
    frame.stop();
    w.doAction(frame);
    w.showFrame();
    w.showFrame();
    return bytesOf(w);
}

// Stops on frame 1; a button runs "pressed x" for the X key and nothing else.
QByteArray buttonKeyMovie()
{
    swf::test::SwfWriter w;
    swf::test::defineFilledRect(w, 1, {0, 400, 0, 400}, {0, 0, 0, 255});
    swf::test::defineButton2(w, 2, {{swf::kButtonUp | swf::kButtonHitTest, 1, 1, {}, {}}},
                             {{0, 'x', ActionBuilder().trace("pressed x")}});
    w.placeObject(2, 1);
    w.doAction(ActionBuilder().stop());
    w.showFrame();
    w.showFrame();
    return bytesOf(w);
}

class EngineControlKeys : public test::MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        setPlayerControlFactory([] { return std::make_unique<EngineControl>(); });
    }
    // Opens `movie` in a shown main window, stopped on its first frame (whose script
    // has run).
    EngineControl& open(const QByteArray& movie)
    {
        QString path = dir.filePath(QStringLiteral("键盘.swf"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(movie);
        f.close();
        TMainForm& f1 = build();
        f1.ShockwaveFlash1->SetMovie(path);
        auto* engine = dynamic_cast<EngineControl*>(f1.ShockwaveFlash1->control());
        EXPECT_NE(engine, nullptr);
        engine->player().setTraceSink([this](const std::string& line) { traces.push_back(line); });
        f1.ShockwaveFlash1->StopPlayback();
        f1.ShockwaveFlash1->setFocus();
        return *engine;
    }

    QTemporaryDir dir;
    std::vector<std::string> traces;
};

TEST_F(EngineControlKeys, AKeyListenerTakesKeysBeforeTheShortcuts)
{
    EngineControl& engine = open(keyListenerMovie());
    ASSERT_FALSE(engine.Playing());
    QTest::keyClick(form->ShockwaveFlash1, Qt::Key_Left);
    QTest::keyClick(form->ShockwaveFlash1, Qt::Key_A);
    // Enter is the window's play shortcut; the movie listening takes it instead.
    QTest::keyClick(form->ShockwaveFlash1, Qt::Key_Return);
    EXPECT_EQ(traces, (std::vector<std::string>{"key 37,0", "key 65,97", "key 13,13"}));
    EXPECT_FALSE(engine.Playing());
}

TEST_F(EngineControlKeys, CtrlCombinationsStayTheWindowsEvenWhenTheMovieListens)
{
    EngineControl& engine = open(keyListenerMovie());
    EXPECT_FALSE(engine.TranslateAccelerator(QKeyEvent(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier, "o")));
    EXPECT_TRUE(engine.TranslateAccelerator(QKeyEvent(QEvent::KeyPress, Qt::Key_O, Qt::NoModifier, "o")));
    EXPECT_EQ(traces, (std::vector<std::string>{"key 79,111"}));
}

TEST_F(EngineControlKeys, KeysTheMovieDoesNotListenForReachTheShortcuts)
{
    EngineControl& engine = open(buttonKeyMovie());
    ASSERT_FALSE(engine.Playing());
    QTest::keyClick(form->ShockwaveFlash1, Qt::Key_X);
    EXPECT_EQ(traces, (std::vector<std::string>{"pressed x"}));
    // Enter: no key condition names it, so the window's play command runs.
    QTest::keyClick(form->ShockwaveFlash1, Qt::Key_Return);
    EXPECT_TRUE(engine.Playing());
    // S: the window's stop command.
    QTest::keyClick(form->ShockwaveFlash1, Qt::Key_S);
    EXPECT_FALSE(engine.Playing());
    EXPECT_EQ(traces, (std::vector<std::string>{"pressed x"}));
}

// Stops on frame 1 with input fields a (the focus, at the top) and b below it, each
// tracing its text when it changes; a Selection listener traces where the focus
// goes; the root's ContextMenu has an item; then the script says fscommand(command, args) when a command is given.
QByteArray inputMovie(const char* command, const char* args)
{
    swf::test::SwfWriter w;
    ActionBuilder frame;
    ActionBuilder changed;
    changed.getVariable("f").pushString("text").op(0x4E).trace();
    frame.defineFunction("changed", {"f"}, changed);
    ActionBuilder heard;
    heard.pushString("focus ").getVariable("n").op(Op::Add2).trace();
    frame.defineFunction("heard", {"o", "n"}, heard);
    for (auto [name, y] : {std::pair{"a", 0}, std::pair{"b", 50}}) {
        frame.pushInt(20).pushInt(100).pushInt(y).pushInt(0).pushInt(y + 1).pushString(name);
        frame.pushInt(6).getVariable("_root").pushString("createTextField").op(Op::CallMethod).op(Op::Pop);
        frame.getVariable(name).pushString("type").pushString("input").op(Op::SetMember);
        frame.getVariable(name).pushString("onChanged").getVariable("changed").op(Op::SetMember);
    }
    frame.getVariable("a").pushInt(1).getVariable("Selection").pushString("setFocus").op(Op::CallMethod).op(Op::Pop);
    frame.pushString("l").pushInt(0).pushString("Object").op(Op::NewObject).op(Op::SetVariable);
    frame.getVariable("l").pushString("onSetFocus").getVariable("heard").op(Op::SetMember);
    frame.getVariable("l").pushInt(1).getVariable("Selection").pushString("addListener").op(Op::CallMethod).op(Op::Pop);
    // _root.menu = new ContextMenu(); its one item "问候" traces "picked".
    ActionBuilder picked;
    picked.trace("picked");
    frame.defineFunction("picked", {}, picked);
    frame.getVariable("_root").pushString("menu").pushInt(0).pushString("ContextMenu").op(Op::NewObject).op(Op::SetMember);
    frame.pushString("item").getVariable("picked").pushString("问候").pushInt(2).pushString("ContextMenuItem");
    frame.op(Op::NewObject).op(Op::SetVariable);
    frame.getVariable("item").pushInt(1).getVariable("_root").pushString("menu").op(0x4E).pushString("customItems");
    frame.op(0x4E).pushString("push").op(Op::CallMethod).op(Op::Pop);
    if (command)
        frame.getUrl(std::string("FSCommand:") + command, args);
    frame.stop();
    w.doAction(frame);
    w.showFrame();
    w.showFrame();
    return bytesOf(w);
}

// What reaches an input field of the movie from the window (the input method's
// composed text, Tab), and the fscommands of a local movie the window honours.
TEST_F(EngineControlKeys, TypingTabAndTheMoviesCommandsReachTheWindow)
{
    using Traces = std::vector<std::string>;
    struct Case {
        const char* name;
        const char* command;
        const char* args;
        std::function<void(EngineControl&, TMainForm&)> act;
        std::function<void(EngineControl&, TMainForm&)> check;
        Traces expected;
    } cases[] = {
        {"input method", nullptr, nullptr,
         [](EngineControl&, TMainForm& f) {
             EXPECT_TRUE(f.ShockwaveFlash1->testAttribute(Qt::WA_InputMethodEnabled));
             QInputMethodEvent composing(QStringLiteral("zhong"), {});
             QCoreApplication::sendEvent(f.ShockwaveFlash1, &composing);
             QInputMethodEvent done;
             done.setCommitString(QStringLiteral("中文"));
             QCoreApplication::sendEvent(f.ShockwaveFlash1, &done);
         },
         {}, {"中文"}},
        {"tab", nullptr, nullptr,
         [](EngineControl&, TMainForm& f) {
             QTest::keyClick(f.ShockwaveFlash1, Qt::Key_Tab);
             QTest::keyClick(f.ShockwaveFlash1, Qt::Key_Backtab, Qt::ShiftModifier);
             QTest::keyClick(f.ShockwaveFlash1, Qt::Key_X);
         },
         {}, {"focus _level0.b", "focus _level0.a", "x"}},
        {"context menu", nullptr, nullptr,
         [](EngineControl& e, TMainForm&) {
             std::unique_ptr<QMenu> menu = e.contextMenu(QPointF(1, 1));
             ASSERT_NE(menu, nullptr);
             ASSERT_FALSE(menu->actions().isEmpty());
             EXPECT_EQ(menu->actions().front()->text(), QStringLiteral("问候"));
             menu->actions().front()->trigger();
         },
         {}, {"picked"}},
        {"showmenu", "showmenu", "false", {},
         [](EngineControl& e, TMainForm&) { EXPECT_EQ(e.contextMenu(QPointF(1, 1)), nullptr); }, {}},
        {"allowscale", "allowscale", "false", {},
         [](EngineControl& e, TMainForm&) { EXPECT_EQ(e.scaleMode(), swf::ScaleMode::NoScale); }, {}},
        {"trapallkeys", "trapallkeys", "true", {},
         [](EngineControl& e, TMainForm&) {
             EXPECT_TRUE(e.TranslateAccelerator(QKeyEvent(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier, "o")));
         },
         {"o"}},  // Ctrl+O went to the movie, whose focused field typed it
        // Closing the main window ends the application, as its own 退出 does.
        {"quit", "quit", "", {}, [](EngineControl&, TMainForm&) { EXPECT_TRUE(Application->Terminated()); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        traces.clear();
        EngineControl& engine = open(inputMovie(c.command, c.args));
        QCoreApplication::processEvents();
        if (c.act)
            c.act(engine, *form);
        if (c.check)
            c.check(engine, *form);
        EXPECT_EQ(traces, c.expected);
        // The commands were the movie's own: the next one starts without them.
        if (c.command && std::string_view(c.command) != "quit") {
            const QString plain = dir.filePath(QStringLiteral("plain.swf"));
            QFile f(plain);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(inputMovie(nullptr, nullptr));
            f.close();
            form->ShockwaveFlash1->SetMovie(plain);
            QCoreApplication::processEvents();
            EXPECT_NE(engine.contextMenu(QPointF(1, 1)), nullptr);
            EXPECT_EQ(engine.scaleMode(), swf::ScaleMode::ShowAll);
            EXPECT_FALSE(engine.TranslateAccelerator(QKeyEvent(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier, "o")));
        }
    }
}

// Paste types the clipboard into the focused field; Copy with nothing selected stays the
// window's picture shortcut; Select All and Cut take the whole text out.
TEST_F(EngineControlKeys, PasteTypesTheClipboardIntoTheFocusedField)
{
    EngineControl& engine = open(inputMovie(nullptr, nullptr));
    QCoreApplication::processEvents();
    QGuiApplication::clipboard()->setText(QStringLiteral("粘贴"));
    EXPECT_TRUE(engine.TranslateAccelerator(QKeyEvent(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, "v")));
    EXPECT_FALSE(engine.TranslateAccelerator(QKeyEvent(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, "c")));
    EXPECT_EQ(traces, std::vector<std::string>{"粘贴"});
    // Select All, then Cut: the field empties and the clipboard holds its text.
    QGuiApplication::clipboard()->clear();
    EXPECT_TRUE(engine.TranslateAccelerator(QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "a")));
    EXPECT_TRUE(engine.TranslateAccelerator(QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::ControlModifier, "x")));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("粘贴"));
    EXPECT_EQ(traces, (std::vector<std::string>{"粘贴", ""}));
    engine.fsCommand(QStringLiteral("quit"), {});
    EXPECT_TRUE(Application->Terminated());
}

TEST(FlashKeys, WindowKeysMapToTheMoviesCodesAndCharacters)
{
    struct Case {
        Qt::Key key;
        QString text;
        int code;
        char32_t character;
    };
    const Case cases[] = {
        {Qt::Key_A, "a", 65, U'a'},         {Qt::Key_A, "A", 65, U'A'},      {Qt::Key_Z, "z", 90, U'z'},
        {Qt::Key_0, "0", 48, U'0'},         {Qt::Key_9, "(", 57, U'('},      {Qt::Key_F1, "", 112, 0},
        {Qt::Key_F12, "", 123, 0},          {Qt::Key_Return, "\r", 13, 13},  {Qt::Key_Enter, "\r", 13, 13},
        {Qt::Key_Escape, "\x1b", 27, 27},   {Qt::Key_Tab, "\t", 9, 9},       {Qt::Key_Backspace, "\b", 8, 8},
        {Qt::Key_Space, " ", 32, U' '},     {Qt::Key_Left, "", 37, 0},       {Qt::Key_Up, "", 38, 0},
        {Qt::Key_Right, "", 39, 0},         {Qt::Key_Down, "", 40, 0},       {Qt::Key_Delete, "\x7f", 46, 0},
        {Qt::Key_Shift, "", 16, 0},         {Qt::Key_Control, "", 17, 0},    {Qt::Key_Semicolon, ";", 186, U';'},
        {Qt::Key_Slash, "/", 191, U'/'},    {Qt::Key_Apostrophe, "'", 222, U'\''},
        {Qt::Key_unknown, QStringLiteral("中"), 0, U'中'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(flashKeyCode(c.key), c.code) << c.key;
        EXPECT_EQ(flashKeyCharacter(c.key, c.text), c.character) << c.key;
    }
}

} // namespace
