#include "app/player/TShockwaveFlash.h"

#include "toolkit/Accessible.h"

#include "app/player/EngineControl.h"

#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"

#include <QResizeEvent>

namespace lanfan {

namespace {
PlayerControlFactory& factory()
{
    static PlayerControlFactory f;
    return f;
}
} // namespace

void setPlayerControlFactory(PlayerControlFactory f)
{
    factory() = std::move(f);
}

std::unique_ptr<PlayerControl> createPlayerControl()
{
    if (factory())
        return factory()();
    return std::make_unique<EngineControl>();
}

TShockwaveFlash::TShockwaveFlash(QWidget* parent) : QWidget(parent), TControl(static_cast<QWidget&>(*this))
{
    setFocusPolicy(Qt::StrongFocus);
    // The player area, as screen readers name it; the movie inside is the control's own.
    setAccessibleRole(*this, QAccessible::Pane);
    setAccessibleName(QStringLiteral("影片播放区"));
}

TShockwaveFlash::~TShockwaveFlash() = default;

void TShockwaveFlash::CreateControl(const QByteArray& controlData)
{
    auto control = createPlayerControl();
    if (!control)
        throw EOleSysError(QStringLiteral("Class not registered"), static_cast<int32_t>(0x80040154));
    control->LoadControlData(controlData);
    control_ = std::move(control);
}

PlayerControl& TShockwaveFlash::checked() const
{
    if (!control_)
        throw EOleError(messages::interfaceNotSupported);
    return *control_;
}

void TShockwaveFlash::activate()
{
    if (controlWindow_ || !control_)
        return;
    controlWindow_ = control_->ActivateInPlace(*this);
    if (!controlWindow_)
        throw EOleError(messages::oleActivationFailed);
    control_->SetExtent(size());
}

void TShockwaveFlash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Activation happens when the window is first shown; a failure here belongs to
    // start-up and ends in its failure box.
    try {
        activate();
    } catch (...) {
        Application->handleEventError(std::current_exception());
    }
}

void TShockwaveFlash::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (control_ && controlWindow_) {
        controlWindow_->setGeometry(rect());
        control_->SetExtent(event->size());
    }
}

void TShockwaveFlash::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (control_)
        control_->UIActivate(true);
}

void TShockwaveFlash::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    if (control_)
        control_->UIActivate(false);
}

bool TShockwaveFlash::TranslateAccelerator(const QKeyEvent& event)
{
    return control_ && control_->TranslateAccelerator(event);
}

void TShockwaveFlash::SetMovie(const QString& path)
{
    checked().SetMovie(path);
}

int32_t TShockwaveFlash::FrameCount()
{
    return checked().FrameCount();
}

bool TShockwaveFlash::Playing()
{
    return checked().Playing();
}

void TShockwaveFlash::StartPlayback()
{
    checked().StartPlayback();
}

void TShockwaveFlash::StopPlayback()
{
    checked().StopPlayback();
}

void TShockwaveFlash::SeekToFrame(int32_t frame)
{
    checked().SeekToFrame(frame);
}

int32_t TShockwaveFlash::QueryCurrentFrame()
{
    return checked().QueryCurrentFrame();
}

} // namespace lanfan
