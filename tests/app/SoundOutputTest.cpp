// The window's sound output where there is no audio device (as on CI): one notice,
// and the movie plays on with its sounds drained at the clock's pace.

#include "tests/app/MainFormFixture.h"

#include "app/player/EngineControl.h"
#include "app/player/SoundOutput.h"
#include "engine/audio/Mixer.h"
#include "tests/support/SoundWriter.h"
#include "tests/support/SwfWriter.h"

#include <QFile>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>

using namespace lanfan;

namespace {

bool haveAudioDevice()
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

TEST(SoundOutput, WithoutADeviceGivesOneNoticeHoweverOftenStarted)
{
    lanfan::test::qtApp();
    if (haveAudioDevice())
        GTEST_SKIP() << "this machine has an audio device";
    auto mixer = std::make_shared<swf::audio::Mixer>();
    SoundOutput output(mixer);
    QStringList notices;
    output.setNoticeSink([&](const QString& text) { notices << text; });
    output.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notices.isEmpty(); }, 60000));
    output.start();
    output.start();
    QTest::qWait(50);
    EXPECT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.front().contains(QStringLiteral("无声")));
    EXPECT_FALSE(output.active());
}

TEST(SoundOutput, MoviePlaysOnSilentlyAndItsSoundsEnd)
{
    lanfan::test::qtApp();
    if (haveAudioDevice())
        GTEST_SKIP() << "this machine has an audio device";
    swf::test::MovieOptions options;
    options.frameRate = 30;
    swf::test::SwfWriter movie(options);
    std::vector<int16_t> tenth(4410, 1000);
    swf::test::definePcmSound(movie, 1, tenth);
    swf::test::startSound(movie, 1);
    for (int i = 0; i < 60; ++i)
        movie.showFrame();
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("sound.swf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    auto bytes = movie.build();
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    file.close();

    EngineControl control;
    control.LoadControlData(mainWindowControlData());
    control.soundOutput().setNoticeSink([](const QString&) {});
    control.SetMovie(path);
    control.StartPlayback();
    EXPECT_TRUE(QTest::qWaitFor([&] { return control.QueryCurrentFrame() > 3; }, 60000));
    // The tenth of a second of sound is pulled and dropped as the clock runs.
    EXPECT_TRUE(QTest::qWaitFor([&] { return control.player().mixer()->voiceCount() == 0; }, 60000));
}

} // namespace
