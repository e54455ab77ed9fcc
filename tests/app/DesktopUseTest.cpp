// What users of a desktop player expect beyond the menus: a movie named on the command
// line or dropped on the window opens as the open command would, and the player
// area's right-click menu acts on the control.

#include "tests/app/MainFormFixture.h"

#include "app/player/EngineControl.h"
#include "tests/support/ButtonWriter.h"
#include "tests/support/SwfWriter.h"

#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

using namespace lanfan;

namespace {

class OpenFromOutside : public test::MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        control->frameCount = 12;
    }
    static QMimeData* files(const QStringList& paths)
    {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        return data;
    }
};

TEST_F(OpenFromOutside, AMovieNamedAtStartOpensOnceTheWindowIsShownByTheOpenSteps)
{
    build(false);
    form->OpenWhenShown(QStringLiteral("/movies/片头.swf"));
    QTest::qWait(20);
    EXPECT_TRUE(control->movie.isEmpty()) << "not before the window is shown";
    form->show();
    QTRY_COMPARE(control->movie, QStringLiteral("/movies/片头.swf"));
    // The open command's own steps and their effects.
    EXPECT_EQ(control->count(QStringLiteral("StartPlayback")), 1);
    EXPECT_TRUE(form->ScrollBar1->Enabled());
    EXPECT_TRUE(form->Play->Enabled());
    EXPECT_TRUE(form->Timer1->Enabled());
    EXPECT_EQ(form->ScrollBar1->Max(), 12);
    // The open dialog starts from that file next time.
    EXPECT_EQ(form->OpenDialog1->fileName(), QStringLiteral("/movies/片头.swf"));
    // Shown again later (restored from the task bar), it does not open it again.
    form->hide();
    form->show();
    QTest::qWait(20);
    EXPECT_EQ(control->count(QStringLiteral("Movie=/movies/片头.swf")), 1);
}

TEST_F(OpenFromOutside, AMovieThatFailsToOpenAtStartGoesToTheErrorBoxLikeTheOpenCommand)
{
    control->failing << QStringLiteral("Movie");
    build(false);
    form->OpenWhenShown(QStringLiteral("/movies/坏.swf"));
    form->show();
    QTRY_COMPARE(boxes.size(), qsizetype(1));
    // The command ended at the failing step: nothing after it ran.
    EXPECT_EQ(control->count(QStringLiteral("StartPlayback")), 0);
    EXPECT_FALSE(form->Play->Enabled());
}

TEST_F(OpenFromOutside, OnlyOneLocalSwfFileIsTakenFromADrag)
{
    struct Case {
        QStringList paths;
        bool taken;
    };
    const Case cases[] = {
        {{QStringLiteral("/a/影片.swf")}, true},
        {{QStringLiteral("/a/MOVIE.SWF")}, true},
        {{QStringLiteral("/a/picture.png")}, false},
        {{QStringLiteral("/a/one.swf"), QStringLiteral("/a/two.swf")}, false},
        {{}, false},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QMimeData> data(files(c.paths));
        EXPECT_EQ(!TMainForm::droppedMovie(data.get()).isEmpty(), c.taken) << c.paths.join(' ').toStdString();
    }
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.com/a.swf"))});
    EXPECT_TRUE(TMainForm::droppedMovie(&remote).isEmpty());
    QMimeData text;
    text.setText(QStringLiteral("/a/b.swf"));
    EXPECT_TRUE(TMainForm::droppedMovie(&text).isEmpty());
}

TEST_F(OpenFromOutside, DroppingASwfFileOpensIt)
{
    build();
    EXPECT_TRUE(form->acceptDrops());
    std::unique_ptr<QMimeData> data(files({QStringLiteral("/a/拖入.swf")}));
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &drop);
    QTRY_COMPARE(control->movie, QStringLiteral("/a/拖入.swf"));
    EXPECT_TRUE(form->Play->Enabled());

    std::unique_ptr<QMimeData> other(files({QStringLiteral("/a/b.txt")}));
    QDragEnterEvent refused(QPoint(100, 100), Qt::CopyAction, other.get(), Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QApplication::sendEvent(form.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

// ---- The right-click menu ----------------------------------------------------------

// A movie of `frames` frames on a 200 x 100 pixel stage, its left half red and its
// right half blue.
QByteArray twoColourMovie(int frames)
{
    swf::test::MovieOptions options;
    options.stage = {0, 200 * 20, 0, 100 * 20};
    swf::test::SwfWriter movie(options);
    movie.setBackgroundColor({255, 255, 255, 255});
    swf::test::defineFilledRect(movie, 1, {0, 100 * 20, 0, 100 * 20}, {255, 0, 0, 255});
    swf::test::defineFilledRect(movie, 2, {100 * 20, 200 * 20, 0, 100 * 20}, {0, 0, 255, 255});
    movie.placeObject(1, 1);
    movie.placeObject(2, 2);
    for (int i = 0; i < frames; ++i)
        movie.showFrame();
    std::vector<uint8_t> bytes = movie.build();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

class ContextMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(dir.isValid());
        control.LoadControlData(mainWindowControlData());
        site.resize(400, 200);
        view = control.ActivateInPlace(site);
        ASSERT_NE(view, nullptr);
    }
    void open(int frames)
    {
        QString path = dir.filePath(QStringLiteral("m.swf"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(twoColourMovie(frames));
        f.close();
        control.SetMovie(path);
    }
    QAction* item(QMenu& menu, const QString& text)
    {
        for (QAction* a : menu.actions()) {
            if (a->text() == text)
                return a;
            if (a->menu())
                if (QAction* inner = item(*a->menu(), text))
                    return inner;
        }
        return nullptr;
    }
    void choose(const QString& text, QPointF at = {200, 100})
    {
        std::unique_ptr<QMenu> menu = control.contextMenu(at);
        ASSERT_NE(menu, nullptr);
        QAction* a = item(*menu, text);
        ASSERT_NE(a, nullptr) << text.toStdString();
        ASSERT_TRUE(a->isEnabled()) << text.toStdString();
        a->trigger();
    }
    QColor at(int x, int y) { return QColor(view->grab().toImage().pixel(x, y)); }

    QTemporaryDir dir;
    QWidget site;
    QWidget* view = nullptr;
    EngineControl control;
};

TEST_F(ContextMenu, HasTheReferenceItemsInChineseGreyedWithoutAMovie)
{
    std::unique_ptr<QMenu> menu = control.contextMenu({10, 10});
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            texts << a->text();
    EXPECT_EQ(texts, (QStringList{"放大", "缩小", "全部显示", "品质", "播放", "循环", "倒带", "前进", "后退"}));
    for (const char* name : {"放大", "播放", "倒带", "前进"})
        EXPECT_FALSE(item(*menu, QString::fromUtf8(name))->isEnabled()) << name;
    EXPECT_TRUE(item(*menu, QStringLiteral("高"))->isChecked()) << "the stored quality";
    EXPECT_TRUE(item(*menu, QStringLiteral("循环"))->isChecked()) << "the stored loop";
}

TEST_F(ContextMenu, StoredStateWithTheMenuOffHasNone)
{
    ControlSettings s = *parseControlData(mainWindowControlData());
    EngineControl off;
    QByteArray data = mainWindowControlData();
    // Value 8 ("Menu") is the true followed by an empty string and "always".
    qsizetype at = data.indexOf(QByteArray::fromHex("0b00ffff080002000000000008000e000000"), 16);
    ASSERT_GT(at, 0);
    data[at + 2] = 0;
    data[at + 3] = 0;
    off.LoadControlData(data);
    ASSERT_FALSE(off.settings().menu);
    EXPECT_EQ(off.contextMenu({0, 0}), nullptr);
    EXPECT_TRUE(s.menu);
}

TEST_F(ContextMenu, PlayLoopRewindForwardAndBackActOnTheControl)
{
    open(10);
    EXPECT_TRUE(control.Playing());
    choose(QStringLiteral("播放"));
    EXPECT_FALSE(control.Playing());
    choose(QStringLiteral("播放"));
    EXPECT_TRUE(control.Playing());

    control.StopPlayback();
    control.SeekToFrame(5);
    choose(QStringLiteral("前进"));
    EXPECT_EQ(control.QueryCurrentFrame(), 6);
    choose(QStringLiteral("后退"));
    choose(QStringLiteral("后退"));
    EXPECT_EQ(control.QueryCurrentFrame(), 4);
    EXPECT_FALSE(control.Playing()) << "stepping stops";
    control.StartPlayback();
    choose(QStringLiteral("倒带"));
    EXPECT_EQ(control.QueryCurrentFrame(), 1);
    EXPECT_FALSE(control.Playing());
    // At the ends the steps that would go nowhere are greyed.
    std::unique_ptr<QMenu> menu = control.contextMenu({0, 0});
    EXPECT_FALSE(item(*menu, QStringLiteral("后退"))->isEnabled());
    EXPECT_FALSE(item(*menu, QStringLiteral("倒带"))->isEnabled());
    control.SeekToFrame(10);
    menu = control.contextMenu({0, 0});
    EXPECT_FALSE(item(*menu, QStringLiteral("前进"))->isEnabled());

    choose(QStringLiteral("循环"));
    EXPECT_FALSE(control.settings().loop);
    EXPECT_FALSE(control.player().loop());
    menu = control.contextMenu({0, 0});
    EXPECT_FALSE(item(*menu, QStringLiteral("循环"))->isChecked());
}

TEST_F(ContextMenu, QualityIsOneOfThreeAndChecked)
{
    open(1);
    for (const auto& [text, level] : {std::pair{"低", "Low"}, std::pair{"中", "Medium"}, std::pair{"高", "High"}}) {
        choose(QString::fromUtf8(text));
        EXPECT_EQ(control.settings().quality, QString::fromLatin1(level));
        std::unique_ptr<QMenu> menu = control.contextMenu({0, 0});
        int checked = 0;
        for (const char* t : {"低", "中", "高"})
            checked += item(*menu, QString::fromUtf8(t))->isChecked();
        EXPECT_EQ(checked, 1);
        EXPECT_TRUE(item(*menu, QString::fromUtf8(text))->isChecked());
    }
}

TEST_F(ContextMenu, ZoomKeepsThePointClickedAndStaysInsideTheArea)
{
    open(1);
    // Shown whole: the stage (2:1) fills the 400 x 200 area; red left, blue right.
    EXPECT_EQ(at(100, 100), QColor(Qt::red));
    EXPECT_EQ(at(300, 100), QColor(Qt::blue));
    EXPECT_EQ(control.displayArea(), QRectF(0, 0, 400, 200));

    // Zoom in on a red point left of the middle: it stays red, and the blue half moves
    // out to the right; the picture still covers the whole area.
    choose(QStringLiteral("放大"), {150, 100});
    EXPECT_DOUBLE_EQ(control.zoom(), 2.0);
    QRectF area = control.displayArea();
    EXPECT_TRUE(area.contains(QRectF(0, 0, 400, 200)));
    EXPECT_EQ(area.size(), QSizeF(800, 400));
    EXPECT_EQ(at(150, 100), QColor(Qt::red));
    // Red spanned 0..200; twice as wide around x = 150 it spans -150..250.
    EXPECT_EQ(at(240, 100), QColor(Qt::red)) << "the red half now reaches further right";
    EXPECT_EQ(at(260, 100), QColor(Qt::blue));

    // Zooming in at a corner cannot pull the picture off the area.
    choose(QStringLiteral("放大"), {0, 0});
    area = control.displayArea();
    EXPECT_LE(area.left(), 0.0);
    EXPECT_LE(area.top(), 0.0);
    EXPECT_GE(area.right(), 400.0);
    EXPECT_GE(area.bottom(), 200.0);

    // Up to the limit, then "zoom in" is greyed.
    for (int i = 0; i < 10 && control.zoom() < EngineControl::kMaxZoom; ++i)
        choose(QStringLiteral("放大"));
    EXPECT_DOUBLE_EQ(control.zoom(), EngineControl::kMaxZoom);
    EXPECT_FALSE(item(*control.contextMenu({0, 0}), QStringLiteral("放大"))->isEnabled());

    choose(QStringLiteral("缩小"));
    EXPECT_DOUBLE_EQ(control.zoom(), EngineControl::kMaxZoom / 2);
    choose(QStringLiteral("全部显示"));
    EXPECT_DOUBLE_EQ(control.zoom(), 1.0);
    EXPECT_EQ(control.displayArea(), QRectF(0, 0, 400, 200));
    EXPECT_EQ(at(300, 100), QColor(Qt::blue));

    // A zoom follows the window when it is resized, and a new movie is shown whole.
    choose(QStringLiteral("放大"), {200, 100});
    site.resize(200, 100);
    view->resize(200, 100);
    EXPECT_EQ(control.displayArea().size(), QSizeF(400, 200));
    open(1);
    EXPECT_DOUBLE_EQ(control.zoom(), 1.0);
}

} // namespace
