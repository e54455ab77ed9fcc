#include "toolkit/Application.h"

#include "toolkit/Control.h"
#include "toolkit/Form.h"
#include "toolkit/HintTarget.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QToolTip>

#include <cinttypes>
#include <utility>
#include <cstdio>

namespace lanfan {

TApplication* Application = nullptr;

namespace {
TApplication::MessageBoxHandler& messageBoxHandler()
{
    static TApplication::MessageBoxHandler handler;
    return handler;
}

QString messageOf(const std::exception& error)
{
    if (auto* e = dynamic_cast<const Exception*>(&error))
        return e->message();
    return QString::fromUtf8(error.what());
}

QString classNameOf(const std::exception& error)
{
    if (auto* e = dynamic_cast<const Exception*>(&error))
        return e->className();
    return QStringLiteral("Exception");
}

// A window offers a hint to its active control, then itself, then each visible child,
// descending into visible containers; true when someone took it.
bool offerHint(QWidget& widget, const QString& hint)
{
    if (widget.isHidden())
        return false;
    if (auto* target = dynamic_cast<THintTarget*>(&widget); target && target->TakeHint(hint))
        return true;
    for (QObject* child : widget.children())
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow() && offerHint(*w, hint))
            return true;
    return false;
}
} // namespace

TApplication::TApplication()
{
    Application = this;
    tooltipTimer_ = new QTimer(this);
    tooltipTimer_->setSingleShot(true);
    connect(tooltipTimer_, &QTimer::timeout, this, [this] {
        QWidget* w = tooltipWidget_;
        TControl* c = TControl::of(w);
        if (w && c && w->underMouse())
            QToolTip::showText(QCursor::pos(), TControl::hintFor(w), w, QRect(), kTooltipShownMs);
    });
    if (qApp)
        qApp->installEventFilter(this);
}

TApplication::~TApplication()
{
    if (qApp)
        qApp->removeEventFilter(this);
    if (Application == this)
        Application = nullptr;
}

void TApplication::SetTitle(const QString& title)
{
    if (title_ == title)
        return;
    title_ = title;
    // The task-bar entry shows the window's icon text, not its caption.
    if (mainForm_)
        mainForm_->setWindowIconText(title_);
}

void TApplication::registerForm(TForm& form)
{
    forms_.append(&form);
    if (!mainForm_) {
        mainForm_ = &form;
        form.setWindowIconText(title_);
    }
}

void TApplication::unregisterForm(TForm& form)
{
    forms_.removeAll(&form);
    if (mainForm_ == &form)
        mainForm_ = nullptr;
}

int TApplication::Run(ShowCommand command)
{
    if (!mainForm_)
        return 0;
    switch (command) {
    case ShowCommand::Maximized:
        mainForm_->SetWindowState(TWindowState::wsMaximized);
        mainForm_->show();
        break;
    case ShowCommand::MinimizedNoActivate:
        mainForm_->SetWindowState(TWindowState::wsMinimized);
        mainForm_->showMinimized();
        break;
    case ShowCommand::Normal:
        mainForm_->show();
        break;
    }
    if (startupError_)
        std::rethrow_exception(std::exchange(startupError_, nullptr));
    if (terminated_)
        return 0;
    loopRunning_ = true;
    int code = QApplication::exec();
    loopRunning_ = false;
    return code;
}

void TApplication::handleEventError(std::exception_ptr error)
{
    if (!loopRunning_) {
        if (!startupError_)
            startupError_ = error;
        return;
    }
    guard([&] { std::rethrow_exception(error); });
}

void TApplication::Terminate()
{
    terminated_ = true;
    QCoreApplication::quit();
}

void TApplication::setMessageBoxHandler(MessageBoxHandler handler)
{
    messageBoxHandler() = std::move(handler);
}

QString TApplication::errorBoxText(const QString& message)
{
    // A full stop is added unless the text is empty or already ends in a character at or
    // below "." (".", " ", "!", ",", "-" among them).
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

QString TApplication::startupFailureText(const QString& className, const QString& module, const void* address,
                                         const QString& message)
{
    char addressText[32];
    std::snprintf(addressText, sizeof addressText, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                  reinterpret_cast<uintptr_t>(address));
    QString stop = (!message.isEmpty() && !message.endsWith(QLatin1Char('.'))) ? QStringLiteral(".") : QString();
    QString text = QStringLiteral("Exception %1 in module %2 at %3.\r\n%4%5\r\n")
                       .arg(className, module, QString::fromLatin1(addressText), message, stop);
    return text.left(1024);
}

void TApplication::showMessageBox(const MessageBoxRequest& request)
{
    if (messageBoxHandler()) {
        messageBoxHandler()(request);
        return;
    }
    QMessageBox box(QMessageBox::Critical, request.caption, request.text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void TApplication::ShowException(const std::exception& error)
{
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    showMessageBox({title_, errorBoxText(messageOf(error)), MessageBoxRequest::Icon::Stop, false});
}

void TApplication::ShowStartupFailure(const std::exception& error, const void* address)
{
    QString module = QCoreApplication::applicationFilePath().section(QLatin1Char('/'), -1);
    QString text = startupFailureText(classNameOf(error), module, address, messageOf(error));
    showMessageBox({QStringLiteral("Application Error"), text, MessageBoxRequest::Icon::Stop, true});
}

void TApplication::reportError(const std::exception& error)
{
    ShowException(error);
}

void TApplication::SetHint(const QString& hint)
{
    if (hint_ == hint)
        return;
    hint_ = hint;
    emit hintChanged(hint_);
    QWidget* active = QApplication::activeWindow();
    if (active && offerHint(*active, hint_))
        return;
    if (mainForm_ && mainForm_ != active)
        offerHint(*mainForm_, hint_);
}

void TApplication::updateHintFromPointer()
{
    hintUpdateQueued_ = false;
    // While a menu is open, the highlighted item owns the hint.
    if (QApplication::activePopupWidget())
        return;
    QWidget* under = QApplication::widgetAt(QCursor::pos());
    SetHint(under ? TControl::hintFor(under) : QString());
}

void TApplication::pointerEntered(QWidget* widget)
{
    TControl* control = TControl::of(widget);
    if (control && control->EffectiveShowHint() && !TControl::hintFor(widget).isEmpty()) {
        tooltipWidget_ = widget;
        tooltipTimer_->start(kTooltipDelayMs);
        return;
    }
    tooltipWidget_ = nullptr;
    tooltipTimer_->stop();
}

void TApplication::scheduleHintUpdate()
{
    if (hintUpdateQueued_)
        return;
    hintUpdateQueued_ = true;
    // Runs once the events now queued have been handled: the loop's idle moment.
    QTimer::singleShot(0, this, [this] { updateHintFromPointer(); });
}

bool TApplication::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        scheduleHintUpdate();
        break;
    case QEvent::Enter:
        pointerEntered(qobject_cast<QWidget*>(watched));
        scheduleHintUpdate();
        break;
    case QEvent::Leave:
        if (watched == tooltipWidget_) {
            tooltipTimer_->stop();
            tooltipWidget_ = nullptr;
            QToolTip::hideText();
        }
        scheduleHintUpdate();
        break;
    case QEvent::ToolTip:
        // Tooltips are shown by the toolkit's own rules above, never by Qt's.
        return true;
    case QEvent::KeyPress: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget != (QApplication::focusWidget() ? QApplication::focusWidget() : widget->window()))
            break;
        auto* form = qobject_cast<TForm*>(widget->window());
        if (!form)
            break;
        auto* key = static_cast<QKeyEvent*>(event);
        // The control with the focus may take the key before the menu's shortcuts.
        for (QWidget* w = widget; w && w != form; w = w->parentWidget())
            if (auto* target = dynamic_cast<TAcceleratorTarget*>(w); target && target->TranslateAccelerator(*key))
                return true;
        if (form->IsShortCut(*key))
            return true;
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lanfan
