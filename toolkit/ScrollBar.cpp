#include "toolkit/ScrollBar.h"

#include "toolkit/Application.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <algorithm>

namespace lanfan {

TScrollBar::TScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent), TControl(static_cast<QWidget&>(*this))
{
    setFocusPolicy(Qt::NoFocus);
    setTracking(true);
    // Our page size is 0: the thumb keeps its smallest length whatever the range. Line
    // and page steps are applied by Scroll, not by Qt.
    setPageStep(0);
    setSingleStep(1);
    syncPlatform();
    connect(this, &QAbstractSlider::actionTriggered, this, &TScrollBar::onAction);
    connect(this, &QAbstractSlider::sliderReleased, this, &TScrollBar::onSliderReleased);
}

void TScrollBar::syncPlatform()
{
    QSignalBlocker block(this);
    setRange(min_, max_);
    setValue(position_);
    setSliderPosition(position_);
}

void TScrollBar::SetParams(int position, int min, int max)
{
    if (max < min || max < pageSize_)
        throw EInvalidOperation(messages::scrollBarOutOfRange);
    position = std::clamp(position, min, max);
    bool rangeChanged = min != min_ || max != max_;
    bool positionChanged = position != position_;
    if (rangeChanged) {
        min_ = min;
        max_ = max;
    }
    if (positionChanged)
        position_ = position;
    if (rangeChanged || positionChanged)
        syncPlatform();
    if (positionChanged) {
        SetEnabled(true);
        if (OnChange)
            OnChange(this);
    }
}

void TScrollBar::SetPageSize(int pageSize)
{
    if (pageSize == pageSize_)
        return;
    if (pageSize > max_)
        throw EInvalidOperation(messages::scrollBarOutOfRange);
    pageSize_ = pageSize;
}

void TScrollBar::Scroll(TScrollCode code, int trackPosition)
{
    int proposed = position_;
    switch (code) {
    case scLineUp: proposed = position_ - smallChange_; break;
    case scLineDown: proposed = position_ + smallChange_; break;
    case scPageUp: proposed = position_ - largeChange_; break;
    case scPageDown: proposed = position_ + largeChange_; break;
    case scPosition:
    case scTrack: proposed = trackPosition; break;
    case scTop: proposed = min_; break;
    case scBottom: proposed = max_; break;
    case scEndScroll: proposed = position_; break;
    }
    proposed = std::clamp(proposed, min_, max_);
    inScroll_ = true;
    Application->guard([&] {
        if (OnScroll)
            OnScroll(this, code, proposed);
        SetPosition(proposed);
    });
    inScroll_ = false;
    // Whatever happened, the thumb shows the stored position.
    syncPlatform();
}

QRect TScrollBar::lineDownArrowRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddLine, this);
}

void TScrollBar::onAction(int action)
{
    switch (action) {
    case SliderSingleStepAdd: Scroll(scLineDown); break;
    case SliderSingleStepSub: Scroll(scLineUp); break;
    case SliderPageStepAdd: Scroll(scPageDown); break;
    case SliderPageStepSub: Scroll(scPageUp); break;
    case SliderToMinimum: Scroll(scTop); break;
    case SliderToMaximum: Scroll(scBottom); break;
    case SliderMove: {
        int track = sliderPosition();
        Scroll(scTrack, track);
        return;
    }
    default: return;
    }
}

void TScrollBar::onSliderReleased()
{
    Scroll(scPosition, sliderPosition());
}

void TScrollBar::mousePressEvent(QMouseEvent* event)
{
    userAction_ = true;
    QScrollBar::mousePressEvent(event);
}

void TScrollBar::mouseReleaseEvent(QMouseEvent* event)
{
    QScrollBar::mouseReleaseEvent(event);
    if (userAction_) {
        userAction_ = false;
        Scroll(scEndScroll);
    }
}

void TScrollBar::keyPressEvent(QKeyEvent* event)
{
    userAction_ = true;
    QScrollBar::keyPressEvent(event);
}

void TScrollBar::keyReleaseEvent(QKeyEvent* event)
{
    QScrollBar::keyReleaseEvent(event);
    if (userAction_ && !event->isAutoRepeat()) {
        userAction_ = false;
        Scroll(scEndScroll);
    }
}

void TScrollBar::wheelEvent(QWheelEvent* event)
{
    QScrollBar::wheelEvent(event);
    Scroll(scEndScroll);
}

} // namespace lanfan
