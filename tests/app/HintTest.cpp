#include "tests/app/MainFormFixture.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

using namespace lanfan;

namespace {

class HintTest : public test::MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        build();
    }
    QString hintOver(QWidget* w)
    {
        QCursor::setPos(w->mapToGlobal(w->rect().center()));
        app->updateHintFromPointer();
        return form->StatusBar->PanelText(0);
    }
};

TEST_F(HintTest, PointerHintsShowInTheFirstPanel)
{
    EXPECT_EQ(hintOver(form->Open), QStringLiteral("打开"));
    EXPECT_EQ(hintOver(form->CatchPicture), QStringLiteral("截图"));
    EXPECT_EQ(hintOver(form->CheckBox1), QStringLiteral("在拖动进度条时播放影片"));
    EXPECT_EQ(hintOver(form->ShockwaveFlash1), QString());
    EXPECT_EQ(hintOver(form->CheckBox1), QStringLiteral("在拖动进度条时播放影片"));
    // Disabled controls count too; the Play button and the bar have no hint.
    EXPECT_EQ(hintOver(form->Play), QString());
    EXPECT_EQ(hintOver(form->Open), QStringLiteral("打开"));
    EXPECT_EQ(hintOver(form->ScrollBar1), QString());
    EXPECT_EQ(hintOver(form->Open), QStringLiteral("打开"));
    EXPECT_EQ(hintOver(form->ToolBar), QString());
    // The counter panel is never touched by hints.
    EXPECT_EQ(form->StatusBar->PanelText(1), QStringLiteral("当前帧："));
}

TEST_F(HintTest, MenuHighlightShowsOnlyTheCaptureItemsHint)
{
    form->MenuCatchPicture->action()->hover();
    EXPECT_EQ(form->StatusBar->PanelText(0), QStringLiteral("截图"));
    form->N1->action()->hover();
    EXPECT_EQ(form->StatusBar->PanelText(0), QString());
    form->MenuCatchPicture->action()->hover();
    emit form->F2->submenu()->aboutToHide();
    EXPECT_EQ(form->StatusBar->PanelText(0), QString());
}

TEST_F(HintTest, HiddenStatusBarKeepsItsLastText)
{
    EXPECT_EQ(hintOver(form->Open), QStringLiteral("打开"));
    form->MenuStatusBar->Click();
    EXPECT_EQ(hintOver(form->CheckBox1), QStringLiteral("打开"));
    form->MenuStatusBar->Click();
    EXPECT_EQ(form->StatusBar->PanelText(0), QStringLiteral("打开"));
}

TEST_F(HintTest, OnlyTheCaptureButtonShowsATooltip)
{
    EXPECT_TRUE(form->CatchPicture->EffectiveShowHint());
    for (TControl* c : std::initializer_list<TControl*>{form->Open, form->CheckBox1, form->Play, form->ScrollBar1,
                                                         form->ShockwaveFlash1, form->ToolBar})
        EXPECT_FALSE(c->EffectiveShowHint()) << c->Name.toStdString();
    app->pointerEntered(form->Open);
    EXPECT_EQ(app->tooltipOwner(), nullptr);
    app->pointerEntered(form->CatchPicture);
    EXPECT_EQ(app->tooltipOwner(), form->CatchPicture);
}

TEST_F(HintTest, SizeChangeWhileAboutIsUpRaisesNothing)
{
    // The main window is disabled for input by a modal window, not by its own flag, so
    // moving the focus inside it does not fail.
    auto modal = std::make_unique<QWidget>();
    modal->setWindowModality(Qt::ApplicationModal);
    modal->show();
    form->resize(form->width() + 10, form->height() + 10);
    QTest::qWait(30);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("; ").toStdString();
    EXPECT_EQ(form->ActiveControl(), form->ShockwaveFlash1);
}

} // namespace
