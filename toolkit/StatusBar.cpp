#include "toolkit/StatusBar.h"

#include "toolkit/Accessible.h"

#include <QLabel>
#include <QSizeGrip>

namespace lanfan {

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent), TControl(static_cast<QWidget&>(*this))
{
    grip_ = new QSizeGrip(this);
    setAccessibleRole(*this, QAccessible::StatusBar);
}

void TStatusBar::AddPanel(int width, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    label->setIndent(2);
    panels_.push_back({width, label});
    layoutPanels();
}

QString TStatusBar::PanelText(int index) const
{
    return panelWidget(index) ? panelWidget(index)->text() : QString();
}

void TStatusBar::SetPanelText(int index, const QString& text)
{
    QLabel* label = panelWidget(index);
    if (label && label->text() != text)
        label->setText(text);
}

int TStatusBar::PanelWidth(int index) const
{
    return index >= 0 && index < PanelCount() ? panels_[static_cast<size_t>(index)].width : 0;
}

QRect TStatusBar::PanelRect(int index) const
{
    return panelWidget(index) ? panelWidget(index)->geometry() : QRect();
}

QLabel* TStatusBar::panelWidget(int index) const
{
    return index >= 0 && index < PanelCount() ? panels_[static_cast<size_t>(index)].label : nullptr;
}

bool TStatusBar::TakeHint(const QString& hint)
{
    if (!AutoHint || PanelCount() == 0)
        return false;
    SetPanelText(0, hint);
    return true;
}

void TStatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutPanels();
}

void TStatusBar::layoutPanels()
{
    int x = 0;
    const int top = 2;
    const int h = std::max(0, height() - top);
    for (size_t i = 0; i < panels_.size(); ++i) {
        bool last = i + 1 == panels_.size();
        // The last panel reaches the right end of the bar whatever its stored width.
        int w = last ? std::max(0, width() - x) : panels_[i].width;
        panels_[i].label->setGeometry(x, top, last ? w : w - 2, h);
        x += w;
    }
    QSize gs = grip_->sizeHint();
    grip_->setGeometry(width() - gs.width(), height() - gs.height(), gs.width(), gs.height());
    grip_->setVisible(SizeGrip);
    grip_->raise();
}

} // namespace lanfan
