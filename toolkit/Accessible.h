#pragma once

// How the toolkit's windows and components reach screen readers. Qt reads the standard
// controls (buttons, check boxes, scroll bars, labels, menus) well by itself; the
// components built on plain widgets (forms, panels, the status bar, images, hosted
// controls) would reach it as unnamed fillers. They get a role of their own here:
// a form is a frame or a dialog named by its caption, and any widget can be given a
// role with setAccessibleRole; its name is its accessible name (setAccessibleName).

#include <QAccessible>

#include <functional>

class QWidget;

namespace lanfan {

// Installs the toolkit's accessibility factory once per process (idempotent).
void installAccessibility();

// Gives `widget` the role screen readers read it with. Set it before the widget is
// first shown.
void setAccessibleRole(QWidget& widget, QAccessible::Role role);

// Gives `widget` one accessible action, "press" (a link opened from the keyboard of a
// screen reader, say); `press` runs when the reader invokes it.
void setAccessiblePress(QWidget& widget, std::function<void()> press);

} // namespace lanfan
