#include "toolkit/Accessible.h"

#include "toolkit/Application.h"
#include "toolkit/Form.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QSizeGrip>
#include <QVariant>
#include <QWidget>

namespace lanfan {

namespace {

const char* const kRoleProperty = "lanfanAccessibleRole";
const char* const kPressProperty = "lanfanAccessiblePress";

using PressAction = std::function<void()>;

// The role given to a widget, or that of its kind: a form is a frame (the main window)
// or a dialog; a size grip is a grip.
QAccessible::Role roleOf(QWidget* widget, QAccessible::Role fallback)
{
    QVariant role = widget->property(kRoleProperty);
    if (role.isValid())
        return static_cast<QAccessible::Role>(role.toInt());
    if (auto* form = qobject_cast<TForm*>(widget))
        return form->BorderStyle() == TBorderStyle::bsDialog ? QAccessible::Dialog : QAccessible::Window;
    if (qobject_cast<QSizeGrip*>(widget))
        return QAccessible::Grip;
    return fallback;
}

class ToolkitAccessible : public QAccessibleWidget {
public:
    ToolkitAccessible(QWidget* widget, QAccessible::Role fallback) : QAccessibleWidget(widget, fallback) {}

    QAccessible::Role role() const override { return roleOf(widget(), QAccessibleWidget::role()); }

    QString text(QAccessible::Text t) const override
    {
        QString value = QAccessibleWidget::text(t);
        if (t != QAccessible::Name || !value.isEmpty())
            return value;
        // A window is named by its caption, a label by its text, a size grip by what it does.
        if (auto* label = qobject_cast<QLabel*>(widget()))
            return label->text();
        if (widget()->isWindow())
            return widget()->windowTitle();
        if (qobject_cast<QSizeGrip*>(widget()))
            return QStringLiteral("调整窗口大小");
        return value;
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (press() && !names.contains(pressAction()))
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override
    {
        if (name == pressAction()) {
            if (PressAction* action = press()) {
                (*action)();
                return;
            }
        }
        QAccessibleWidget::doAction(name);
    }

private:
    PressAction* press() const
    {
        QVariant v = widget()->property(kPressProperty);
        return v.isValid() ? static_cast<PressAction*>(v.value<void*>()) : nullptr;
    }
};

QAccessibleInterface* toolkitFactory(const QString& key, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    // Widgets given a role or an action, forms, and the plain widget kinds Qt reads as
    // fillers. Qt's own kinds (buttons, labels, ...) keep Qt's readers otherwise.
    if (widget->property(kRoleProperty).isValid() || widget->property(kPressProperty).isValid())
        return new ToolkitAccessible(widget, QAccessible::Client);
    if (qobject_cast<TForm*>(widget) || key == QLatin1String("QSizeGrip"))
        return new ToolkitAccessible(widget, QAccessible::Client);
    return nullptr;
}

// The press actions live as long as their widgets.
class PressHolder : public QObject {
public:
    PressHolder(QObject* owner, PressAction run) : QObject(owner), action(std::move(run)) {}
    PressAction action;
};

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(toolkitFactory);
}

namespace {
// An interface Qt made for the widget before it was given its role or action (setting
// a label's text, say, announces it) is dropped, so the next query builds ours.
void forgetEarlierInterface(QWidget& widget)
{
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&widget);
        iface && !dynamic_cast<ToolkitAccessible*>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}
} // namespace

void setAccessibleRole(QWidget& widget, QAccessible::Role role)
{
    installAccessibility();
    widget.setProperty(kRoleProperty, static_cast<int>(role));
    forgetEarlierInterface(widget);
}

void setAccessiblePress(QWidget& widget, std::function<void()> press)
{
    installAccessibility();
    auto* holder = new PressHolder(&widget, [press = std::move(press)] {
        if (Application)
            Application->guard([&] { press(); });
        else
            press();
    });
    widget.setProperty(kPressProperty, QVariant::fromValue(static_cast<void*>(&holder->action)));
    forgetEarlierInterface(widget);
}

} // namespace lanfan
