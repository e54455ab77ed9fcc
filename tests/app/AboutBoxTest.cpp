#include "tests/app/MainFormFixture.h"

#include "app/Unit2.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

using namespace lanfan;

namespace {

class AboutBoxTest : public test::MainFormWithAboutTest {
protected:
    // Runs `whileUp` once the box is showing, then returns the modal result.
    int showAnd(std::function<void()> whileUp)
    {
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(about->isVisible());
            whileUp();
        });
        return about->ShowModal();
    }
};

TEST_F(AboutBoxTest, LayoutAndTexts)
{
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About"));
    // The stored 322 x 213 box, wider by as much as a wide font's texts need.
    const int grow = about->ClientWidth() - 322;
    EXPECT_GE(grow, 0);
    EXPECT_EQ(about->ClientHeight(), 213);
    EXPECT_EQ(about->ProductName->text(), QStringLiteral("软件名称    澜帆FLASH播放器(雏形版)"));
    EXPECT_EQ(about->Version->text(), QStringLiteral("版本        1.00"));
    EXPECT_TRUE(about->Copyright->text().startsWith(QStringLiteral("作者        ")));
    EXPECT_EQ(about->OKButton->text(), QStringLiteral("OK"));
    EXPECT_EQ(about->OKButton->geometry(), QRect(127 + grow / 2, 180, 75, 25));
    EXPECT_EQ(about->Panel1->geometry(), QRect(8, 8, 305 + grow, 161));
    EXPECT_EQ(about->Image1->geometry(), QRect(88, 104, 25, 25));
    EXPECT_EQ(about->Image1->Picture().size(), QSize(128, 128));
    EXPECT_EQ(about->ProgramIcon->geometry(), QRect(8, 16, 32, 32));
    EXPECT_EQ(about->Label1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(about->Label1->text(), TAboutBox::authorPage().toString());
    // The main window stays the application's main window.
    EXPECT_EQ(app->MainForm(), form.get());
}

TEST_F(AboutBoxTest, EnterAndOkCloseWithOkEscDoesNothingCloseBoxCancels)
{
    EXPECT_EQ(showAnd([&] { QTest::keyClick(about.get(), Qt::Key_Return); }), mrOk);
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(showAnd([&] { about->OKButton->click(); }), mrOk);
    EXPECT_EQ(showAnd([&] {
                  QTest::keyClick(about.get(), Qt::Key_Escape);
                  QTest::qWait(30);
                  EXPECT_TRUE(about->isVisible());
                  about->close();
              }),
              mrCancel);
}

TEST_F(AboutBoxTest, CentredFirstThenReopensWhereItWasMoved)
{
    QPoint first;
    showAnd([&] {
        first = about->frameGeometry().topLeft();
        about->move(first + QPoint(37, 21));
        about->OKButton->click();
    });
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    QSize frame = about->frameGeometry().size();
    EXPECT_EQ(first.x(), std::max(0, (screen.width() - frame.width()) / 2));
    EXPECT_EQ(first.y(), std::max(0, (screen.height() - frame.height()) / 2));
    QPoint second;
    showAnd([&] {
        second = about->frameGeometry().topLeft();
        about->OKButton->click();
    });
    EXPECT_EQ(second, first + QPoint(37, 21));
}

TEST_F(AboutBoxTest, EveryPressOnTheLinkOpensThePageAndTheBoxStays)
{
    showAnd([&] {
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            QTest::mousePress(about->Label1, button);
            QTest::mouseRelease(about->Label1, button);
        }
        // A double-click arrives as a press, a release and a double-click press.
        QTest::mousePress(about->Label1, Qt::LeftButton);
        QTest::mouseRelease(about->Label1, Qt::LeftButton);
        QTest::mouseDClick(about->Label1, Qt::LeftButton);
        EXPECT_TRUE(about->isVisible());
        about->OKButton->click();
    });
    // A double-click is two presses.
    EXPECT_EQ(opened.size(), 5);
    EXPECT_EQ(opened.front(), TAboutBox::authorPage().toString());
}

TEST_F(AboutBoxTest, ShowingAVisibleBoxModallyFails)
{
    about->show();
    try {
        about->ShowModal();
        FAIL();
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot make a visible window modal"));
    }
    about->hide();
}

TEST_F(AboutBoxTest, MainWindowShortcutsAreDeadButItsTimersRunWhileTheBoxIsUp)
{
    control->playing = false;
    showAnd([&] {
        // Keys reach the box, not the main window's menu.
        QTest::keyClick(about.get(), Qt::Key_S);
        control->playing = true;
        QTRY_COMPARE(form->Play->text(), QStringLiteral("停止"));
        about->OKButton->click();
    });
    EXPECT_TRUE(control->playing);
    EXPECT_EQ(control->count(QStringLiteral("StopPlayback")), 0);
}

TEST_F(AboutBoxTest, HelpAboutShowsTheBox)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(about->isVisible());
        seen = true;
        about->OKButton->click();
    });
    form->A1->Click();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(about->isVisible());
}

} // namespace
