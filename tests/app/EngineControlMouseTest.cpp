// The pointer in the player window reaches the movie: buttons light up, take clicks
// and run their scripts, and the window shows a pointing hand over them.

#include "tests/app/MainFormFixture.h"

#include "app/player/EngineControl.h"
#include "engine/format/Button.h"
#include "tests/support/ButtonWriter.h"

#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>

using namespace lanfan;

namespace {

using swf::test::ActionBuilder;

// A 550 x 400 stage with one button at stage pixels 200..300 x 100..150: red when up,
// green when over; a click traces "clicked" and stops at frame 2 (the second frame's
// script would say otherwise).
QByteArray buttonMovie()
{
    swf::test::SwfWriter movie;
    swf::test::defineFilledRect(movie, 1, {0, 2000, 0, 1000}, {255, 0, 0, 255});
    swf::test::defineFilledRect(movie, 2, {0, 2000, 0, 1000}, {0, 255, 0, 255});
    swf::test::defineButton2(movie, 3,
                             {{swf::kButtonUp | swf::kButtonHitTest, 1, 1, {}, {}}, {swf::kButtonOver, 2, 1, {}, {}}},
                             {{swf::kOverDownToOverUp, 0, ActionBuilder().trace("clicked")}});
    movie.placeObject(3, 1, swf::Matrix{1, 0, 0, 1, 4000, 2000});
    movie.doAction(ActionBuilder().stop());
    movie.showFrame();
    auto bytes = movie.build();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

class EngineControlMouseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(dir.isValid());
        control.LoadControlData(mainWindowControlData());
        QString path = dir.filePath(QStringLiteral("按钮.swf"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(buttonMovie());
        f.close();
        control.SetMovie(path);
        control.player().setTraceSink([this](const std::string& line) { traces.push_back(line); });
        // Half the stage's size: the view shows it at a scale of one half.
        site.resize(275, 200);
        view = control.ActivateInPlace(site);
        ASSERT_NE(view, nullptr);
    }
    void send(QEvent::Type type, QPointF at, Qt::MouseButton button)
    {
        Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons();
        QMouseEvent event(type, at, view->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    void moveTo(QPointF at) { send(QEvent::MouseMove, at, Qt::NoButton); }
    void click(QPointF at)
    {
        send(QEvent::MouseButtonPress, at, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, at, Qt::LeftButton);
    }
    QColor pixel(QPoint at) { return QColor(view->grab().toImage().pixel(at)); }

    QTemporaryDir dir;
    EngineControl control;
    QWidget site;
    QWidget* view = nullptr;
    std::vector<std::string> traces;
};

TEST_F(EngineControlMouseTest, HoverLightsTheButtonAndShowsAPointingHand)
{
    const QPoint inButton(125, 62);  // stage (250, 124)
    EXPECT_EQ(pixel(inButton), QColor(255, 0, 0));
    moveTo(QPointF(90, 62));  // stage (180, 124): left of the button
    EXPECT_NE(view->cursor().shape(), Qt::PointingHandCursor);
    moveTo(inButton);
    EXPECT_EQ(view->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(pixel(inButton), QColor(0, 255, 0));
    moveTo(QPointF(125, 80));  // stage (250, 160): below it
    EXPECT_NE(view->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(pixel(inButton), QColor(255, 0, 0));
    EXPECT_TRUE(traces.empty());
}

TEST_F(EngineControlMouseTest, AClickOnTheButtonRunsItsScriptAndAClickBesideItDoesNot)
{
    click(QPointF(160, 62));  // stage (320, 124): right of the button
    EXPECT_TRUE(traces.empty());
    click(QPointF(101, 51));  // stage (202, 102): just inside its corner
    EXPECT_EQ(traces, std::vector<std::string>{"clicked"});
    // Other buttons of the mouse are not clicks.
    send(QEvent::MouseButtonPress, QPointF(125, 62), Qt::RightButton);
    send(QEvent::MouseButtonRelease, QPointF(125, 62), Qt::RightButton);
    EXPECT_EQ(traces.size(), 1u);
}

} // namespace
