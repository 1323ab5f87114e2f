#include "EditableList.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

namespace kaldo {

EditableList::EditableList(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    view()->installEventFilter(this);
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

void EditableList::addEntries(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const QString text = QString::fromStdString(name);
        addItem(text);
        setItemData(count() - 1, text, Qt::ToolTipRole);
    }
}

// Escape in the open drop-down closes it, and is nobody's shortcut: the wizard's Escape would also
// run its current step.
bool EditableList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        event->accept();
    return QComboBox::eventFilter(watched, event);
}

void EditableList::focusInEvent(QFocusEvent* event) {
    emit entered();
    QComboBox::focusInEvent(event);
}

void EditableList::showPopup() {
    emit entered();
    // The list itself keeps its designed width; only the drop-down grows to show whole names.
    QAbstractItemView* entries = view();
    entries->setMinimumWidth(std::max(width(), entries->sizeHintForColumn(0) + 2 * entries->frameWidth() + 4));
    QComboBox::showPopup();
}

}  // namespace kaldo
