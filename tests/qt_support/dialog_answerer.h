#pragma once
// Answers the modal dialogs that a Qt test opens, from a timer, so that a test can drive a
// window through its file dialogs and message boxes as a user would.

#include <deque>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace qt_test {

// A file dialog takes the next queued path (an empty one cancels it), a message box is
// closed and its text kept. A dialog is answered once, again only if it stays open.
class dialog_answerer : public QObject {
 public:
  std::deque<std::string> files;      // answers for the next file dialogs
  std::vector<std::string> messages;  // texts of the message boxes closed so far

  dialog_answerer();

 private:
  void poll();
  QTimer timer_;
  QPointer<QWidget> answered_;  // the dialog answered last
  std::string answer_;          // its answer
  QElapsedTimer since_answer_;
};

}  // namespace qt_test
