#include "tests/app/MainFormFixture.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QtEndian>

using namespace lanfan;

namespace {

class OpenCommandTest : public test::MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        build();
    }
    void TearDown() override
    {
        TCommonFileDialog::setTestResponder({});
        MainFormTest::TearDown();
    }
    QString file(const QString& name)
    {
        QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("FWS");
        return path;
    }
    // The next dialog picks `path` (confirming) or is cancelled (empty path).
    void answer(const QString& path)
    {
        TCommonFileDialog::setTestResponder([path, this](QFileDialog& d) {
            shownFileNames << d.selectedFiles().value(0);
            if (path.isEmpty())
                return false;
            d.selectFile(path);
            return true;
        });
    }
    void open(const QString& path, int frames)
    {
        control->frameCount = frames;
        answer(path);
        form->MenuOpen->Click();
    }

    QTemporaryDir dir;
    QStringList shownFileNames;
};

TEST_F(OpenCommandTest, OpenRunsTheStepsInOrderAndEnablesTheControls)
{
    QString movie = file(QStringLiteral("影片 ✓.swf"));
    control->calls.clear();
    open(movie, 240);
    EXPECT_EQ(control->calls, (QStringList{"Movie=" + movie, "FrameCount", "StartPlayback"}));
    // Names outside any ANSI code page arrive unchanged.
    EXPECT_EQ(control->movie, movie);
    EXPECT_EQ(form->ScrollBar1->Min(), 1);
    EXPECT_EQ(form->ScrollBar1->Max(), 240);
    EXPECT_EQ(form->ScrollBar1->Position(), 1);
    EXPECT_TRUE(form->ScrollBar1->isEnabled());
    EXPECT_TRUE(form->Timer1->Enabled());
    EXPECT_TRUE(form->Play->isEnabled());
    // The counter waits for the tracker.
    EXPECT_EQ(form->StatusBar->PanelText(1), QStringLiteral("当前帧："));
}

TEST_F(OpenCommandTest, CancelChangesNothing)
{
    control->calls.clear();
    answer(QString());
    form->MenuOpen->Click();
    EXPECT_TRUE(control->calls.isEmpty());
    EXPECT_FALSE(form->ScrollBar1->isEnabled());
    EXPECT_FALSE(form->Play->isEnabled());
    EXPECT_EQ(form->StatusBar->PanelText(1), QStringLiteral("当前帧："));
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(OpenCommandTest, ToolbarButtonAndShortcutOpenTheSameWay)
{
    QString movie = file(QStringLiteral("a.swf"));
    control->frameCount = 1;
    answer(movie);
    form->Open->Click();
    EXPECT_EQ(control->movie, movie);
    EXPECT_EQ(form->ScrollBar1->Max(), 1);
    EXPECT_EQ(form->ScrollBar1->Position(), 1);

    QString other = file(QStringLiteral("b.swf"));
    answer(other);
    form->ShockwaveFlash1->setFocus();
    QTest::keyClick(form->ShockwaveFlash1, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(control->movie, other);
}

TEST_F(OpenCommandTest, ZeroFramesOnTheFirstOpen)
{
    QString movie = file(QStringLiteral("empty.swf"));
    control->calls.clear();
    open(movie, 0);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("Scrollbar property out of range."));
    EXPECT_TRUE(form->ScrollBar1->isEnabled());
    EXPECT_EQ(form->ScrollBar1->Min(), 1);
    EXPECT_EQ(form->ScrollBar1->Max(), 100);
    EXPECT_EQ(form->ScrollBar1->Position(), 1);
    EXPECT_FALSE(form->Play->isEnabled());
    EXPECT_FALSE(form->Timer1->Enabled());
    EXPECT_EQ(control->count("StartPlayback"), 0);
    EXPECT_EQ(control->movie, movie);
}

TEST_F(OpenCommandTest, ZeroFramesOnALaterOpenKeepsThePreviousRange)
{
    open(file(QStringLiteral("long.swf")), 240);
    form->ScrollBar1->SetPosition(120);
    open(file(QStringLiteral("empty.swf")), 0);
    EXPECT_EQ(form->ScrollBar1->Max(), 240);
    EXPECT_EQ(form->ScrollBar1->Position(), 120);
    EXPECT_TRUE(form->Play->isEnabled());
}

TEST_F(OpenCommandTest, ShorterMovieClampsThePosition)
{
    open(file(QStringLiteral("long.swf")), 240);
    form->ScrollBar1->SetPosition(120);
    open(file(QStringLiteral("short.swf")), 50);
    EXPECT_EQ(form->ScrollBar1->Max(), 50);
    EXPECT_EQ(form->ScrollBar1->Position(), 50);
}

TEST_F(OpenCommandTest, ControlErrorsStopTheCommandAtTheirStep)
{
    control->failing << QStringLiteral("Movie");
    open(file(QStringLiteral("bad.swf")), 10);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("Movie failed in the control."));
    EXPECT_EQ(form->ScrollBar1->Min(), 0);
    EXPECT_FALSE(form->ScrollBar1->isEnabled());
}

TEST_F(OpenCommandTest, DialogRemembersThePathAndFilter)
{
    QString movie = file(QStringLiteral("first.swf"));
    open(movie, 10);
    EXPECT_EQ(form->OpenDialog1->fileName(), movie);
    answer(QString());
    form->MenuOpen->Click();
    ASSERT_EQ(shownFileNames.size(), 2);
    EXPECT_EQ(QFileInfo(shownFileNames[1]).fileName(), QStringLiteral("first.swf"));
    EXPECT_EQ(form->OpenDialog1->filter(), QStringLiteral("FLASH文件|*.Swf|所有文件夹|*.*"));
    EXPECT_EQ(form->OpenDialog1->filterIndex(), 1);
}

class CaptureTest : public OpenCommandTest {};

TEST_F(CaptureTest, CaptureWritesThePlayerAreaWithBmpAppended)
{
    QString target = dir.filePath(QStringLiteral("shot"));
    answer(target);
    form->MenuCatchPicture->Click();
    ASSERT_TRUE(boxes.isEmpty()) << boxes.join("; ").toStdString();
    QFile bmp(target + QStringLiteral(".bmp"));
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    QByteArray data = bmp.readAll();
    ASSERT_GE(data.size(), 54);
    EXPECT_EQ(data.left(2), QByteArray("BM"));
    auto s32 = [&](int at) { return qFromLittleEndian<qint32>(data.constData() + at); };
    EXPECT_EQ(s32(18), 518);
    EXPECT_EQ(s32(22), 282);
    // A name typed with ".bmp" still gets it appended, and the dialog remembers the name.
    EXPECT_EQ(form->SaveDialog1->fileName(), target);
    answer(target + QStringLiteral(".bmp"));
    QTest::keyClick(form.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(target + QStringLiteral(".bmp.bmp")));
    EXPECT_EQ(QFileInfo(shownFileNames.last()).fileName(), QStringLiteral("shot"));
}

TEST_F(CaptureTest, CaptureFollowsTheLayoutWithTheToolbarHidden)
{
    form->MenuToolBar->Click();
    QString target = dir.filePath(QStringLiteral("notoolbar"));
    answer(target);
    form->MenuCatchPicture->Click();
    QFile bmp(target + QStringLiteral(".bmp"));
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    QByteArray data = bmp.readAll();
    ASSERT_GE(data.size(), 54);
    EXPECT_EQ(qFromLittleEndian<qint32>(data.constData() + 22), 331);
}

TEST_F(CaptureTest, UnwritableTargetReportsAndTheNextCaptureWorks)
{
    QString folder = dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral(".bmp")));
    answer(folder);
    form->MenuCatchPicture->Click();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(QStringLiteral("Cannot create file \"%1.bmp\". ").arg(QDir::toNativeSeparators(folder))))
        << boxes[0].toStdString();
    QString good = dir.filePath(QStringLiteral("good"));
    answer(good);
    form->MenuCatchPicture->Click();
    EXPECT_TRUE(QFile::exists(good + QStringLiteral(".bmp")));
}

TEST_F(CaptureTest, PlayerAreaWithoutHeightIsReportedBeforeAnyDialog)
{
    // The toolbar and the status bar take all of a tiny window's client area.
    form->client().resize(518, 40);
    ASSERT_EQ(form->ShockwaveFlash1->height(), 0);
    answer(dir.filePath(QStringLiteral("never")));
    form->MenuCatchPicture->Click();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("截图区域为空（宽度或高度为 0），未保存文件."));
    EXPECT_TRUE(shownFileNames.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(CaptureTest, CancelWritesNothing)
{
    answer(QString());
    form->CatchPicture->Click();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(boxes.isEmpty());
}

} // namespace
