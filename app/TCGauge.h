#pragma once
// The progress gauge CGauge1: a horizontal bar from 0 to MaxValue with its percentage written across,
// in the fore colour on the back colour, without a border.
#include <QColor>
#include <QWidget>

namespace kaldo {

class TCGauge : public QWidget {
    Q_OBJECT

public:
    explicit TCGauge(QWidget* parent);

    int MaxValue() const { return max_; }
    int Progress() const { return progress_; }
    void SetMaxValue(int max);
    void SetProgress(int progress);
    int PercentDone() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int max_ = 100;
    int progress_ = 0;
};

}  // namespace kaldo
