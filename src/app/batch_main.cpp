// vellumtrace_batch: the command-line test driver.

#include "app/batch_entry.h"

int main(int argc, char** argv) { return batch_main(argc, argv); }
