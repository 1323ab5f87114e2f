#pragma once
// The editable drop-down list of the wizard and dialogs. Typing into it leaves it with no selected
// entry (index -1), as the amp's users know it; changed() follows a pick and every keystroke,
// entered() the first moment the list is reached (focus or opening it). Its drop-down opens as wide
// as its longest entry, and each entry carries its whole text as a tooltip: MIDI port names are long
// and the lists are narrow.
#include <QComboBox>
#include <QString>
#include <string>
#include <vector>

namespace kaldo {

class EditableList : public QComboBox {
    Q_OBJECT
public:
    explicit EditableList(QWidget* parent);

    // The text shown while nothing is selected ("Midi Out Devices").
    void setPrompt(const QString& prompt);
    // Appends entries, each with its text as tooltip.
    void addEntries(const std::vector<std::string>& names);
    // A chosen name too long for the box (the dialog's lists are narrow, port names long) shows whole
    // in a narrower font, down to a legible floor, never only its end.
    void fitShown();

    void showPopup() override;

signals:
    void changed();
    void entered();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace kaldo
