#pragma once
// A status row of fixed-width panels with centred text, each panel a sunken cell; the last panel
// stretches to the right edge. Text too long for its panel wraps onto a second line.
#include <QFrame>
#include <QLabel>
#include <vector>

namespace kaldo {

class TStatusBar : public QFrame {
    Q_OBJECT

public:
    TStatusBar(QWidget* parent, const std::vector<int>& panelWidths, const QColor& colour);

    int panelCount() const { return static_cast<int>(panels_.size()); }
    QLabel* panel(int i) const { return panels_.at(static_cast<std::size_t>(i)); }
    QString text(int i) const { return panel(i)->text(); }
    void setText(int i, const QString& text);

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void layoutPanels();

    std::vector<int> widths_;
    std::vector<QLabel*> panels_;
};

}  // namespace kaldo
