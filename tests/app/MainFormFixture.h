#pragma once

// Builds the real main window over a scripted player control, with error boxes taken
// instead of shown.

#include "tests/app/FakeControl.h"
#include "tests/support/QtApp.h"

#include "app/Unit1.h"
#include "app/Unit2.h"

#include "toolkit/Application.h"
#include "toolkit/FileDialogs.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>

namespace lanfan::test {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qtApp();
        app = std::make_unique<TApplication>();
        app->SetTitle(QStringLiteral("澜帆Flash播放器"));
        TApplication::setMessageBoxHandler([this](const MessageBoxRequest& r) { boxes << r.text; });
        control = std::make_shared<FakeControlState>();
        setPlayerControlFactory([state = control] { return std::make_unique<FakeControl>(state); });
    }
    void TearDown() override
    {
        form.reset();
        MainForm = nullptr;
        setPlayerControlFactory({});
        TApplication::setMessageBoxHandler({});
        app.reset();
    }
    TMainForm& build(bool show = true)
    {
        form = std::make_unique<TMainForm>();
        MainForm = form.get();
        if (show) {
            form->show();
            form->activateWindow();
            (void)QTest::qWaitForWindowActive(form.get());
        }
        return *form;
    }
    // Lets the 10 ms poller run a few times.
    static void poll() { QTest::qWait(60); }

    std::unique_ptr<TApplication> app;
    std::unique_ptr<TMainForm> form;
    std::shared_ptr<FakeControlState> control;
    QStringList boxes;
};

// The main window with its about box made, and the addresses the box asks to open
// collected instead of opened.
class MainFormWithAboutTest : public MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        build();
        about = std::make_unique<TAboutBox>();
        AboutBox = about.get();
        TAboutBox::setUrlOpener([this](const QUrl& url) {
            opened << url.toString();
            return true;
        });
    }
    void TearDown() override
    {
        TAboutBox::setUrlOpener([](const QUrl&) { return false; });
        AboutBox = nullptr;
        about.reset();
        MainFormTest::TearDown();
    }

    std::unique_ptr<TAboutBox> about;
    QStringList opened;
};

// The main window over the real, engine-backed player control, with a scratch folder
// for the movies a test writes and `open` choosing one through the Open menu.
class RealEngineWindowTest : public MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        setPlayerControlFactory({});
        ASSERT_TRUE(dir.isValid());
        build();
    }
    void TearDown() override
    {
        TCommonFileDialog::setTestResponder({});
        MainFormTest::TearDown();
    }
    void open(const QString& path)
    {
        TCommonFileDialog::setTestResponder([path](QFileDialog& d) {
            d.selectFile(path);
            return true;
        });
        form->MenuOpen->Click();
    }

    QTemporaryDir dir;
};

} // namespace lanfan::test
