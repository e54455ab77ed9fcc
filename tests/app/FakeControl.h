#pragma once

// A scripted player control for the window tests: it records every call, answers from
// its fields, and fails any operation on request with the control's own error.

#include "app/player/PlayerControl.h"

#include "toolkit/Accessible.h"
#include "toolkit/Exceptions.h"

#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace lanfan::test {

struct FakeControlState {
    QStringList calls;
    QString movie;
    int32_t frameCount = 0;
    int32_t currentFrame = 0;
    bool playing = false;
    QStringList failing;  // names of operations that raise
    bool noInPlaceObject = false;
    bool takeKeys = false;
    QSize extent;
    bool uiActive = false;
    QByteArray controlData;

    int count(const QString& call) const { return static_cast<int>(calls.count(call)); }
};

class FakeControl : public PlayerControl {
public:
    explicit FakeControl(std::shared_ptr<FakeControlState> state) : s_(std::move(state)) {}

    void SetMovie(const QString& path) override
    {
        call(QStringLiteral("Movie=") + path, QStringLiteral("Movie"));
        s_->movie = path;
    }
    int32_t FrameCount() override
    {
        call(QStringLiteral("FrameCount"));
        return s_->frameCount;
    }
    bool Playing() override
    {
        call(QStringLiteral("Playing"));
        return s_->playing;
    }
    void StartPlayback() override
    {
        call(QStringLiteral("StartPlayback"));
        s_->playing = true;
    }
    void StopPlayback() override
    {
        call(QStringLiteral("StopPlayback"));
        s_->playing = false;
    }
    void SeekToFrame(int32_t frame) override
    {
        call(QStringLiteral("SeekToFrame(%1)").arg(frame), QStringLiteral("SeekToFrame"));
        s_->currentFrame = std::clamp(frame, 1, std::max(1, s_->frameCount));
    }
    int32_t QueryCurrentFrame() override
    {
        call(QStringLiteral("QueryCurrentFrame"));
        return s_->currentFrame;
    }
    void LoadControlData(const QByteArray& data) override
    {
        s_->controlData = data;
        if (s_->failing.contains(QStringLiteral("LoadControlData")))
            throw EOleSysError(QStringLiteral("Invalid storage"), static_cast<int32_t>(0x80030003));
    }
    QWidget* ActivateInPlace(QWidget& site) override
    {
        if (s_->noInPlaceObject)
            return nullptr;
        auto* w = new QWidget(&site);
        setAccessibleRole(*w, QAccessible::Animation);
        w->setAccessibleName(QStringLiteral("fake movie"));
        w->show();
        return w;
    }
    void SetExtent(QSize pixels) override { s_->extent = pixels; }
    bool TranslateAccelerator(const QKeyEvent&) override { return s_->takeKeys; }
    void UIActivate(bool active) override { s_->uiActive = active; }

private:
    void call(const QString& entry, const QString& op = {})
    {
        // Playing is polled every 10 ms; it is only logged while a test watches it.
        if (entry != QLatin1String("Playing") || s_->failing.contains(QStringLiteral("Playing")))
            s_->calls << entry;
        QString name = op.isEmpty() ? entry : op;
        if (s_->failing.contains(name))
            throw EOleException(QStringLiteral("%1 failed in the control").arg(name));
    }
    std::shared_ptr<FakeControlState> s_;
};

} // namespace lanfan::test
