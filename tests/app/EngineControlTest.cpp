#include "tests/app/MainFormFixture.h"

#include "app/player/EngineControl.h"
#include "tests/support/SwfWriter.h"

#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>

using namespace lanfan;

namespace {

// A movie of `frames` empty frames on a coloured stage, written by hand.
QByteArray tinyMovie(int frames, uint8_t r, uint8_t g, uint8_t b)
{
    QByteArray body;
    // RECT with 15-bit fields: 0..11000 x 0..8000 twips (550 x 400 pixels).
    const uint8_t rect[] = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00};
    body.append(reinterpret_cast<const char*>(rect), sizeof rect);
    body.append(char(0)).append(char(12));  // 12 frames per second
    body.append(char(frames & 0xFF)).append(char(frames >> 8));
    body.append(char((9 << 6 | 3) & 0xFF)).append(char((9 << 6 | 3) >> 8));  // SetBackgroundColor
    body.append(char(r)).append(char(g)).append(char(b));
    for (int i = 0; i < frames; ++i)
        body.append(char(0x40)).append(char(0x00));  // ShowFrame
    body.append(char(0)).append(char(0));  // End
    QByteArray file("FWS");
    file.append(char(8));
    quint32 length = 8 + static_cast<quint32>(body.size());
    for (int i = 0; i < 4; ++i)
        file.append(char((length >> (8 * i)) & 0xFF));
    return file + body;
}

class EngineControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(dir.isValid());
        control.LoadControlData(mainWindowControlData());
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
    EngineControl control;
};

TEST_F(EngineControlTest, AnswersBeforeAnyMovie)
{
    EXPECT_FALSE(control.Playing());
    EXPECT_EQ(control.FrameCount(), 0);
    EXPECT_EQ(control.QueryCurrentFrame(), 0);
    EXPECT_NO_THROW(control.StartPlayback());
    EXPECT_NO_THROW(control.StopPlayback());
    EXPECT_NO_THROW(control.SeekToFrame(5));
}

TEST_F(EngineControlTest, LoadsPlaysSeeksAndClampsFrames)
{
    control.SetMovie(write(QStringLiteral("十帧.swf"), tinyMovie(10, 0x33, 0x66, 0x99)));
    EXPECT_EQ(control.FrameCount(), 10);
    EXPECT_EQ(control.QueryCurrentFrame(), 1);
    EXPECT_TRUE(control.Playing());  // the stored state says play at once
    control.StopPlayback();
    EXPECT_FALSE(control.Playing());
    control.SeekToFrame(7);
    EXPECT_EQ(control.QueryCurrentFrame(), 7);
    control.SeekToFrame(0);
    EXPECT_EQ(control.QueryCurrentFrame(), 1);
    control.SeekToFrame(99);
    EXPECT_EQ(control.QueryCurrentFrame(), 10);
}

TEST_F(EngineControlTest, PaintsTheStageScaledIntoTheAreaOverTheBackground)
{
    control.SetMovie(write(QStringLiteral("a.swf"), tinyMovie(1, 0x33, 0x66, 0x99)));
    QWidget site;
    site.resize(518, 282);
    QWidget* view = control.ActivateInPlace(site);
    ASSERT_NE(view, nullptr);
    QImage shot = view->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(259, 141)), QColor(0x33, 0x66, 0x99));
    EXPECT_EQ(QColor(shot.pixel(2, 141)), QColor(0x33, 0x66, 0x99));
}

TEST_F(EngineControlTest, UnreadableMoviesRaiseTheControlsErrorNamingTheFile)
{
    struct Case {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"text.swf", QByteArray("this is not a movie at all")},
        {"truncated.swf", tinyMovie(3, 1, 2, 3).left(12)},
        {"empty.swf", QByteArray()},
    };
    for (const Case& c : cases) {
        QString path = write(QString::fromLatin1(c.name), c.bytes);
        try {
            control.SetMovie(path);
            FAIL() << c.name;
        } catch (const EOleException& e) {
            EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("无法打开影片"))) << e.message().toStdString();
        }
    }
    try {
        control.SetMovie(dir.filePath(QStringLiteral("missing.swf")));
        FAIL();
    } catch (const EOleException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("无法读取该文件"))) << e.message().toStdString();
    }
    // The control still works afterwards.
    control.SetMovie(write(QStringLiteral("good.swf"), tinyMovie(4, 0, 0, 0)));
    EXPECT_EQ(control.FrameCount(), 4);
}

using MalformedMovieInTheWindowTest = test::RealEngineWindowTest;

TEST_F(MalformedMovieInTheWindowTest, ErrorBoxThenTheNextOpenWorks)
{
    QString bad = dir.filePath(QStringLiteral("bad.swf"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("CWS\x08\xff\xff\xff\x7fgarbage");
    }
    open(bad);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(bad)) << boxes[0].toStdString();
    EXPECT_FALSE(form->Play->isEnabled());

    QString good = dir.filePath(QStringLiteral("good.swf"));
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(tinyMovie(24, 10, 20, 30));
    }
    open(good);
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(form->ScrollBar1->Max(), 24);
    EXPECT_TRUE(form->Play->isEnabled());
    QTRY_COMPARE(form->Play->text(), QStringLiteral("停止"));
}

TEST_F(MalformedMovieInTheWindowTest, AMovieDeclaringNoFramesTakesTheZeroFramePath)
{
    // One frame in the tag stream, none in the header: the control reports the header's
    // count, and the scroll bar refuses a maximum of 0.
    swf::test::MovieOptions options;
    options.frameCount = 0;
    swf::test::SwfWriter movie(options);
    movie.showFrame();
    QString path = dir.filePath(QStringLiteral("noframes.swf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        auto bytes = movie.build();
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    open(path);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("Scrollbar property out of range."));
    EXPECT_TRUE(form->ScrollBar1->isEnabled());
    EXPECT_EQ(form->ScrollBar1->Max(), 100);
    EXPECT_FALSE(form->Play->isEnabled());
    EXPECT_FALSE(form->Timer1->Enabled());
}

TEST_F(MalformedMovieInTheWindowTest, AScriptThatNeverEndsIsReportedOnceAndTheMovieGoesOn)
{
    // Frame 1's script loops for ever; each frame it is cut off at the action budget.
    swf::test::ActionBuilder endless;
    endless.jump(-5);
    swf::test::SwfWriter movie;
    movie.doAction(endless).showFrame().showFrame().showFrame();
    QString path = dir.filePath(QStringLiteral("endless.swf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        auto bytes = movie.build();
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    open(path);
    // The box comes after the frame that ran into the limit, not inside it.
    QTRY_COMPARE(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(path)) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("超出了播放器的限制"))) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("actions in one frame"))) << boxes[0].toStdString();
    // The movie plays on through more frames (and more cut-off loops) without more boxes.
    QTest::qWait(1000);
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(form->ScrollBar1->Max(), 3);
    EXPECT_EQ(form->Play->text(), QStringLiteral("停止"));
}

} // namespace
