#include "EditableList.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace kaldo {

EditableList::EditableList(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::activated, this, [this] { emit changed(); });
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        {
            const QSignalBlocker quiet(this);
            setCurrentIndex(-1);
            setEditText(text);
        }
        emit changed();
    });
}

void EditableList::setPrompt(const QString& prompt) {
    const QSignalBlocker quiet(this);
    setCurrentIndex(-1);
    setEditText(prompt);
}

void EditableList::focusInEvent(QFocusEvent* event) {
    emit entered();
    QComboBox::focusInEvent(event);
}

void EditableList::showPopup() {
    emit entered();
    QComboBox::showPopup();
}

}  // namespace kaldo
