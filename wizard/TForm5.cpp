#include "TForm5.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kaldo {

namespace {

void clearDialog(QDialog& dialog) {
    delete dialog.layout();
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) delete child;
}

QLabel* messageLabel(QDialog& dialog, const QString& text) {
    auto* label = new QLabel(text, &dialog);
    label->setWordWrap(true);
    label->setMinimumWidth(260);
    return label;
}

QComboBox* deviceChoice(QDialog& dialog, QMenu* menu) {
    auto* box = new QComboBox(&dialog);
    for (QAction* item : menu->actions()) {
        box->addItem(item->text(), QVariant::fromValue(static_cast<void*>(item)));
        if (item->isChecked()) box->setCurrentIndex(box->count() - 1);
    }
    return box;
}

}  // namespace

TForm5::TForm5(QWidget* owner) : QDialog(owner) { setModal(true); }

void TForm5::showMessage(const QString& text) {
    clearDialog(*this);
    setWindowTitle("Kaldo Updater");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(messageLabel(*this, text));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    exec();
}

bool TForm5::askQuestion(const QString& text) {
    clearDialog(*this);
    setWindowTitle("Kaldo Updater");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(messageLabel(*this, text));
    auto* check = new QCheckBox("Yes", this);
    layout->addWidget(check);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    exec();
    return check->isChecked();
}

void TForm5::choosePorts(const QString& text, bool confirm, QMenu* out, QMenu* in) {
    clearDialog(*this);
    setWindowTitle(confirm ? "Confirm" : "Midi Ports");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(messageLabel(*this, text));
    auto* form = new QFormLayout;
    QComboBox* outBox = deviceChoice(*this, out);
    QComboBox* inBox = deviceChoice(*this, in);
    form->addRow("Midi Out", outBox);
    form->addRow("Midi In", inBox);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    if (exec() != QDialog::Accepted) return;
    // The choice is made by clicking the menu items, as every other part of the program does.
    for (QComboBox* box : {outBox, inBox}) {
        auto* item = static_cast<QAction*>(box->currentData().value<void*>());
        if (item) item->trigger();
    }
}

}  // namespace kaldo
