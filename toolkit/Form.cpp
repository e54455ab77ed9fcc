#include "toolkit/Form.h"

#include "toolkit/Accessible.h"
#include "toolkit/Application.h"
#include "toolkit/Menu.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace lanfan {

TClientArea::TClientArea(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ClientArea"));
}

void TClientArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    TControl::alignChildren(*this);
}

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    installAccessibility();
    setAttribute(Qt::WA_DeleteOnClose, false);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    client_ = new TClientArea(this);
    client_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout_->addWidget(client_);
    if (Application)
        Application->registerForm(*this);
}

TForm::~TForm()
{
    destroying_ = true;
    if (Application)
        Application->unregisterForm(*this);
}

void TForm::SetCaption(const QString& caption)
{
    if (windowTitle() != caption)
        setWindowTitle(caption);
}

void TForm::SetStoredPlacement(int left, int top, int clientWidth, int clientHeight)
{
    int menuHeight = layout_->menuBar() ? layout_->menuBar()->sizeHint().height() : 0;
    // The client area keeps its designed size; the window grows by the menu bar.
    client_->resize(clientWidth, clientHeight);
    if (borderStyle_ == TBorderStyle::bsDialog)
        setFixedSize(clientWidth, clientHeight + menuHeight);  // a dialog frame cannot be resized
    else
        resize(clientWidth, clientHeight + menuHeight);
    move(left, top);
}

int TForm::ClientWidth() const
{
    return client_->width();
}

int TForm::ClientHeight() const
{
    return client_->height();
}

void TForm::SetBorderStyle(TBorderStyle style)
{
    borderStyle_ = style;
    if (style == TBorderStyle::bsDialog) {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        setFixedSize(size());
    }
}

void TForm::SetMenu(TMainMenu* menu)
{
    menu_ = menu;
    auto* bar = new QMenuBar(this);
    bar->setNativeMenuBar(false);
    bar->setAccessibleName(QStringLiteral("菜单栏"));
    menu->attach(*bar);
    layout_->setMenuBar(bar);
}

void TForm::FocusControl(TControl& control)
{
    QWidget* target = &control.widget();
    if (target->window() != this)
        throw EInvalidOperation(messages::cannotFocus);
    for (QWidget* w = target; w && w != this; w = w->parentWidget())
        if (w->isHidden() || !w->isEnabled())
            throw EInvalidOperation(messages::cannotFocus);
    activeControl_ = target;
    if (isActiveWindow()) {
        target->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (isHidden() || !isEnabled())
        throw EInvalidOperation(messages::cannotFocus);
    // Not the active window: the control becomes the one that gets the focus when the
    // window is activated (a modal window up elsewhere keeps it from being active).
    target->setFocus(Qt::OtherFocusReason);
}

TWindowState TForm::WindowState() const
{
    if (isMinimized())
        return TWindowState::wsMinimized;
    if (isMaximized())
        return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
}

void TForm::SetWindowState(TWindowState state)
{
    Qt::WindowStates s = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == TWindowState::wsMinimized)
        s |= Qt::WindowMinimized;
    else if (state == TWindowState::wsMaximized)
        s |= Qt::WindowMaximized;
    setWindowState(s);
}

void TForm::Close()
{
    close();
}

void TForm::closeEvent(QCloseEvent* event)
{
    if (modalResult_ == mrNone && testAttribute(Qt::WA_ShowModal)) {
        // Closing a modal form by its close box answers "cancel".
        modalResult_ = mrCancel;
        event->ignore();
        return;
    }
    if (Application && Application->MainForm() == this) {
        // Closing the main window ends the application; the window stays on screen
        // until the loop has ended.
        event->ignore();
        Application->Terminate();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm::SetModalResult(int result)
{
    modalResult_ = result;
}

int TForm::ShowModal()
{
    if (isVisible())
        throw EInvalidOperation(messages::cannotMakeVisibleModal);
    QPointer<QWidget> previouslyActive = QApplication::activeWindow();
    QApplication::restoreOverrideCursor();
    modalResult_ = mrNone;
    setWindowModality(Qt::ApplicationModal);
    show();
    activateWindow();
    raise();
    QEventLoop loop;
    while (modalResult_ == mrNone) {
        if (Application && Application->Terminated()) {
            modalResult_ = mrCancel;
            break;
        }
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    int result = modalResult_;
    hide();
    setWindowModality(Qt::NonModal);
    if (previouslyActive)
        previouslyActive->activateWindow();
    return result;
}

bool TForm::IsShortCut(const QKeyEvent& event)
{
    if (!menu_)
        return false;
    TMenuItem* item = menu_->FindShortCut(shortCutFromEvent(event));
    if (!item)
        return false;
    item->Click();
    return true;
}

void TForm::showEvent(QShowEvent* event)
{
    if (!shownOnce_) {
        beforeFirstShow();
        shownOnce_ = true;
    }
    if (!event->spontaneous() && OnShow)
        Application->guard([this] { OnShow(this); });
    QWidget::showEvent(event);
}

void TForm::runCanResize(QSize newSize)
{
    if (!OnCanResize || loading_ || destroying_ || !testAttribute(Qt::WA_WState_Created))
        return;
    int w = newSize.width();
    int h = newSize.height();
    bool allow = true;
    Application->guard([&] { OnCanResize(this, w, h, allow); });
}

void TForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // There is no notice before a size change on every platform, so the can-resize
    // event runs as the size changes; the handler never vetoes, so the effect is the same.
    if (event->size() != lastSize_) {
        lastSize_ = event->size();
        if (isVisible())
            runCanResize(event->size());
    }
}

void TForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Minimising does not resize the widget in Qt, yet it is a size change of the window.
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        runCanResize(size());
}

} // namespace lanfan
