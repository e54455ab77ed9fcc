// What the engine has to say about the open movie reaches the status bar's first panel,
// each notice once per movie: a movie whose every frame asks for a sound file the
// local-file rules refuse gives the notice once, not again as it plays on or is sought
// through, and again once when a movie is opened afresh.

#include "tests/app/MainFormFixture.h"

#include "app/player/EngineControl.h"
#include "tests/support/SwfWriter.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <QTemporaryDir>

using namespace lanfan;

namespace {

class EngineNoticeTest : public test::RealEngineWindowTest {
protected:
    void SetUp() override
    {
        RealEngineWindowTest::SetUp();
        // The pointer away from every control: the hint it gives is empty and stays so,
        // and cannot take the panel over from a notice.
        QCursor::setPos(-1000, -1000);
        app->updateHintFromPointer();
    }
    // A movie in its own folder whose three frames each load "../outside.mp3", a file
    // beside that folder, which scripts may not read.
    QString refusingMovie()
    {
        EXPECT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("movie")));
        QFile outside(dir.filePath(QStringLiteral("outside.mp3")));
        EXPECT_TRUE(outside.open(QIODevice::WriteOnly));
        outside.write("ID3");
        constexpr uint8_t kNewObject = 0x40, kSetVariable = 0x1D, kCallMethod = 0x52, kPop = 0x17;
        swf::test::ActionBuilder load;
        load.pushString("s").pushInt(0).pushString("Sound").op(kNewObject).op(kSetVariable);
        load.pushBool(false).pushString("../outside.mp3").pushInt(2).getVariable("s").pushString("loadSound");
        load.op(kCallMethod).op(kPop);
        swf::test::SwfWriter movie;
        for (int i = 0; i < 3; ++i)
            movie.doAction(load).showFrame();
        const QString path = dir.filePath(QStringLiteral("movie/refusing.swf"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        const std::vector<uint8_t> bytes = movie.build();
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }
    EngineControl* control() { return dynamic_cast<EngineControl*>(form->ShockwaveFlash1->control()); }
    QString panel() { return form->StatusBar->PanelText(0); }
};

// Notices that name the refused file, among all those given (the sound output may add
// its own "no audio device" at any moment, from its thread).
int refusals(const QStringList& notices)
{
    int count = 0;
    for (const QString& n : notices)
        count += n.contains(QStringLiteral("outside.mp3")) ? 1 : 0;
    return count;
}

TEST_F(EngineNoticeTest, ANoticeShowsInTheStatusBarOncePerMovie)
{
    const QString path = refusingMovie();
    // The window's own wiring: the movie's notice reaches the first panel.
    open(path);
    ASSERT_TRUE(boxes.isEmpty()) << boxes.front().toStdString();
    ASSERT_NE(control(), nullptr);
    // Frame 1's script has run once the seek returns: the first movie's notice is given.
    control()->StopPlayback();
    control()->SeekToFrame(1);
    QTRY_VERIFY(!panel().isEmpty());

    // From here every notice is counted on its way to the panel.
    QStringList notices;
    control()->SetNoticeSink([this, &notices](const QString& text) {
        notices << text;
        form->StatusBar->SetPanelText(0, text);
    });
    open(path);
    ASSERT_TRUE(boxes.isEmpty());
    control()->StopPlayback();
    // Every frame's script asks again, played or sought to: the notice is given once.
    for (int frame : {1, 2, 3, 1, 2, 3})
        control()->SeekToFrame(frame);
    QCoreApplication::processEvents();
    EXPECT_EQ(refusals(notices), 1) << notices.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(notices.contains(panel()) || panel().contains(QStringLiteral("outside.mp3")));

    // The movie opened again is a new movie: its notice is given once more.
    open(path);
    ASSERT_TRUE(boxes.isEmpty());
    control()->StopPlayback();
    for (int frame : {1, 2, 3})
        control()->SeekToFrame(frame);
    QCoreApplication::processEvents();
    EXPECT_EQ(refusals(notices), 2) << notices.join(QStringLiteral(" | ")).toStdString();
}

} // namespace
