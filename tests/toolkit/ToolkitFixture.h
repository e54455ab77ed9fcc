#pragma once

// Common set-up for toolkit tests: the Qt application, one application object, and the
// error boxes taken instead of shown.

#include "tests/support/QtApp.h"

#include "toolkit/Application.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>

namespace lanfan::test {

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qtApp();
        app_ = std::make_unique<TApplication>();
        app_->SetTitle(QStringLiteral("澜帆Flash播放器"));
        TApplication::setMessageBoxHandler([this](const MessageBoxRequest& r) {
            boxes.push_back(r);
            if (onBox)
                onBox(r);
        });
    }
    void TearDown() override
    {
        TApplication::setMessageBoxHandler({});
        app_.reset();
    }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const auto& b : boxes)
            texts << b.text;
        return texts;
    }

    std::vector<MessageBoxRequest> boxes;
    std::function<void(const MessageBoxRequest&)> onBox;
    std::unique_ptr<TApplication> app_;
};

} // namespace lanfan::test
