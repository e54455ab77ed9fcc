#pragma once

// The main window's stored layout: every component with its kind, parent, place,
// alignment, anchors, texts, pictures, initial state and event wiring. Geometry is
// left, top, width, height in the parent's client coordinates.

#include "toolkit/Control.h"
#include "toolkit/Menu.h"

#include <QRect>
#include <QString>

namespace lanfan {

class TMainForm;

enum class ComponentKind { Panel, SpeedButton, ScrollBar, CheckBox, PlayerControl, StatusBar, Button };

struct ComponentRow {
    const char* name;
    ComponentKind kind;
    const char* parent;  // empty: the window itself
    QRect bounds;
    TAlign align = TAlign::alNone;
    TAnchors anchors = TAnchors::leftTop();
    QString caption = {};
    QString hint = {};
    int tabOrder = -1;
    bool enabled = true;
    bool flat = false;
    bool showHint = false;
    bool parentShowHint = true;
    bool checked = false;
    bool tabStop = false;
    const char* picture = nullptr;  // resource name of a 32 x 32 picture
    const char* onEvent = nullptr;  // OnClick, or OnScroll for the scroll bar
};

struct MenuRow {
    const char* name;
    const char* parent;  // empty: the menu bar
    QString caption;
    TShortCut shortcut = 0;
    bool checked = false;
    QString hint = {};
    const char* picture = nullptr;
    const char* onClick = nullptr;
};

struct TimerRow {
    const char* name;
    bool enabled;
    int interval;
    const char* onTimer;
};

struct StatusPanelRow {
    int width;
    QString text;
};

struct FileDialogRow {
    const char* name;
    QString filter;
};

struct MainFormLayout {
    QString caption;
    int left, top, clientWidth, clientHeight;
    const ComponentRow* components;
    size_t componentCount;
    const MenuRow* menu;
    size_t menuCount;
    const StatusPanelRow* panels;
    size_t panelCount;
    const TimerRow* timers;
    size_t timerCount;
    const FileDialogRow* dialogs;
    size_t dialogCount;
    const char* onShow;
    const char* onCanResize;
};

const MainFormLayout& mainFormLayout();

} // namespace lanfan
