#pragma once

// What every visual component of the toolkit has beside its Qt widget: a name, a hint,
// tooltip settings, alignment and anchors, and the geometry it was designed with.
// Containers (forms, panels) lay their children out by these rules whenever they are
// resized, so a control keeps its distance to the edges it is anchored to.

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

namespace lanfan {

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

struct TAnchors {
    bool left = true, top = true, right = false, bottom = false;
    static TAnchors leftTop() { return {}; }
    static TAnchors topRight() { return {false, true, true, false}; }
    static TAnchors leftTopRight() { return {true, true, true, false}; }
};

// A click handler as the windows wire them: the sender is the component.
class TControl;
using TNotifyEvent = std::function<void(TControl* sender)>;

class TControl {
public:
    explicit TControl(QWidget& widget);
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    QWidget& widget() const { return *widget_; }

    QString Name;
    QString Hint;
    bool ShowHint = false;
    bool ParentShowHint = true;
    TAlign Align = TAlign::alNone;
    TAnchors Anchors;
    // A control that sizes itself to its content (a label to its caption in the font it
    // is drawn with): the width and height given to SetBounds are replaced by the
    // widget's size hint, now and whenever fitToContent runs.
    bool AutoSize = false;

    // Places the control in its parent's client coordinates and remembers the
    // parent's size at that moment, from which anchored edges keep their distance.
    void SetBounds(int left, int top, int width, int height);
    void SetTop(int top);
    // Resizes an AutoSize control to its content, keeping its place.
    void fitToContent();
    int Left() const { return widget_->x(); }
    int Top() const { return widget_->y(); }
    int Width() const { return widget_->width(); }
    int Height() const { return widget_->height(); }

    bool Visible() const { return !widget_->isHidden(); }
    void SetVisible(bool visible);
    bool Enabled() const { return widget_->isEnabled(); }
    void SetEnabled(bool enabled);

    // Whether the control would show a tooltip: its own ShowHint, or, with
    // ParentShowHint on, the nearest container's setting.
    bool EffectiveShowHint() const;

    // The toolkit control a widget belongs to, if any.
    static TControl* of(const QWidget* widget);
    // The hint shown for a widget: its own, else its nearest container's.
    static QString hintFor(const QWidget* widget);

    // Re-applies anchors after the parent changed size (called by containers).
    void applyAnchors(QSize parentSize);
    // Lays out `parent`'s children by alignment, then anchors.
    static void alignChildren(QWidget& parent);

private:
    QPointer<QWidget> widget_;
    QRect designRect_;
    QSize designParentSize_;
};

} // namespace lanfan
