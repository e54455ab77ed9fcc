#pragma once

// The global Selection object: the object with the keyboard focus, and the listeners
// told when it moves.

#include "engine/avm1/Object.h"

#include <optional>

namespace swf::avm1 {

class Machine;

class SelectionObject final : public Object {
public:
    using Object::Object;
    // The focused object while it is still on the stage; null for none.
    Object* focus() const;
    void setFocus(Object* object) { focus_ = object; }
    // The object last given the focus, even when it has left the stage since.
    Object* heldFocus() const { return focus_; }
    void visitEdges(Visitor& visitor) override;
    // The keyboard (Tab) put the focus where it is, so the focus rectangle shows;
    // a press of the mouse clears it.
    bool byKeyboard = false;
    // _focusrect of the movies' roots, which is the whole player's: whether objects
    // without their own setting show the yellow rectangle when Tab focuses them.
    bool focusRect = true;

private:
    Object* focus_ = nullptr;
};

// The Selection object scripts see, when it is still the built-in one.
SelectionObject* selectionObject(Machine& m);
// Whether `object` may take the focus: a text field, or a clip with focusEnabled set
// or button handlers.
bool canTakeFocus(Machine& m, Object* object);
// Moves the focus to `to` (null: nowhere) and tells the old and new objects and
// Selection's listeners; false when it was there already.
bool moveFocus(Machine& m, SelectionObject& selection, Object* to);
// The same for a move the player makes itself (Tab, a press on a field): a throw out of
// the focus handlers is reported as uncaught and the move counts as not made.
bool moveFocusByPlayer(Machine& m, SelectionObject& selection, Object* to);
// After an object left the stage or was hidden: when the focused object is gone, or
// it or a clip holding it is invisible, the focus goes nowhere, and Selection's
// listeners hear onSetFocus(old, null) (the old object onKillFocus while it remains).
void settleFocus(Machine& m);
// Before `leaving` goes off the stage: when it holds the focus, or a child of it does,
// the focus goes nowhere with the same notices, while the object can still be named.
// True when it moved (scripts ran).
bool dropFocusWithin(Machine& m, Object* leaving);

// _focusrect set on a movie's root: undefined and null change nothing, an object turns
// the rectangle off, anything else turns it on unless it is the number 0 (NaN counts
// as on).
void setRootFocusRect(Machine& m, const Value& value);
// _focusrect set on a clip, button or text field: undefined and null take the object's
// own setting away (it reads null and follows the root's), anything else is converted
// to a boolean.
std::optional<bool> objectFocusRect(Machine& m, const Value& value);

} // namespace swf::avm1
