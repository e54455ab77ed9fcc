#include "tests/support/QtApp.h"

#include "toolkit/FileDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace lanfan;

namespace {

// ---- Filters and placement ---------------------------------------------------------------

TEST(FileFilterTest, LabelsAndPatternsAlternate)
{
    const auto entries = parseFileFilter(QStringLiteral("FLASH文件|*.Swf|所有文件夹|*.*"));
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0], (FileFilterEntry{QStringLiteral("FLASH文件"), {QStringLiteral("*.Swf")}}));
    EXPECT_EQ(entries[1], (FileFilterEntry{QStringLiteral("所有文件夹"), {QStringLiteral("*.*")}}));
    EXPECT_EQ(qtNameFilters(entries), (QStringList{QStringLiteral("FLASH文件 (*.Swf)"), QStringLiteral("所有文件夹 (*)")}));

    EXPECT_EQ(parseFileFilter(QStringLiteral("位图|*.bmp")).size(), 1);
}

TEST(FileFilterTest, PatternMayHoldSeveralGlobsAndIncompleteEntriesAreDropped)
{
    const auto entries = parseFileFilter(QStringLiteral("图片|*.bmp; *.png|无模式"));
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].patterns, (QStringList{QStringLiteral("*.bmp"), QStringLiteral("*.png")}));
    EXPECT_EQ(qtNameFilters(entries), QStringList{QStringLiteral("图片 (*.bmp *.png)")});

    EXPECT_TRUE(parseFileFilter(QString()).isEmpty());
    EXPECT_TRUE(parseFileFilter(QStringLiteral("空|")).isEmpty());
}

TEST(DialogPlacementTest, CentredAcrossWithAThirdOfTheFreeHeightAbove)
{
    EXPECT_EQ(dialogPositionOnMonitor(QRect(0, 0, 1024, 768), QSize(600, 400)), QPoint(212, 122));
    // A second monitor to the right: its own origin counts.
    EXPECT_EQ(dialogPositionOnMonitor(QRect(1920, -100, 1280, 1024), QSize(500, 301)), QPoint(1920 + 390, -100 + 241));
    // Odd free space rounds toward the monitor's origin.
    EXPECT_EQ(dialogPositionOnMonitor(QRect(0, 0, 801, 602), QSize(600, 400)), QPoint(100, 67));
    // A dialog larger than the monitor overhangs it on all sides by the same rule.
    EXPECT_EQ(dialogPositionOnMonitor(QRect(0, 0, 800, 600), QSize(900, 700)), QPoint(-50, -33));
}

// ---- Running the dialogs -----------------------------------------------------------------

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(dir.isValid());
        TCommonFileDialog::setTestMessageHandler([this](const QString& text) { warnings << text; });
        // A message box the dialog opens by itself (the overwrite question) would wait
        // for a click for ever; close it and count it.
        startClosingQuestions();
    }
    void TearDown() override
    {
        TCommonFileDialog::setTestResponder({});
        TCommonFileDialog::setTestMessageHandler({});
    }

    void startClosingQuestions()
    {
        boxCloser.setInterval(20);
        QObject::connect(&boxCloser, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++questionsAsked;
                box->reject();
            }
        });
        boxCloser.start();
    }

    QString touch(const QString& name) const
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        return QDir::toNativeSeparators(file.fileName());
    }

    // Runs the dialog; `respond` acts on it once it is open, and its answer confirms or
    // cancels.
    bool run(TCommonFileDialog& dialog, std::function<bool(QFileDialog&)> respond)
    {
        TCommonFileDialog::setTestResponder(std::move(respond));
        return dialog.Execute();
    }

    QTemporaryDir dir;
    QTimer boxCloser;
    QStringList warnings;
    int questionsAsked = 0;
};

// The names the dialog's list shows once its folder has been read.
QStringList listedNames(QFileDialog& dialog, int expected)
{
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    if (!view)
        return {QStringLiteral("no list")};
    QStringList names;
    // Whatever the wait ends with, the names tell the test what the list showed.
    (void)QTest::qWaitFor([&] {
        names.clear();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            names << view->model()->index(row, 0, root).data().toString();
        return names.size() >= expected;
    });
    names.sort();
    return names;
}

TEST_F(FileDialogTest, StartsWithFirstFilterNoNameAndTheUsualOptions)
{
    TOpenDialog dialog;
    EXPECT_EQ(dialog.filterIndex(), 1);
    EXPECT_TRUE(dialog.fileName().isEmpty());
    EXPECT_EQ(dialog.options(), TOpenOption::ofHideReadOnly | TOpenOption::ofEnableSizing);
    EXPECT_TRUE(dialog.title().isEmpty());
    EXPECT_TRUE(dialog.defaultExt().isEmpty());
    EXPECT_TRUE(dialog.initialDir().isEmpty());
}

TEST_F(FileDialogTest, FilterMatchesWhateverTheCaseAndAllFilesMeansEveryName)
{
    touch("a.swf");
    touch("B.SWF");
    touch("c.txt");
    touch("README");
    TOpenDialog dialog;
    dialog.setFilter(QStringLiteral("FLASH文件|*.Swf|所有文件夹|*.*"));
    dialog.setInitialDir(dir.path());
    QStringList flashFiles, allFiles, labels;
    run(dialog, [&](QFileDialog& d) {
        labels = d.nameFilters();
        flashFiles = listedNames(d, 2);
        d.selectNameFilter(d.nameFilters().value(1));
        allFiles = listedNames(d, 4);
        return false;
    });
    EXPECT_EQ(labels.size(), 2);
    EXPECT_EQ(flashFiles, (QStringList{"B.SWF", "a.swf"}));
    EXPECT_EQ(allFiles, (QStringList{"B.SWF", "README", "a.swf", "c.txt"}));
}

TEST_F(FileDialogTest, ConfirmedChoiceIsRememberedAndOfferedNextTime)
{
    const QString chosen = touch("电影.swf");
    TOpenDialog dialog;
    dialog.setFilter(QStringLiteral("FLASH文件|*.Swf|所有文件夹|*.*"));
    QString filterAtStart;
    EXPECT_TRUE(run(dialog, [&](QFileDialog& d) {
        filterAtStart = d.selectedNameFilter();
        d.selectNameFilter(d.nameFilters().value(1));
        d.selectFile(chosen);
        return true;
    }));
    EXPECT_EQ(filterAtStart, QStringLiteral("FLASH文件 (*.Swf)"));
    EXPECT_EQ(dialog.fileName(), chosen);
    EXPECT_EQ(dialog.filterIndex(), 2);

    // Next time the dialog opens in the same folder with the same name and filter;
    // cancelling it changes nothing.
    QString offeredFolder, offeredName, offeredFilter;
    EXPECT_FALSE(run(dialog, [&](QFileDialog& d) {
        offeredFolder = QDir::toNativeSeparators(d.directory().absolutePath());
        offeredName = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        offeredFilter = d.selectedNameFilter();
        d.selectFile(dir.filePath("other.swf"));
        d.selectNameFilter(d.nameFilters().value(0));
        return false;
    }));
    EXPECT_EQ(offeredFolder, QDir::toNativeSeparators(dir.path()));
    EXPECT_EQ(offeredName, QStringLiteral("电影.swf"));
    EXPECT_EQ(offeredFilter, QStringLiteral("所有文件夹 (*)"));
    EXPECT_EQ(dialog.fileName(), chosen);
    EXPECT_EQ(dialog.filterIndex(), 2);
}

TEST_F(FileDialogTest, PathLongerThanTheNameBufferIsRefusedWithAMessage)
{
    // Nested folders bring the path past 259 characters, each name within the
    // file system's own limit.
    QString folder = dir.path();
    while (folder.size() < 300) {
        folder += QLatin1Char('/') + QString(60, QLatin1Char('d'));
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    TSaveDialog dialog;
    dialog.setFilter(QStringLiteral("位图|*.bmp"));
    EXPECT_FALSE(run(dialog, [&](QFileDialog& d) {
        d.selectFile(folder + QStringLiteral("/shot"));
        return true;
    }));
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("259"))) << warnings[0].toStdString();
    EXPECT_TRUE(dialog.fileName().isEmpty());

    // A path of exactly 259 characters fits.
    const QString fits = dir.path() + QLatin1Char('/') + QString(259 - dir.path().size() - 1, QLatin1Char('f'));
    ASSERT_EQ(fits.size(), 259);
    EXPECT_TRUE(run(dialog, [&](QFileDialog& d) {
        d.selectFile(fits);
        return true;
    }));
    EXPECT_EQ(dialog.fileName(), QDir::toNativeSeparators(fits));
}

TEST_F(FileDialogTest, SaveReplacesWithoutAskingUnlessOverwritePromptIsSet)
{
    const QString existing = touch("a.bmp");
    TSaveDialog dialog;
    dialog.setFilter(QStringLiteral("位图|*.bmp"));
    auto pickExisting = [&](QFileDialog& d) {
        d.selectFile(existing);
        return true;
    };
    EXPECT_TRUE(run(dialog, pickExisting));
    EXPECT_EQ(questionsAsked, 0);
    EXPECT_EQ(dialog.fileName(), existing);

    dialog.setOptions(dialog.options() | TOpenOption::ofOverwritePrompt);
    EXPECT_FALSE(run(dialog, pickExisting));  // the test answers the question with no
    EXPECT_EQ(questionsAsked, 1);
}

TEST_F(FileDialogTest, SaveNameGetsNoExtensionUnlessADefaultIsSet)
{
    TSaveDialog dialog;
    dialog.setFilter(QStringLiteral("位图|*.bmp"));
    auto typeShot = [&](QFileDialog& d) {
        d.selectFile(dir.filePath("shot"));
        return true;
    };
    ASSERT_TRUE(run(dialog, typeShot));
    EXPECT_EQ(dialog.fileName(), QDir::toNativeSeparators(dir.filePath("shot")));

    dialog.setDefaultExt(QStringLiteral("bmp"));
    ASSERT_TRUE(run(dialog, typeShot));
    EXPECT_EQ(dialog.fileName(), QDir::toNativeSeparators(dir.filePath("shot.bmp")));
}

TEST_F(FileDialogTest, OptionsDecideSizingReadOnlyBoxAndTitle)
{
    TOpenDialog dialog;
    bool resizable = false, hasReadOnlyBox = true;
    QString title;
    run(dialog, [&](QFileDialog& d) {
        resizable = d.minimumSize() != d.maximumSize() && d.isSizeGripEnabled();
        hasReadOnlyBox = d.findChild<QCheckBox*>() != nullptr;
        title = d.windowTitle();
        return false;
    });
    EXPECT_TRUE(resizable);
    EXPECT_FALSE(hasReadOnlyBox);
    EXPECT_FALSE(title.isEmpty()) << "the dialog's own title";

    dialog.setOptions({});
    dialog.setTitle(QStringLiteral("打开影片"));
    const QString chosen = touch("a.swf");
    EXPECT_TRUE(run(dialog, [&](QFileDialog& d) {
        resizable = d.minimumSize() != d.maximumSize() || d.isSizeGripEnabled();
        title = d.windowTitle();
        auto* box = d.findChild<QCheckBox*>();
        hasReadOnlyBox = box != nullptr;
        if (box)
            box->setChecked(true);
        d.selectFile(chosen);
        return true;
    }));
    EXPECT_FALSE(resizable);
    EXPECT_TRUE(hasReadOnlyBox);
    EXPECT_EQ(title, QStringLiteral("打开影片"));
    EXPECT_TRUE(dialog.options().testFlag(TOpenOption::ofReadOnly));
}

TEST_F(FileDialogTest, SaveDialogIsMovedOntoTheMonitorByTheThirdsRule)
{
    TSaveDialog dialog;
    dialog.setFilter(QStringLiteral("位图|*.bmp"));
    QRect frameWhenOpen;
    run(dialog, [&](QFileDialog& d) {
        frameWhenOpen = d.frameGeometry();
        return false;
    });
    const auto placement = TSaveDialog::lastPlacement();
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(placement->monitor, QGuiApplication::primaryScreen()->geometry());
    EXPECT_EQ(placement->frame.topLeft(), dialogPositionOnMonitor(placement->monitor, placement->frame.size()));
    EXPECT_EQ(frameWhenOpen, placement->frame) << "moved, keeping its size";
}

} // namespace
