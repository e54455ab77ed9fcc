#include "tests/toolkit/ToolkitFixture.h"

#include "toolkit/Form.h"
#include "toolkit/StatusBar.h"
#include "toolkit/StdCtrls.h"

using namespace lanfan;

namespace {

using ApplicationTest = test::ToolkitTest;

TEST(ErrorBoxText, FullStopAddedOnlyAfterCharactersAboveTheFullStop)
{
    struct Case {
        const char16_t* message;
        const char16_t* shown;
    } cases[] = {
        {u"Scrollbar property out of range", u"Scrollbar property out of range."},
        {u"无法打开影片", u"无法打开影片."},
        {u"version 2", u"version 2."},
        {u"a/b/", u"a/b/."},
        {u"Done.", u"Done."},
        {u"trailing space ", u"trailing space "},
        {u"Wow!", u"Wow!"},
        {u"list,", u"list,"},
        {u"dash-", u"dash-"},
        {u"", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TApplication::errorBoxText(QString::fromUtf16(c.message)), QString::fromUtf16(c.shown));
}

TEST(StartupFailureText, ExactFormatWithStopAndLimit)
{
    const void* address = reinterpret_cast<const void*>(uintptr_t{0x4A2B10});
    QString text = TApplication::startupFailureText(QStringLiteral("EOleSysError"), QStringLiteral("lanfan-player"),
                                                    address, QStringLiteral("Class not registered"));
    QString digits = QStringLiteral("4A2B10").rightJustified(int(2 * sizeof(void*)), QLatin1Char('0'));
    EXPECT_EQ(text, QStringLiteral("Exception EOleSysError in module lanfan-player at %1.\r\nClass not registered.\r\n")
                        .arg(digits));
    // A message already ending in a full stop gets none; an empty one gets none.
    EXPECT_TRUE(TApplication::startupFailureText("E", "m", address, "Done.").endsWith("\r\nDone.\r\n"));
    EXPECT_TRUE(TApplication::startupFailureText("E", "m", address, "").endsWith(".\r\n\r\n"));
    EXPECT_EQ(TApplication::startupFailureText("E", "m", address, QString(3000, QLatin1Char('x'))).size(), 1024);
}

TEST_F(ApplicationTest, GuardTurnsEveryErrorIntoOneErrorBox)
{
    app_->guard([] { throw EInvalidOperation(QStringLiteral("Cannot focus a disabled or invisible window")); });
    app_->guard([] { throw std::runtime_error("plain"); });
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("澜帆Flash播放器"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Cannot focus a disabled or invisible window."));
    EXPECT_EQ(boxes[1].text, QStringLiteral("plain."));
    EXPECT_FALSE(boxes[0].startupFailure);
}

TEST_F(ApplicationTest, StartupFailureBoxNamesTheErrorClass)
{
    app_->ShowStartupFailure(EOleSysError(QStringLiteral("Class not registered"), 0x80040154), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Application Error"));
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Exception EOleSysError in module ")));
    EXPECT_TRUE(boxes[0].startupFailure);
}

TEST_F(ApplicationTest, FirstFormIsTheMainWindowAndCarriesTheTitleAsIconText)
{
    TForm main;
    TForm other;
    EXPECT_EQ(app_->MainForm(), &main);
    EXPECT_EQ(main.windowIconText(), QStringLiteral("澜帆Flash播放器"));
    app_->SetTitle(QStringLiteral("x"));
    EXPECT_EQ(main.windowIconText(), QStringLiteral("x"));
}

TEST_F(ApplicationTest, HintGoesToTheAutoHintStatusBarOnlyWhileItIsVisible)
{
    TForm form;
    auto* bar = new TStatusBar(&form.client());
    bar->AutoHint = true;
    bar->AddPanel(250);
    bar->AddPanel(190, QStringLiteral("当前帧："));
    form.show();
    app_->SetHint(QStringLiteral("打开"));
    EXPECT_EQ(bar->PanelText(0), QStringLiteral("打开"));
    EXPECT_EQ(bar->PanelText(1), QStringLiteral("当前帧："));
    bar->SetVisible(false);
    app_->SetHint(QStringLiteral("截图"));
    // Hidden: nobody takes it, and the panel keeps its last text.
    EXPECT_EQ(bar->PanelText(0), QStringLiteral("打开"));
    bar->SetVisible(true);
    EXPECT_EQ(bar->PanelText(0), QStringLiteral("打开"));
    app_->SetHint(QString());
    EXPECT_EQ(bar->PanelText(0), QString());
}

TEST(HintFor, OwnHintElseNearestContainersAndThePartAfterTheBar)
{
    test::qtApp();
    QWidget window;
    TPanel panel(&window);
    TSpeedButton button(&panel);
    EXPECT_EQ(TControl::hintFor(&button), QString());
    panel.Hint = QStringLiteral("容器");
    EXPECT_EQ(TControl::hintFor(&button), QStringLiteral("容器"));
    button.Hint = QStringLiteral("短|长的提示");
    EXPECT_EQ(TControl::hintFor(&button), QStringLiteral("长的提示"));
}

} // namespace
