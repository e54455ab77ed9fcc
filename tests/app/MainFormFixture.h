#pragma once

// Builds the real main window over a scripted player control, with error boxes taken
// instead of shown.

#include "tests/app/FakeControl.h"
#include "tests/support/QtApp.h"

#include "app/Unit1.h"

#include "toolkit/Application.h"

#include <gtest/gtest.h>

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

} // namespace lanfan::test
