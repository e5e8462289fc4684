// One QApplication per Qt test process, made before the first test and kept to the end.

#include <errno.h>

#include <memory>

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class qt_environment : public testing::Environment {
 public:
  void SetUp() override {
    // Qt's own dialogs, which the answerer can reach, whatever the desktop offers.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    static int argc = 1;
    static char* argv[] = {program_invocation_short_name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

testing::Environment* const qt_env = testing::AddGlobalTestEnvironment(new qt_environment);

}  // namespace
