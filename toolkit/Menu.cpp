#include "toolkit/Menu.h"

#include "toolkit/Application.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

namespace lanfan {

QString ShortCutToText(TShortCut shortcut)
{
    if (shortcut == 0)
        return {};
    QString text;
    if (shortcut & scShift)
        text += QStringLiteral("Shift+");
    if (shortcut & scCtrl)
        text += QStringLiteral("Ctrl+");
    if (shortcut & scAlt)
        text += QStringLiteral("Alt+");
    int key = shortcut & 0xFF;
    switch (key) {
    case 8: return text + QStringLiteral("BkSp");
    case 9: return text + QStringLiteral("Tab");
    case vk::Return: return text + QStringLiteral("Enter");
    case vk::Escape: return text + QStringLiteral("Esc");
    case 32: return text + QStringLiteral("Space");
    case 33: return text + QStringLiteral("PgUp");
    case 34: return text + QStringLiteral("PgDn");
    case 35: return text + QStringLiteral("End");
    case 36: return text + QStringLiteral("Home");
    case 37: return text + QStringLiteral("Left");
    case 38: return text + QStringLiteral("Up");
    case 39: return text + QStringLiteral("Right");
    case 40: return text + QStringLiteral("Down");
    case 45: return text + QStringLiteral("Ins");
    case 46: return text + QStringLiteral("Del");
    default: break;
    }
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return text + QChar(key);
    if (key >= 112 && key <= 123)
        return text + QStringLiteral("F%1").arg(key - 111);
    return text + QStringLiteral("#%1").arg(key);
}

int virtualKeyFromQt(int qtKey)
{
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return vk::Return;
    case Qt::Key_Escape: return vk::Escape;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: return 0;
    }
}

TShortCut shortCutFromEvent(const QKeyEvent& event)
{
    int key = virtualKeyFromQt(event.key());
    if (key == 0)
        return 0;
    TShortCut value = key;
    Qt::KeyboardModifiers mods = event.modifiers();
    if (mods & Qt::ShiftModifier)
        value += scShift;
    if (mods & Qt::ControlModifier)
        value += scCtrl;
    if (mods & Qt::AltModifier)
        value += scAlt;
    return value;
}

TMenuItem::TMenuItem(QObject* owner) : QObject(owner), action_(new QAction(this))
{
    connect(action_, &QAction::triggered, this, [this] { Click(); });
    connect(action_, &QAction::hovered, this, [this] {
        if (Application)
            Application->SetMenuHint(Hint);
    });
}

TMenuItem::~TMenuItem() = default;

void TMenuItem::SetCaption(const QString& caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    updateActionText();
}

void TMenuItem::SetShortCut(TShortCut shortcut)
{
    if (shortcut_ == shortcut)
        return;
    shortcut_ = shortcut;
    updateActionText();
}

void TMenuItem::updateActionText()
{
    // The shortcut is only shown (after a tab, in the menu's shortcut column); the form
    // matches it itself so that the player control sees keys first.
    QString text = caption_;
    if (shortcut_ != 0)
        text += QLatin1Char('\t') + ShortCutToText(shortcut_);
    action_->setText(text);
    if (submenu_) {
        submenu_->setTitle(caption_);
        submenu_->setAccessibleName(QString(caption_).remove(QLatin1Char('&')));
    }
}

void TMenuItem::SetChecked(bool checked)
{
    if (checked_ == checked)
        return;
    checked_ = checked;
    action_->setCheckable(checked || action_->isCheckable());
    action_->setChecked(checked);
}

void TMenuItem::SetEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    action_->setEnabled(enabled);
}

void TMenuItem::SetPicture(const QIcon& icon)
{
    action_->setIcon(icon);
}

void TMenuItem::Add(TMenuItem* item)
{
    if (!submenu_) {
        submenu_ = std::make_unique<QMenu>(caption_);
        // Screen readers name a drop-down menu after its title, without the "&".
        submenu_->setAccessibleName(QString(caption_).remove(QLatin1Char('&')));
        action_->setMenu(submenu_.get());
        connect(submenu_.get(), &QMenu::aboutToHide, this, [] {
            if (Application)
                Application->SetMenuHint(QString());
        });
    }
    items_.push_back(item);
    submenu_->addAction(item->action());
}

void TMenuItem::Click()
{
    if (!enabled_ || !OnClick)
        return;
    // Check marks are only ever set by handlers: undo Qt's automatic toggle.
    if (action_->isCheckable() && action_->isChecked() != checked_)
        action_->setChecked(checked_);
    Application->guard([this] { OnClick(this); });
}

TMainMenu::TMainMenu(QObject* owner) : QObject(owner) {}

void TMainMenu::Add(TMenuItem* item)
{
    items_.push_back(item);
}

static TMenuItem* findShortCutIn(const std::vector<TMenuItem*>& items, TShortCut shortcut)
{
    for (TMenuItem* item : items) {
        if (item->ShortCut() == shortcut && item->Enabled())
            return item;
        if (TMenuItem* found = findShortCutIn(item->Items(), shortcut))
            return found;
    }
    return nullptr;
}

TMenuItem* TMainMenu::FindShortCut(TShortCut shortcut) const
{
    if (shortcut == 0)
        return nullptr;
    return findShortCutIn(items_, shortcut);
}

void TMainMenu::attach(QMenuBar& bar)
{
    for (TMenuItem* item : items_) {
        if (item->submenu())
            bar.addMenu(item->submenu());
        else
            bar.addAction(item->action());
    }
    connect(&bar, &QMenuBar::hovered, this, [this](QAction* action) {
        for (TMenuItem* item : items_)
            if (item->action() == action || (item->submenu() && item->submenu()->menuAction() == action))
                Application->SetMenuHint(item->Hint);
    });
}

} // namespace lanfan
