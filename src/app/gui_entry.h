#pragma once
// The interactive program's entry.

// Reads config/input_sketch.conf, makes the Qt application from argc and argv, shows the
// main window at 1024 x 1024 and runs the event loop; returns its result. Without
// OpenGL: report_missing_opengl. The window is destroyed before the application.
int gui_main(int argc, char** argv);

// The critical message box "Attention" / "desole pas d'OpenGL !" with one OK button;
// returns -1 once it is closed. Needs a QApplication.
int report_missing_opengl();
