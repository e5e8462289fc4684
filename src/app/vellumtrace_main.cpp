// vellumtrace: the interactive program.

#include "app/gui_entry.h"

int main(int argc, char** argv) { return gui_main(argc, argv); }
