#pragma once

// The host of the player control in the main window: creates the control, hands it its
// stored state, activates it in place when first shown, passes size changes on, offers
// it keys before the menu shortcuts and gives it the focus. The seven automation
// operations are forwarded to the control.

#include "app/player/PlayerControl.h"

#include "toolkit/Control.h"
#include "toolkit/HintTarget.h"

#include <QWidget>

#include <memory>

namespace lanfan {

class TShockwaveFlash : public QWidget, public TControl, public TAcceleratorTarget, public IShockwaveFlash {
    Q_OBJECT
public:
    explicit TShockwaveFlash(QWidget* parent);
    ~TShockwaveFlash() override;

    // Creates the control and loads `controlData` into it. Errors raise EOleSysError.
    void CreateControl(const QByteArray& controlData);

    void SetMovie(const QString& path) override;
    int32_t FrameCount() override;
    bool Playing() override;
    void StartPlayback() override;
    void StopPlayback() override;
    void SeekToFrame(int32_t frame) override;
    int32_t QueryCurrentFrame() override;

    bool TranslateAccelerator(const QKeyEvent& event) override;

    PlayerControl* control() const { return control_.get(); }
    bool activated() const { return controlWindow_ != nullptr; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    PlayerControl& checked() const;
    void activate();

    std::unique_ptr<PlayerControl> control_;
    QWidget* controlWindow_ = nullptr;
};

} // namespace lanfan
