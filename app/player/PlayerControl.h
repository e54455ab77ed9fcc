#pragma once

// What the host widget needs from a player control beside its automation interface:
// its persisted state, in-place activation inside the host, extents, keys and focus.

#include "app/player/ControlData.h"
#include "app/player/IShockwaveFlash.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QKeyEvent;
class QWidget;

namespace lanfan {

class PlayerControl : public IShockwaveFlash {
public:
    // Loads the persisted state before any other call (an empty array means "new").
    virtual void LoadControlData(const QByteArray& data) = 0;
    // Creates the control's window inside `site` and shows it; returns that window, or
    // null when the control has no in-place object.
    virtual QWidget* ActivateInPlace(QWidget& site) = 0;
    virtual void SetExtent(QSize pixels) = 0;
    // Offered each key while the control has the focus; true when it took the key.
    virtual bool TranslateAccelerator(const QKeyEvent& event) = 0;
    virtual void UIActivate(bool active) = 0;
    // Problems a movie plays on through (a file a script may not read, a video picture
    // that does not decode), each text once per movie. Controls without any ignore it.
    virtual void SetNoticeSink(std::function<void(const QString&)> sink) { (void)sink; }
};

// Creates the player control; tests replace it with a scripted fake.
using PlayerControlFactory = std::function<std::unique_ptr<PlayerControl>()>;
void setPlayerControlFactory(PlayerControlFactory factory);
std::unique_ptr<PlayerControl> createPlayerControl();

} // namespace lanfan
