#pragma once

// A timer with the toolkit's rules: it holds a platform timer exactly while it is
// enabled, has a non-zero interval and a handler; setting a value it already has does
// nothing; a refused platform timer raises "Not enough timers available"; errors in the
// handler go to the error box and the timer keeps going.

#include <QObject>
#include <QString>

#include <functional>

namespace lanfan {

class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject* owner);
    ~TTimer() override;

    QString Name;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    void SetOnTimer(std::function<void(TTimer* sender)> handler);

    // Whether a platform timer is held now.
    bool armed() const { return timerId_ != 0; }

    // Test seam: make the platform refuse new timers.
    static void setPlatformRefusesTimers(bool refuse);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void updateTimer();

    bool enabled_ = true;
    int interval_ = 1000;
    std::function<void(TTimer*)> onTimer_;
    int timerId_ = 0;
    // While an error box raised by this timer is up, its further errors are dropped, so
    // a handler that keeps failing cannot pile up boxes in the box's own message loop.
    bool showingError_ = false;
};

} // namespace lanfan
