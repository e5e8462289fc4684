#include "qt_support/dialog_answerer.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace qt_test {

dialog_answerer::dialog_answerer() {
  connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
  timer_.start(20);
}

void dialog_answerer::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr) return;
  // A dialog answered a moment ago may still be on the modal stack: it keeps its answer,
  // given again only if it is still there after a while.
  const bool again = modal == answered_;
  if (again && since_answer_.elapsed() < 500) return;
  if (!again) {
    answered_ = modal;
    if (qobject_cast<QFileDialog*>(modal) != nullptr) {
      answer_ = files.empty() ? std::string() : files.front();
      if (!files.empty()) files.pop_front();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages.push_back(box->text().toStdString());
    }
  }
  since_answer_.start();
  if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
    if (answer_.empty()) {
      dialog->reject();
    } else {
      // selectFile leaves a focused name field alone, so the path is typed into it.
      dialog->selectFile(QString::fromStdString(answer_));
      if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(QString::fromStdString(answer_));
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the answer
    }
  } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    box->accept();
  }
}

}  // namespace qt_test
