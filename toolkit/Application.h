#pragma once

// The application object: its title, its main window, the error box that every event
// handler's error ends in, the start-up failure box, and the current hint.

#include "toolkit/Exceptions.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QString>

#include <exception>
#include <functional>

class QWidget;
class QTimer;

namespace lanfan {

class TForm;

// How a process asks its first window to be shown (the system's show command).
enum class ShowCommand { Normal, Maximized, MinimizedNoActivate };

// A message box the application is about to show; tests may take it instead.
struct MessageBoxRequest {
    enum class Icon { Stop };
    QString caption;
    QString text;
    Icon icon = Icon::Stop;
    bool startupFailure = false;
};

class TApplication : public QObject {
    Q_OBJECT
public:
    TApplication();
    ~TApplication() override;

    QString Title() const { return title_; }
    void SetTitle(const QString& title);

    TForm* MainForm() const { return mainForm_; }
    // Called by each form as it is constructed; the first one becomes the main window.
    void registerForm(TForm& form);
    void unregisterForm(TForm& form);
    const QList<QPointer<TForm>>& forms() const { return forms_; }

    // Shows the main window as the show command asks, then runs the message loop until
    // Terminate(). Returns the loop's exit code.
    int Run(ShowCommand command = ShowCommand::Normal);
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The error box: caption the title, stop icon, OK, the message with a full stop
    // added by the usual rule.
    void ShowException(const std::exception& error);
    // Shows the start-up failure box for an error raised before the loop runs.
    void ShowStartupFailure(const std::exception& error, const void* address);

    // Runs an event handler, turning any error into the error box. No exception ever
    // leaves it, so it is safe to call from any Qt event or slot.
    template <class F>
    void guard(F&& handler) noexcept
    {
        try {
            handler();
        } catch (const std::exception& e) {
            reportError(e);
        } catch (...) {
            reportError(Exception(QStringLiteral("Unknown error")));
        }
    }

    // An error raised inside a Qt event while the main window is first shown belongs to
    // start-up: it is kept and raised again from Run. Once the loop runs, it goes to the
    // error box like any other.
    void handleEventError(std::exception_ptr error);

    // The hint of what the mouse points at, kept by the application and handed to the
    // active window, then the main window, when it changes.
    QString Hint() const { return hint_; }
    void SetHint(const QString& hint);
    // Finds the control under the mouse pointer and takes its hint.
    void updateHintFromPointer();
    // The text shown for a menu item while it is highlighted; empty when the menu closes.
    void SetMenuHint(const QString& hint) { SetHint(hint); }

    // Tooltips: shown after this long under the mouse, hidden after the second, only for
    // controls whose ShowHint (followed up the containers) is on.
    static constexpr int kTooltipDelayMs = 500;
    static constexpr int kTooltipShownMs = 2500;
    // The control a tooltip is waiting for or showing, if any (for tests).
    QWidget* tooltipOwner() const { return tooltipWidget_; }
    // Called when the pointer rests on `widget`; starts its tooltip's delay.
    void pointerEntered(QWidget* widget);

    // Test seam: take message boxes instead of showing them.
    using MessageBoxHandler = std::function<void(const MessageBoxRequest&)>;
    static void setMessageBoxHandler(MessageBoxHandler handler);

    // Texts as shown, exposed for tests.
    static QString errorBoxText(const QString& message);
    static QString startupFailureText(const QString& className, const QString& module, const void* address,
                                      const QString& message);

signals:
    void hintChanged(const QString& hint);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reportError(const std::exception& error);
    void showMessageBox(const MessageBoxRequest& request);
    void scheduleHintUpdate();

    QString title_;
    QString hint_;
    TForm* mainForm_ = nullptr;
    QList<QPointer<TForm>> forms_;
    bool terminated_ = false;
    bool loopRunning_ = false;
    bool hintUpdateQueued_ = false;
    std::exception_ptr startupError_;
    QPointer<QWidget> tooltipWidget_;
    QTimer* tooltipTimer_ = nullptr;
};

// The one application object of the process.
extern TApplication* Application;

} // namespace lanfan
