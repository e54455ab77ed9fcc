#include "toolkit/StdCtrls.h"

#include "toolkit/Accessible.h"
#include "toolkit/Application.h"
#include "toolkit/Form.h"

#include <QMouseEvent>
#include <QPainter>

namespace lanfan {

QImage withTransparentColour(const QImage& picture)
{
    if (picture.isNull())
        return picture;
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QRgb key = image.pixel(0, image.height() - 1) & 0x00FFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((row[x] & 0x00FFFFFF) == key)
                row[x] = 0;
    }
    return image;
}

TPanel::TPanel(QWidget* parent) : QFrame(parent), TControl(static_cast<QWidget&>(*this))
{
    setAutoFillBackground(false);
    setAccessibleRole(*this, QAccessible::Pane);
}

void TPanel::SetBevels(TBevelCut outer, TBevelCut inner, int width)
{
    outer_ = outer;
    inner_ = inner;
    bevelWidth_ = width;
    update();
}

static void drawBevel(QPainter& p, QRect r, TBevelCut cut, int width, const QPalette& pal)
{
    if (cut == TBevelCut::bvNone)
        return;
    QColor topLeft = cut == TBevelCut::bvRaised ? pal.color(QPalette::Light) : pal.color(QPalette::Dark);
    QColor bottomRight = cut == TBevelCut::bvRaised ? pal.color(QPalette::Dark) : pal.color(QPalette::Light);
    for (int i = 0; i < width; ++i) {
        QRect b = r.adjusted(i, i, -i, -i);
        p.setPen(topLeft);
        p.drawLine(b.topLeft(), b.topRight());
        p.drawLine(b.topLeft(), b.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(b.bottomLeft(), b.bottomRight());
        p.drawLine(b.topRight(), b.bottomRight());
    }
}

void TPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect r = rect();
    drawBevel(p, r, outer_, bevelWidth_, palette());
    if (outer_ != TBevelCut::bvNone)
        r.adjust(bevelWidth_, bevelWidth_, -bevelWidth_, -bevelWidth_);
    drawBevel(p, r, inner_, bevelWidth_, palette());
}

void TPanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    alignChildren(*this);
}

TSpeedButton::TSpeedButton(QWidget* parent) : QToolButton(parent), TControl(static_cast<QWidget&>(*this))
{
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(this, &QToolButton::clicked, this, [this] { Click(); });
}

void TSpeedButton::SetCaption(const QString& caption)
{
    if (text() == caption)
        return;
    setText(caption);
    setToolButtonStyle(icon().isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
}

void TSpeedButton::SetGlyph(const QImage& picture)
{
    QPixmap pixmap = QPixmap::fromImage(withTransparentColour(picture));
    setIcon(QIcon(pixmap));
    setIconSize(pixmap.size());
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

void TSpeedButton::Click()
{
    if (!isEnabled() || !OnClick)
        return;
    Application->guard([this] { OnClick(this); });
}

TCheckBox::TCheckBox(QWidget* parent) : QCheckBox(parent), TControl(static_cast<QWidget&>(*this)) {}

TButton::TButton(QWidget* parent) : QPushButton(parent), TControl(static_cast<QWidget&>(*this))
{
    connect(this, &QPushButton::clicked, this, [this] {
        Application->guard([this] {
            if (OnClick)
                OnClick(this);
            if (ModalResult != 0)
                if (auto* form = qobject_cast<TForm*>(window()))
                    form->SetModalResult(ModalResult);
        });
    });
}

TLabel::TLabel(QWidget* parent) : QLabel(parent), TControl(static_cast<QWidget&>(*this))
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    AutoSize = true;
}

void TLabel::SetCaption(const QString& caption)
{
    if (text() == caption)
        return;
    setText(caption);
    fitToContent();
}

void TLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    // A new font (or style sheet) changes the text's size.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitToContent();
}

void TLabel::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    if (OnMouseDown) {
        QPoint pos = event->position().toPoint();
        Application->guard([&] { OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y()); });
    }
}

void TLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double-click is a press too.
    mousePressEvent(event);
}

TImage::TImage(QWidget* parent) : QWidget(parent), TControl(static_cast<QWidget&>(*this))
{
    setAccessibleRole(*this, QAccessible::Graphic);
}

void TImage::SetPicture(const QImage& picture)
{
    picture_ = picture;
    drawn_ = Transparent ? withTransparentColour(picture) : picture;
    update();
}

void TImage::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (Stretch)
        p.drawImage(rect(), drawn_);
    else
        p.drawImage(0, 0, drawn_);
}

} // namespace lanfan
