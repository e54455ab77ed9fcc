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

#include <QFile>
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
