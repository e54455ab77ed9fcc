#pragma once

// Main menu and menu items. Shortcuts are numbers (key code in the low byte, plus 8192
// for Shift, 16384 for Ctrl, 32768 for Alt) matched by the form before the focused
// control sees the key; the menu only shows their text.

#include "toolkit/Control.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QKeyEvent;

namespace lanfan {

using TShortCut = int;

constexpr TShortCut scShift = 8192;
constexpr TShortCut scCtrl = 16384;
constexpr TShortCut scAlt = 32768;

// Virtual key codes of the keys the program names.
namespace vk {
constexpr int Return = 13;
constexpr int Escape = 27;
}

// "Ctrl+O", "Esc", "Enter", "S", "Shift+Ctrl+Alt+F5" ...
QString ShortCutToText(TShortCut shortcut);
// The platform-neutral key code of a Qt key (letters and digits are their ASCII upper
// case), or 0 for keys without one.
int virtualKeyFromQt(int qtKey);
// The shortcut value of a key press.
TShortCut shortCutFromEvent(const QKeyEvent& event);

class TMenuItem : public QObject {
    Q_OBJECT
public:
    explicit TMenuItem(QObject* owner);
    ~TMenuItem() override;

    QString Name;
    QString Hint;
    std::function<void(TMenuItem* sender)> OnClick;

    void SetCaption(const QString& caption);
    QString Caption() const { return caption_; }
    void SetShortCut(TShortCut shortcut);
    TShortCut ShortCut() const { return shortcut_; }
    void SetChecked(bool checked);
    bool Checked() const { return checked_; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    void SetPicture(const QIcon& icon);

    void Add(TMenuItem* item);
    const std::vector<TMenuItem*>& Items() const { return items_; }

    // Runs OnClick while the item is enabled (errors go to the error box).
    void Click();

    QAction* action() const { return action_; }
    QMenu* submenu() const { return submenu_.get(); }

private:
    void updateActionText();

    QString caption_;
    TShortCut shortcut_ = 0;
    bool checked_ = false;
    bool enabled_ = true;
    QAction* action_ = nullptr;
    std::unique_ptr<QMenu> submenu_;  // a QMenu cannot have a non-widget parent
    std::vector<TMenuItem*> items_;
};

class TMainMenu : public QObject {
    Q_OBJECT
public:
    explicit TMainMenu(QObject* owner);

    QString Name;
    void Add(TMenuItem* item);
    const std::vector<TMenuItem*>& Items() const { return items_; }

    // The enabled item whose shortcut equals `shortcut`, searched depth first.
    TMenuItem* FindShortCut(TShortCut shortcut) const;

    // Builds the Qt menu bar for the form.
    void attach(QMenuBar& bar);

private:
    std::vector<TMenuItem*> items_;
};

} // namespace lanfan
