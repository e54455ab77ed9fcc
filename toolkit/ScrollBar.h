#pragma once

// A scroll bar with the toolkit's value rules: minimum, maximum and position change in
// one operation, positions are clamped, a position change enables the bar, and only the
// user's scrolling is reported, each action as scroll codes ending with scEndScroll.

#include "toolkit/Control.h"

#include <QScrollBar>

#include <functional>

namespace lanfan {

enum TScrollCode {
    scLineUp = 0,
    scLineDown = 1,
    scPageUp = 2,
    scPageDown = 3,
    scPosition = 4,
    scTrack = 5,
    scTop = 6,
    scBottom = 7,
    scEndScroll = 8,
};

class TScrollBar : public QScrollBar, public TControl {
    Q_OBJECT
public:
    explicit TScrollBar(QWidget* parent);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    int PageSize() const { return pageSize_; }
    int SmallChange() const { return smallChange_; }
    int LargeChange() const { return largeChange_; }

    // One operation on all three values; throws EInvalidOperation ("Scrollbar property
    // out of range") when max < min or max < page size.
    void SetParams(int position, int min, int max);
    void SetMin(int min) { SetParams(position_, min, max_); }
    void SetMax(int max) { SetParams(position_, min_, max); }
    void SetPosition(int position) { SetParams(position, min_, max_); }
    void SetPageSize(int pageSize);
    void SetSmallChange(int step) { smallChange_ = step; }
    void SetLargeChange(int step) { largeChange_ = step; }

    std::function<void(TControl* sender, TScrollCode code, int& scrollPos)> OnScroll;
    std::function<void(TControl* sender)> OnChange;

    // One user scroll notification: proposes a position from the code, lets OnScroll see
    // and change it, then stores it. A failing handler leaves the stored position.
    void Scroll(TScrollCode code, int trackPosition = 0);

    // Where the line-down (right) arrow is drawn, in the bar's coordinates.
    QRect lineDownArrowRect() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void onAction(int action);
    void onSliderReleased();
    void syncPlatform();

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int pageSize_ = 0;
    int smallChange_ = 1;
    int largeChange_ = 1;
    bool userAction_ = false;  // a press or key started an action not yet ended
    bool inScroll_ = false;
};

} // namespace lanfan
