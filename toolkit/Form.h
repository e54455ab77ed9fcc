#pragma once

// A top-level window in the toolkit's manner: caption, a client area whose children are
// laid out by alignment and anchors, a main menu with shortcuts that are tried before
// the focused control, show and can-resize events, an active control, and modal showing.

#include "toolkit/Control.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QMenuBar;
class QVBoxLayout;
class QKeyEvent;

namespace lanfan {

class TMainMenu;
class TMenuItem;

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TBorderStyle { bsSizeable, bsDialog };

// Modal results as the dialogs return them.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

// The part of a form below its menu bar, where components live.
class TClientArea : public QWidget {
    Q_OBJECT
public:
    explicit TClientArea(QWidget* parent);

protected:
    void resizeEvent(QResizeEvent* event) override;
};

class TForm : public QWidget {
    Q_OBJECT
public:
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    // The widget that holds the form's components (client coordinates).
    TClientArea& client() const { return *client_; }

    void SetCaption(const QString& caption);
    QString Caption() const { return windowTitle(); }
    // Places the window's frame at (left, top) and sizes its client area.
    void SetStoredPlacement(int left, int top, int clientWidth, int clientHeight);
    int ClientWidth() const;
    int ClientHeight() const;
    void SetBorderStyle(TBorderStyle style);
    TBorderStyle BorderStyle() const { return borderStyle_; }

    void SetMenu(TMainMenu* menu);
    TMainMenu* Menu() const { return menu_; }

    // Events wired by the stored layout.
    std::function<void(TForm* sender)> OnShow;
    std::function<void(TForm* sender, int& newWidth, int& newHeight, bool& resize)> OnCanResize;

    // The control that holds, or will hold, the keyboard focus in this window.
    QWidget* ActiveControl() const { return activeControl_; }
    // Moves the keyboard focus to `control`: it must lie in this window and it and each
    // container up to the window must be visible and enabled.
    void FocusControl(TControl& control);

    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);

    // Closing the main window ends the application.
    void Close();

    // Modal showing: disables the other windows, runs a nested loop until ModalResult
    // is set, hides the form and returns the result.
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result);
    // Whether the form has been shown once (for positions forced only at first showing).
    bool shownOnce() const { return shownOnce_; }

    // Offers a key to the menu's shortcuts; true when a menu item took it.
    bool IsShortCut(const QKeyEvent& event);

    // While true the form is being loaded from its description or destroyed; size
    // changes then do not run OnCanResize.
    void setLoading(bool loading) { loading_ = loading; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Called when a form is first shown, before it is drawn; subclasses may place it.
    virtual void beforeFirstShow() {}

private:
    void runCanResize(QSize newSize);

    QVBoxLayout* layout_ = nullptr;
    TClientArea* client_ = nullptr;
    TMainMenu* menu_ = nullptr;
    QPointer<QWidget> activeControl_;
    TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
    int modalResult_ = mrNone;
    bool shownOnce_ = false;
    bool loading_ = false;
    bool destroying_ = false;
    QSize lastSize_;
};

} // namespace lanfan
