#pragma once

class QKeyEvent;
class QString;

namespace lanfan {

// A component that shows the application's hint (the status bar, with AutoHint on).
class THintTarget {
public:
    virtual ~THintTarget() = default;
    virtual bool TakeHint(const QString& hint) = 0;
};

// A component that is offered each key before the menu shortcuts while it, or a child
// of it, has the focus (the player control). True when it consumed the key.
class TAcceleratorTarget {
public:
    virtual ~TAcceleratorTarget() = default;
    virtual bool TranslateAccelerator(const QKeyEvent& event) = 0;
};

} // namespace lanfan
