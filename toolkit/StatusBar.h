#pragma once

// A status bar of panels along the bottom of a window: lowered panels with left-aligned
// text, the last reaching the right end, a size grip, and AutoHint writing the
// application's hint into the first panel.

#include "toolkit/Control.h"
#include "toolkit/HintTarget.h"

#include <QWidget>

#include <vector>

class QLabel;
class QSizeGrip;

namespace lanfan {

class TStatusBar : public QWidget, public TControl, public THintTarget {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent);

    bool AutoHint = false;
    bool SizeGrip = true;

    void AddPanel(int width, const QString& text = {});
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    QString PanelText(int index) const;
    // Setting a panel's text to the text it has does nothing (no repaint).
    void SetPanelText(int index, const QString& text);
    int PanelWidth(int index) const;
    // The panel's place in the bar as laid out now.
    QRect PanelRect(int index) const;
    QLabel* panelWidget(int index) const;

    bool TakeHint(const QString& hint) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutPanels();

    struct Panel {
        int width;
        QLabel* label;
    };
    std::vector<Panel> panels_;
    QSizeGrip* grip_ = nullptr;
};

} // namespace lanfan
