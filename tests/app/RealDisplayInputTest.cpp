// Keys and the pointer reach the movie through a real X server, not only through events
// handed to the widgets: the test starts its own Xvfb, runs itself there on the xcb
// platform, and types and clicks with xdotool (which goes through the server's XTEST).
// The movie takes the keys it has a use for, the window's shortcuts keep the rest, a
// click reaches a button and a dragged clip follows the real pointer.

#include "tests/app/MainFormFixture.h"

#include "app/player/EngineControl.h"
#include "app/player/TShockwaveFlash.h"
#include "engine/format/Button.h"
#include "tests/support/ButtonWriter.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>

using namespace lanfan;

namespace {

using swf::test::ActionBuilder;

constexpr const char* kInnerRun = "LANFAN_REAL_DISPLAY_RUN";

// A 550 x 400 stage of two frames (the test stops it): a button at stage pixels 0..20 x 0..20 traces
// "clicked" when clicked, and its key condition X traces where the clip "box" is, which
// frame 1 sets dragging with its centre on the pointer.
QByteArray inputMovie()
{
    swf::test::SwfWriter w;
    swf::test::defineFilledRect(w, 1, {0, 400, 0, 400}, {0, 0, 0, 255});
    ActionBuilder where;
    where.getVariable("box").pushString("_x").op(0x4E).pushString(",").op(0x47);
    where.getVariable("box").pushString("_y").op(0x4E).op(0x47).trace();
    swf::test::defineButton2(w, 2, {{swf::kButtonUp | swf::kButtonHitTest, 1, 1, {}, {}}},
                             {{swf::kOverDownToOverUp, 0, ActionBuilder().trace("clicked")}, {0, 'x', where}});
    swf::test::TagStream sprite;
    sprite.placeObject(1, 1).showFrame();
    w.defineSprite(3, 1, sprite);
    // The button above the clip, which the pointer drags along over it.
    w.placeObject(2, 2);
    swf::test::Place box;
    box.depth = 1;
    box.characterId = 3;
    box.matrix = swf::Matrix{1, 0, 0, 1, 6000, 6000};
    box.name = "box";
    w.placeObject2(box);
    w.doAction(ActionBuilder().pushBool(true).pushInt(1).getVariable("box").pushString("startDrag").op(0x52).op(0x17));
    w.showFrame();
    w.showFrame();
    auto bytes = w.build();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

bool xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("xdotool")), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class RealDisplayInput : public test::MainFormTest {};

// The run inside Xvfb.
TEST_F(RealDisplayInput, KeysAndThePointerReachTheMovie)
{
    if (!std::getenv(kInnerRun))
        GTEST_SKIP() << "runs on the Xvfb display RealDisplayInputOuter starts";
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    setPlayerControlFactory([] { return std::make_unique<EngineControl>(); });
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("输入.swf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(inputMovie());
    file.close();
    TMainForm& f1 = build();
    f1.ShockwaveFlash1->SetMovie(path);
    auto* engine = dynamic_cast<EngineControl*>(f1.ShockwaveFlash1->control());
    ASSERT_NE(engine, nullptr);
    std::vector<std::string> traces;
    engine->player().setTraceSink([&traces](const std::string& line) { traces.push_back(line); });
    f1.ShockwaveFlash1->StopPlayback();
    f1.ShockwaveFlash1->setFocus();
    QWidget* view = nullptr;
    for (QWidget* child : f1.ShockwaveFlash1->findChildren<QWidget*>()) {
        if (child->accessibleName() == QStringLiteral("Flash 影片"))
            view = child;
    }
    ASSERT_NE(view, nullptr);
    // A stage point as a point of the screen, through the layout the view paints with.
    auto screenPoint = [&](QPointF stage) {
        // The whole stage shown, centred in the area (the window's scale mode).
        const QRectF area = engine->displayArea();
        const double scale = std::min(area.width() / 550, area.height() / 400);
        const QPointF local(area.x() + (area.width() - 550 * scale) / 2 + stage.x() * scale,
                            area.y() + (area.height() - 400 * scale) / 2 + stage.y() * scale);
        return view->mapToGlobal(local.toPoint());
    };
    auto moveTo = [&](QPointF stage) {
        const QPoint at = screenPoint(stage);
        return QStringList{QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())};
    };
    // Each step adds one trace or none; "box" steps trace where the clip is, checked
    // against `boxAt` when the pointer's place is known.
    struct Step {
        const char* what;
        QStringList xdotool;
        const char* trace;
        std::optional<QPointF> boxAt;
        bool playing;
    };
    const Step steps[] = {
        {"the movie's key X runs its button", {"key", "x"}, "box", std::nullopt, false},
        {"Enter, which the movie has no use for, plays", {"key", "Return"}, nullptr, std::nullopt, true},
        {"S, the window's stop shortcut", {"key", "s"}, nullptr, std::nullopt, false},
        {"the dragged clip follows the pointer", moveTo({200, 150}) + QStringList{"key", "x"}, "box", QPointF(200, 150),
         false},
        {"a click on the button", moveTo({10, 10}) + QStringList{"click", "1"}, "clicked", std::nullopt, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const size_t before = traces.size();
        const size_t expected = before + (step.trace ? 1 : 0);
        ASSERT_TRUE(xdotool(step.xdotool));
        // The server's events come back as Qt events; wait until they have.
        for (int i = 0; i < 200 && traces.size() < expected; ++i)
            QTest::qWait(50);
        QTest::qWait(200);
        ASSERT_EQ(traces.size(), expected) << (traces.empty() ? std::string() : traces.back());
        if (step.trace && std::string_view(step.trace) != "box") {
            EXPECT_EQ(traces.back(), step.trace);
        }
        if (step.boxAt) {
            // The clip sits where the pointer is, to the view's rounding of a pixel.
            const std::string& got = traces.back();
            const auto comma = got.find(',');
            ASSERT_NE(comma, std::string::npos) << got;
            EXPECT_NEAR(std::atof(got.substr(0, comma).c_str()), step.boxAt->x(), 2.0) << got;
            EXPECT_NEAR(std::atof(got.substr(comma + 1).c_str()), step.boxAt->y(), 2.0) << got;
        }
        EXPECT_EQ(engine->Playing(), step.playing);
    }
}

// Starts Xvfb and runs the test above on it.
TEST(RealDisplayInputOuter, RunsOnItsOwnXvfb)
{
    if (std::getenv(kInnerRun))
        GTEST_SKIP() << "this is the inner run";
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/setup installs them)";
    QProcess server;
    // -displayfd: the server picks a free display and writes its number to stdout.
    server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    ASSERT_TRUE(server.waitForStarted(30000));
    QByteArray number;
    while (!number.contains('\n') && server.waitForReadyRead(60000))
        number += server.readAllStandardOutput();
    ASSERT_TRUE(number.contains('\n')) << "Xvfb gave no display";
    const QString display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

    QProcess inner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QString::fromLatin1(kInnerRun), QStringLiteral("1"));
    inner.setProcessEnvironment(env);
    inner.setProcessChannelMode(QProcess::MergedChannels);
    inner.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=RealDisplayInput.KeysAndThePointerReachTheMovie")});
    const bool finished = inner.waitForStarted(30000) && inner.waitForFinished(300000);
    const QByteArray output = inner.readAll();
    if (!finished)
        inner.kill();
    server.terminate();
    server.waitForFinished(10000);
    ASSERT_TRUE(finished) << output.toStdString();
    EXPECT_EQ(inner.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

} // namespace
