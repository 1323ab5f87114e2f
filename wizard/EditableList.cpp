#include "EditableList.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QFontMetrics>
#include <QFontInfo>

namespace kaldo {

EditableList::EditableList(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    view()->installEventFilter(this);
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::activated, this, [this] {
        fitShown();
        emit changed();
    });
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
    fitShown();
}

void EditableList::addEntries(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const QString text = QString::fromStdString(name);
        addItem(text);
        setItemData(count() - 1, text, Qt::ToolTipRole);
    }
}

// The text shown (a chosen name, a prompt) in the list's box: a name too long for it takes a narrower
// font, down to a legible floor, rather than show only its end.
void EditableList::fitShown() {
    constexpr int kSmallestPixels = 9;
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // the edit field less the line edit's own margins
    const int room = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width() - 4;
    QFont font = this->font();  // the list's own; only what it shows may take a narrower one
    const QString shown = currentText();
    if (QFontMetrics(font).horizontalAdvance(shown) > room) {
        // Fontconfig names the condensed face as a family of its own; a font database that reads the
        // font's file alone (Windows' offscreen platform) has it as the condensed stretch of DejaVu Sans.
        font.setFamilies({"DejaVu Sans Condensed", "DejaVu Sans"});
        font.setStretch(QFont::SemiCondensed);
        const int start = QFontInfo(this->font()).pixelSize();
        for (int size = start; size >= kSmallestPixels; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).horizontalAdvance(shown) <= room) break;
        }
    }
    lineEdit()->setFont(font);
    lineEdit()->setCursorPosition(0);  // whatever does not fit, the start of the name shows
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

void EditableList::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    fitShown();
}

void EditableList::showPopup() {
    emit entered();
    // The list itself keeps its designed width; only the drop-down grows to show whole names.
    QAbstractItemView* entries = view();
    entries->setMinimumWidth(std::max(width(), entries->sizeHintForColumn(0) + 2 * entries->frameWidth() + 4));
    QComboBox::showPopup();
}

}  // namespace kaldo
