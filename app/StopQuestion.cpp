#include "StopQuestion.h"

#include <QMessageBox>
#include <QPushButton>
#include <memory>

namespace kaldo {

namespace {

const char* const kStopQuestion =
    "An upload is running. Stopping now leaves the amp without working firmware until you update it again. "
    "Stop the upload?";

bool answeredStop(QMessageBox* box) {
    return box->clickedButton() && box->buttonRole(box->clickedButton()) == QMessageBox::DestructiveRole;
}

}  // namespace

StopQuestion::StopQuestion(QWidget* window) : QObject(window), window_(window) {}

QMessageBox* StopQuestion::make() {
    auto* box =
        new QMessageBox(QMessageBox::Warning, "Status", kStopQuestion, QMessageBox::NoButton, window_);
    box->addButton("Stop", QMessageBox::DestructiveRole);
    QPushButton* keep = box->addButton("Keep uploading", QMessageBox::RejectRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    return box;
}

void StopQuestion::ask(std::function<void()> stop, std::function<void()> keep) {
    stop_ = std::move(stop);
    keep_ = std::move(keep);
    if (box_) {
        box_->raise();
        return;
    }
    box_ = make();
    box_->setAttribute(Qt::WA_DeleteOnClose);
    QMessageBox* box = box_;
    connect(box, &QMessageBox::finished, this, [this, box] {
        box_.clear();
        const auto answer = answeredStop(box) ? std::move(stop_) : std::move(keep_);
        stop_ = nullptr;
        keep_ = nullptr;
        if (answer) answer();
    });
    box->open();
}

bool StopQuestion::askAndWait() {
    dismiss();
    std::unique_ptr<QMessageBox> box(make());
    box->exec();
    return answeredStop(box.get());
}

void StopQuestion::dismiss() {
    if (box_) box_->done(QMessageBox::Rejected);
}

}  // namespace kaldo
