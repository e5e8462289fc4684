#include "app/gui_entry.h"

#include <QApplication>
#include <QGLFormat>
#include <QMessageBox>

#include "app/blas_threads.h"
#include "app/main_windows.h"
#include "io/output_names.h"

int report_missing_opengl() {
  QMessageBox::critical(nullptr, QObject::tr("Attention"), QObject::tr("desole pas d'OpenGL !"),
                        QMessageBox::Ok, QMessageBox::NoButton);
  return -1;
}

int gui_main(int argc, char** argv) {
  use_single_threaded_blas();
  read_input_sketch_conf();
  QApplication application(argc, argv);
  if (!QGLFormat::hasOpenGL()) return report_missing_opengl();
  QApplication::setApplicationName("Vellumtrace");
  MainWindows window;
  window.resize(1024, 1024);
  window.show();
  return QApplication::exec();
}
