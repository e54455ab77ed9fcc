#pragma once

// The plain components the windows are made of: panels, speed buttons, check boxes,
// push buttons, labels and images.

#include "toolkit/Control.h"

#include <QCheckBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace lanfan {

enum class TBevelCut { bvNone, bvLowered, bvRaised };

// A container with an outer and an inner bevel, laying its children out like a form.
class TPanel : public QFrame, public TControl {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent);

    void SetBevels(TBevelCut outer, TBevelCut inner, int width = 1);
    TBevelCut BevelOuter() const { return outer_; }
    TBevelCut BevelInner() const { return inner_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TBevelCut outer_ = TBevelCut::bvRaised;
    TBevelCut inner_ = TBevelCut::bvNone;
    int bevelWidth_ = 1;
};

// A button that takes no focus. Flat ones draw their border only under the mouse. Its
// picture's bottom-left pixel colour is transparent.
class TSpeedButton : public QToolButton, public TControl {
    Q_OBJECT
public:
    explicit TSpeedButton(QWidget* parent);

    void SetCaption(const QString& caption);
    QString Caption() const { return text(); }
    void SetFlat(bool flat) { setAutoRaise(flat); }
    void SetGlyph(const QImage& picture);

    std::function<void(TControl* sender)> OnClick;
    // Runs OnClick as a click would (also while hidden); nothing while disabled.
    void Click();
};

class TCheckBox : public QCheckBox, public TControl {
    Q_OBJECT
public:
    explicit TCheckBox(QWidget* parent);
    bool Checked() const { return isChecked(); }
    void SetChecked(bool checked)
    {
        if (isChecked() != checked)
            setChecked(checked);
    }
};

class TButton : public QPushButton, public TControl {
    Q_OBJECT
public:
    explicit TButton(QWidget* parent);
    void SetCaption(const QString& caption)
    {
        if (text() != caption)
            setText(caption);
    }
    // A button with a modal result closes its modal form with that result.
    int ModalResult = 0;
    std::function<void(TControl* sender)> OnClick;
    void SetTabStop(bool stop) { setFocusPolicy(stop ? Qt::StrongFocus : Qt::NoFocus); }
};

// A label sizes itself to its caption in its font (AutoSize on), on one line.
class TLabel : public QLabel, public TControl {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent);
    void SetCaption(const QString& caption);
    std::function<void(TControl* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseDown;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
};

class TImage : public QWidget, public TControl {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent);
    // Set Transparent before the picture: it decides how the picture is prepared.
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    bool Stretch = false;
    bool Transparent = false;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    QImage drawn_;
};

// The picture with its transparent colour (that of the bottom-left pixel) made clear.
QImage withTransparentColour(const QImage& picture);

} // namespace lanfan
