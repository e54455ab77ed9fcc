#include "tests/app/MainFormFixture.h"

#include "app/player/ControlData.h"

#include <QLabel>
#include <QMenuBar>
#include <QtEndian>

using namespace lanfan;

namespace {

using test::MainFormTest;

TEST_F(MainFormTest, StartStateMatchesTheStoredLayout)
{
    TMainForm& f = build();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("澜帆FLASH播放器(雏形版)"));
    EXPECT_EQ(f.windowIconText(), QStringLiteral("澜帆Flash播放器"));
    EXPECT_EQ(f.ClientWidth(), 518);
    EXPECT_EQ(f.ClientHeight(), 350);

    EXPECT_EQ(f.ToolBar->geometry(), QRect(0, 0, 518, 49));
    EXPECT_EQ(f.ShockwaveFlash1->geometry(), QRect(0, 49, 518, 282));
    EXPECT_EQ(f.StatusBar->geometry(), QRect(0, 331, 518, 19));
    EXPECT_EQ(f.Open->geometry(), QRect(8, 4, 41, 41));
    EXPECT_EQ(f.CatchPicture->geometry(), QRect(49, 4, 41, 41));
    EXPECT_EQ(f.Play->geometry(), QRect(456, 13, 47, 22));
    EXPECT_EQ(f.ScrollBar1->geometry(), QRect(112, 16, 313, 17));
    EXPECT_EQ(f.CheckBox1->geometry(), QRect(432, 16, 17, 17));
    EXPECT_EQ(f.Button1->geometry(), QRect(272, -300, 75, 25));  // moved away when shown

    EXPECT_FALSE(f.Play->isEnabled());
    EXPECT_EQ(f.Play->text(), QStringLiteral("播放"));
    EXPECT_FALSE(f.ScrollBar1->isEnabled());
    EXPECT_EQ(f.ScrollBar1->Min(), 0);
    EXPECT_EQ(f.ScrollBar1->Max(), 100);
    EXPECT_EQ(f.ScrollBar1->Position(), 0);
    EXPECT_EQ(f.ScrollBar1->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(f.CheckBox1->Checked());
    EXPECT_EQ(f.CheckBox1->text(), QString());
    EXPECT_EQ(f.Open->Hint, QStringLiteral("打开"));
    EXPECT_EQ(f.CatchPicture->Hint, QStringLiteral("截图"));
    EXPECT_EQ(f.CheckBox1->Hint, QStringLiteral("在拖动进度条时播放影片"));

    ASSERT_EQ(f.StatusBar->PanelCount(), 2);
    EXPECT_EQ(f.StatusBar->PanelText(0), QString());
    EXPECT_EQ(f.StatusBar->PanelText(1), QStringLiteral("当前帧："));
    EXPECT_EQ(f.StatusBar->PanelWidth(0), 250);
    EXPECT_EQ(f.StatusBar->PanelRect(1).right(), f.StatusBar->width() - 1);

    EXPECT_FALSE(f.Timer1->Enabled());
    EXPECT_EQ(f.Timer1->Interval(), 1000);
    EXPECT_TRUE(f.Timer2->Enabled());
    EXPECT_EQ(f.Timer2->Interval(), 10);
    EXPECT_TRUE(f.Timer2->armed());
}

TEST_F(MainFormTest, MenusCarryCaptionsShortcutsChecksAndHints)
{
    TMainForm& f = build();
    struct Item {
        TMenuItem* item;
        const char16_t* text;
        int shortcut;
    } items[] = {
        {f.MenuFile, u"文件(&F)", 0},          {f.MenuOpen, u"打开(&O)\tCtrl+O", 16463},
        {f.X1, u"退出(&X)\tEsc", 27},          {f.V1, u"查看(&V)", 0},
        {f.MenuToolBar, u"工具栏(&T)", 0},     {f.MenuStatusBar, u"状态栏(&S)", 0},
        {f.C1, u"控制(&C)", 0},                {f.N1, u"播放(&P)\tEnter", 13},
        {f.Stop, u"停止(&S)\tS", 83},          {f.F2, u"功能(&F)", 0},
        {f.MenuCatchPicture, u"截图\tCtrl+C", 16451}, {f.H1, u"帮助(&H)", 0},
        {f.A1, u"关于(&A)", 0},
    };
    for (const Item& i : items) {
        ASSERT_NE(i.item, nullptr);
        EXPECT_EQ(i.item->action()->text(), QString::fromUtf16(i.text));
        EXPECT_EQ(i.item->ShortCut(), i.shortcut);
    }
    EXPECT_TRUE(f.MenuToolBar->Checked());
    EXPECT_TRUE(f.MenuStatusBar->Checked());
    EXPECT_EQ(f.MenuCatchPicture->Hint, QStringLiteral("截图"));
    EXPECT_FALSE(f.MenuOpen->action()->icon().isNull());
    EXPECT_FALSE(f.A1->action()->icon().isNull());
    EXPECT_EQ(f.MainMenu1->Items().size(), 5u);
}

TEST_F(MainFormTest, ControlGetsTheStoredStateByteForByte)
{
    build();
    const QByteArray& data = control->controlData;
    ASSERT_EQ(data.size(), 170);
    // Header: magic, version, extent in hundredths of a millimetre.
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(data.constData() + at); };
    EXPECT_EQ(u32(0), 0x55665567u);
    EXPECT_EQ(u32(4), 0x300u);
    EXPECT_EQ(u32(8), 13705u);
    EXPECT_EQ(u32(12), 7461u);
    auto settings = parseControlData(data);
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->wmode, QStringLiteral("Window"));
    EXPECT_TRUE(settings->play);
    EXPECT_TRUE(settings->loop);
    EXPECT_EQ(settings->quality, QStringLiteral("High"));
    EXPECT_TRUE(settings->menu);
    EXPECT_EQ(settings->allowScriptAccess, QStringLiteral("always"));
    EXPECT_EQ(settings->scale, QStringLiteral("ShowAll"));
    EXPECT_FALSE(settings->deviceFont);
    EXPECT_FALSE(settings->embedMovie);
    // Truncated or foreign bytes are refused, not misread.
    EXPECT_FALSE(parseControlData(data.left(169)).has_value());
    EXPECT_FALSE(parseControlData(QByteArray(170, '\0')).has_value());
}

TEST_F(MainFormTest, ControlThatCannotLoadItsStateFailsConstruction)
{
    control->failing << QStringLiteral("LoadControlData");
    try {
        build(false);
        FAIL() << "expected construction to fail";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.className(), QStringLiteral("EOleSysError"));
    }
}

TEST_F(MainFormTest, PlayCaptionFollowsThePlayStateEvenBeforeAnyMovie)
{
    TMainForm& f = build();
    control->playing = true;
    QTRY_COMPARE(f.Play->text(), QStringLiteral("停止"));
    EXPECT_FALSE(f.Play->isEnabled());
    control->playing = false;
    QTRY_COMPARE(f.Play->text(), QStringLiteral("播放"));
}

TEST_F(MainFormTest, PlayButtonTogglesAndOnlyItsPlayBranchStartsTheTracker)
{
    TMainForm& f = build();
    f.Play->setEnabled(true);
    control->playing = true;
    f.Play->Click();
    EXPECT_FALSE(control->playing);
    EXPECT_FALSE(f.Timer1->Enabled());
    f.Play->Click();
    EXPECT_TRUE(control->playing);
    EXPECT_TRUE(f.Timer1->Enabled());

    // A failing start leaves the tracker off.
    f.Timer1->SetEnabled(false);
    control->playing = false;
    control->failing << QStringLiteral("StartPlayback");
    f.Play->Click();
    EXPECT_FALSE(f.Timer1->Enabled());
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("StartPlayback failed in the control."));
}

TEST_F(MainFormTest, ControlMenuKeysPlayAndStopWithoutTouchingTheTracker)
{
    TMainForm& f = build();
    f.ShockwaveFlash1->setFocus();
    QTest::keyClick(f.ShockwaveFlash1, Qt::Key_Return);
    EXPECT_TRUE(control->playing);
    EXPECT_FALSE(f.Timer1->Enabled());
    for (auto mods : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        QTest::keyClick(f.ShockwaveFlash1, Qt::Key_S, mods);
        EXPECT_TRUE(control->playing) << "modifier " << mods;
    }
    QTest::keyClick(f.ShockwaveFlash1, Qt::Key_S);
    EXPECT_FALSE(control->playing);
    // Also while the check box holds the focus.
    f.CheckBox1->setFocus();
    QTest::keyClick(f.CheckBox1, Qt::Key_Return);
    EXPECT_TRUE(control->playing);
}

TEST_F(MainFormTest, KeysTheControlTakesNeverReachTheMenu)
{
    TMainForm& f = build();
    control->takeKeys = true;
    f.ShockwaveFlash1->setFocus();
    QTest::keyClick(f.ShockwaveFlash1, Qt::Key_Return);
    EXPECT_FALSE(control->playing);
}

TEST_F(MainFormTest, EscEndsTheApplication)
{
    TMainForm& f = build();
    EXPECT_FALSE(app->Terminated());
    f.CheckBox1->setFocus();
    QTest::keyClick(f.CheckBox1, Qt::Key_Escape);
    EXPECT_TRUE(app->Terminated());
}

TEST_F(MainFormTest, TrackerMovesTheBarAndWritesTheCounter)
{
    TMainForm& f = build();
    f.ScrollBar1->SetParams(1, 1, 240);
    control->frameCount = 240;
    control->currentFrame = 0;
    control->calls.clear();
    f.Timer1Timer(f.Timer1);
    // A current frame outside the range: the bar clamps, the counter does not.
    EXPECT_EQ(f.ScrollBar1->Position(), 1);
    EXPECT_EQ(f.StatusBar->PanelText(1), QStringLiteral("当前帧：0/240"));
    EXPECT_EQ(control->calls, (QStringList{"QueryCurrentFrame", "QueryCurrentFrame", "FrameCount"}));
    control->currentFrame = 12;
    f.Timer1Timer(f.Timer1);
    EXPECT_EQ(f.ScrollBar1->Position(), 12);
    EXPECT_EQ(f.StatusBar->PanelText(1), QStringLiteral("当前帧：12/240"));
}

TEST_F(MainFormTest, OneClickOnTheRightArrowSeeksToTheOldThenTheNewPosition)
{
    TMainForm& f = build();
    f.ScrollBar1->SetParams(10, 1, 240);
    control->frameCount = 240;
    control->calls.clear();
    QTest::qWait(0);
    QPoint arrow = f.ScrollBar1->lineDownArrowRect().center();
    QTest::mousePress(f.ScrollBar1, Qt::LeftButton, {}, arrow);
    QTest::mouseRelease(f.ScrollBar1, Qt::LeftButton, {}, arrow);
    QStringList seeks = control->calls.filter(QStringLiteral("SeekToFrame"));
    ASSERT_EQ(seeks.size(), 2) << control->calls.join(", ").toStdString();
    EXPECT_EQ(seeks[0], QStringLiteral("SeekToFrame(10)"));
    EXPECT_EQ(seeks[1], QStringLiteral("SeekToFrame(11)"));
    EXPECT_EQ(f.ScrollBar1->Position(), 11);
    // Checked box: plays on and keeps the tracker running.
    EXPECT_TRUE(control->playing);
    EXPECT_TRUE(f.Timer1->Enabled());
    EXPECT_EQ(f.StatusBar->PanelText(1), QStringLiteral("当前帧：11/240"));
}

TEST_F(MainFormTest, SeekingWithTheBoxClearedStopsTheMovieAndTheTracker)
{
    TMainForm& f = build();
    f.ScrollBar1->SetParams(10, 1, 240);
    control->frameCount = 240;
    control->playing = true;
    f.Timer1->SetEnabled(true);
    f.CheckBox1->SetChecked(false);
    f.ScrollBar1->Scroll(scPageDown);
    f.ScrollBar1->Scroll(scEndScroll);
    EXPECT_FALSE(control->playing);
    EXPECT_FALSE(f.Timer1->Enabled());
    EXPECT_EQ(control->currentFrame, 11);
    // Control > Play afterwards plays, but the tracker stays off.
    f.N1->Click();
    EXPECT_TRUE(control->playing);
    EXPECT_FALSE(f.Timer1->Enabled());
}

TEST_F(MainFormTest, FailingSeekLeavesTheStoredPosition)
{
    TMainForm& f = build();
    f.ScrollBar1->SetParams(10, 1, 240);
    control->failing << QStringLiteral("SeekToFrame");
    f.ScrollBar1->Scroll(scLineDown);
    EXPECT_EQ(f.ScrollBar1->Position(), 10);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("SeekToFrame failed in the control."));
}

TEST_F(MainFormTest, ViewCommandsHideAndShowBarsAndTheirChecks)
{
    TMainForm& f = build();
    QSize windowSize = f.size();
    f.MenuToolBar->Click();
    EXPECT_FALSE(f.ToolBar->Visible());
    EXPECT_FALSE(f.MenuToolBar->Checked());
    EXPECT_EQ(f.ShockwaveFlash1->geometry(), QRect(0, 0, 518, 331));
    f.MenuStatusBar->Click();
    EXPECT_EQ(f.ShockwaveFlash1->geometry(), QRect(0, 0, 518, 350));
    f.MenuToolBar->Click();
    EXPECT_EQ(f.ShockwaveFlash1->geometry(), QRect(0, 49, 518, 301));
    f.MenuStatusBar->Click();
    EXPECT_EQ(f.ShockwaveFlash1->geometry(), QRect(0, 49, 518, 282));
    EXPECT_TRUE(f.MenuToolBar->Checked());
    EXPECT_TRUE(f.MenuStatusBar->Checked());
    EXPECT_EQ(f.size(), windowSize);
}

TEST_F(MainFormTest, FocusIsInThePlayerControlAfterEverySizeChange)
{
    TMainForm& f = build();
    f.CheckBox1->setFocus();
    f.resize(f.width() + 50, f.height() + 40);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.ShockwaveFlash1));
    EXPECT_EQ(f.ActiveControl(), f.ShockwaveFlash1);
    EXPECT_TRUE(boxes.isEmpty());
}

} // namespace
