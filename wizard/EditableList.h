#pragma once
// The editable drop-down list of the wizard and dialogs. Typing into it leaves it with no selected
// entry (index -1), as the amp's users know it; changed() follows a pick and every keystroke,
// entered() the first moment the list is reached (focus or opening it).
#include <QComboBox>
#include <QString>

namespace kaldo {

class EditableList : public QComboBox {
    Q_OBJECT
public:
    explicit EditableList(QWidget* parent);

    // The text shown while nothing is selected ("Midi Out Devices").
    void setPrompt(const QString& prompt);

    void showPopup() override;

signals:
    void changed();
    void entered();

protected:
    void focusInEvent(QFocusEvent* event) override;
};

}  // namespace kaldo
