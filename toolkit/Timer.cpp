#include "toolkit/Timer.h"

#include "toolkit/Application.h"

#include <QTimerEvent>

namespace lanfan {

namespace {
bool& platformRefuses()
{
    static bool refuse = false;
    return refuse;
}
} // namespace

void TTimer::setPlatformRefusesTimers(bool refuse)
{
    platformRefuses() = refuse;
}

TTimer::TTimer(QObject* owner) : QObject(owner) {}

TTimer::~TTimer()
{
    if (timerId_)
        killTimer(timerId_);
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    updateTimer();
}

void TTimer::SetInterval(int milliseconds)
{
    if (interval_ == milliseconds)
        return;
    interval_ = milliseconds;
    updateTimer();
}

void TTimer::SetOnTimer(std::function<void(TTimer*)> handler)
{
    onTimer_ = std::move(handler);
    updateTimer();
}

void TTimer::updateTimer()
{
    if (timerId_) {
        killTimer(timerId_);
        timerId_ = 0;
    }
    if (!enabled_ || interval_ <= 0 || !onTimer_)
        return;
    timerId_ = platformRefuses() ? 0 : startTimer(interval_, Qt::CoarseTimer);
    if (timerId_ == 0)
        throw EOutOfResources(messages::noTimers);
}

void TTimer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timerId_ || !onTimer_)
        return;
    try {
        onTimer_(this);
    } catch (...) {
        if (showingError_)
            return;
        showingError_ = true;
        // The box is shown once this tick has returned, so that the timer goes on
        // ticking inside the box's own message loop.
        QMetaObject::invokeMethod(
            this,
            [this, error = std::current_exception()] {
                Application->guard([&] { std::rethrow_exception(error); });
                showingError_ = false;
            },
            Qt::QueuedConnection);
    }
}

} // namespace lanfan
