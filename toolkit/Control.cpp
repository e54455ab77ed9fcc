#include "toolkit/Control.h"

#include <QVariant>

namespace lanfan {

namespace {
const char* const kControlProperty = "lanfanControl";
}

TControl::TControl(QWidget& widget) : widget_(&widget)
{
    widget.setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(this)));
}

TControl::~TControl()
{
    if (widget_)
        widget_->setProperty(kControlProperty, QVariant());
}

TControl* TControl::of(const QWidget* widget)
{
    if (!widget)
        return nullptr;
    QVariant v = widget->property(kControlProperty);
    return v.isValid() ? static_cast<TControl*>(v.value<void*>()) : nullptr;
}

QString TControl::hintFor(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (TControl* c = of(w); c && !c->Hint.isEmpty()) {
            int bar = c->Hint.indexOf(QLatin1Char('|'));
            return bar < 0 ? c->Hint : c->Hint.mid(bar + 1);
        }
        if (w->isWindow())
            break;
    }
    return {};
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (AutoSize) {
        QSize content = widget_->sizeHint();
        width = content.width();
        height = content.height();
    }
    widget_->setGeometry(left, top, width, height);
    designRect_ = QRect(left, top, width, height);
    if (QWidget* parent = widget_->parentWidget())
        designParentSize_ = parent->size();
}

void TControl::SetTop(int top)
{
    SetBounds(Left(), top, Width(), Height());
}

void TControl::fitToContent()
{
    if (AutoSize && designParentSize_.isValid())
        SetBounds(designRect_.left(), designRect_.top(), 0, 0);
}

void TControl::SetVisible(bool visible)
{
    if (Visible() == visible)
        return;
    widget_->setVisible(visible);
    if (QWidget* parent = widget_->parentWidget(); parent && Align != TAlign::alNone)
        alignChildren(*parent);
}

void TControl::SetEnabled(bool enabled)
{
    if (widget_->isEnabled() != enabled)
        widget_->setEnabled(enabled);
}

bool TControl::EffectiveShowHint() const
{
    if (!ParentShowHint)
        return ShowHint;
    for (QWidget* w = widget_->parentWidget(); w; w = w->parentWidget()) {
        if (TControl* c = of(w); c && !c->ParentShowHint)
            return c->ShowHint;
        if (w->isWindow())
            break;
    }
    return false;
}

void TControl::applyAnchors(QSize parentSize)
{
    if (Align != TAlign::alNone || !designParentSize_.isValid())
        return;
    int dw = parentSize.width() - designParentSize_.width();
    int dh = parentSize.height() - designParentSize_.height();
    QRect r = designRect_;
    if (Anchors.right && Anchors.left)
        r.setWidth(std::max(0, r.width() + dw));
    else if (Anchors.right)
        r.moveLeft(r.left() + dw);
    if (Anchors.bottom && Anchors.top)
        r.setHeight(std::max(0, r.height() + dh));
    else if (Anchors.bottom)
        r.moveTop(r.top() + dh);
    widget_->setGeometry(r);
}

void TControl::alignChildren(QWidget& parent)
{
    QRect free = parent.contentsRect();
    const auto children = parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    auto place = [&](TAlign which) {
        for (QWidget* child : children) {
            TControl* c = of(child);
            if (!c || c->Align != which || child->isHidden())
                continue;
            switch (which) {
            case TAlign::alTop:
                child->setGeometry(free.left(), free.top(), free.width(), child->height());
                free.setTop(free.top() + child->height());
                break;
            case TAlign::alBottom:
                child->setGeometry(free.left(), free.bottom() + 1 - child->height(), free.width(), child->height());
                free.setBottom(free.bottom() - child->height());
                break;
            case TAlign::alLeft:
                child->setGeometry(free.left(), free.top(), child->width(), free.height());
                free.setLeft(free.left() + child->width());
                break;
            case TAlign::alRight:
                child->setGeometry(free.right() + 1 - child->width(), free.top(), child->width(), free.height());
                free.setRight(free.right() - child->width());
                break;
            case TAlign::alClient:
                child->setGeometry(free.left(), free.top(), std::max(0, free.width()), std::max(0, free.height()));
                break;
            case TAlign::alNone:
                break;
            }
        }
    };
    for (TAlign a : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient})
        place(a);
    for (QWidget* child : children)
        if (TControl* c = of(child); c && c->Align == TAlign::alNone)
            c->applyAnchors(parent.size());
}

} // namespace lanfan
