#pragma once
// The batch program's entry: its command line, the run timer and the loop over the
// sketches listed in config/input_sketch.conf.

#include <string>
#include <vector>

#include "app/batch_tests.h"

// Signature shared by the batch input loop and whatever timed_call runs: thickness (a
// label for output names), lambda and dt of the optimiser, test numbers from `first` up
// to `last` (exclusive), an optional .graph name and an optional reference SVG name
// (null when not given), and a flag that nothing reads. Returns what went wrong: tests
// skipped because their input could not be read, result files that could not be written.
using batch_run = batch_outcome (*)(int thickness, double lambda, double dt, int first, int last,
                                    const char* graph_name, const char* reference_svg_name, bool flag);

// Usage line printed on a short command line.
extern const char* const batch_usage;

// Reads config/input_sketch.conf, then with at least five arguments (argc >= 6) checks
// them, seeds rand() from the clock and runs run_batch_inputs under timed_call. Optional
// names by argc: 6 none, 7 the graph name, 8 and 9 both (9: flag false), 10 or more none.
// Returns 1 after printing batch_usage on a shorter command line (standard output), and
// after a line on standard error for each refused number and batch_usage there too: a
// thickness, first or last test that is not a whole number, a lambda that is not a
// number from 0 to 1, a dt that is not one above 0 and below 1 (nothing is run or
// written then). Otherwise, after one line on standard error for each kind of failure,
// the status of the gravest: out_of_memory_status, unwritten_result_status,
// skipped_input_status; else 0.
int batch_main(int argc, char** argv);

// Exit status of a run in which some test was skipped because its input could not be
// read or gives nothing to optimise.
constexpr int skipped_input_status = 2;
// Exit status of a run in which some file could not be written (a full disk): its
// results are incomplete, whatever else went right but memory.
constexpr int unwritten_result_status = 3;
// Exit status of a run in which memory ran out in some test.
constexpr int out_of_memory_status = 4;

// Calls fn with the arguments, then prints "total time: <seconds>s" on standard output.
// Returns fn's result.
batch_outcome timed_call(batch_run fn, int thickness, double lambda, double dt, int first, int last,
                         const char* graph_name, const char* reference_svg_name, bool flag);

// Runs run_batch_tests once on the .graph input when graph_name is given or no sketch is
// listed (".graph" input "w<thickness>.graph" without a name), else once per listed
// sketch, in file order, with that name as the current sketch. The current sketch name
// is cleared first, and the last one stays set. lambda and dt are narrowed to float.
// Returns what went wrong, summed over the sketches.
batch_outcome run_batch_inputs(int thickness, double lambda, double dt, int first, int last,
                               const char* graph_name, const char* reference_svg_name, bool flag);

// Reads the sketch names of config/input_sketch.conf at `path` (word 1, the output root,
// is skipped; word 2 is the count N; then N names). A missing file, a missing count or
// fewer names than N are reported on standard error; what was read is returned.
std::vector<std::string> read_listed_sketches(const char* path = "config/input_sketch.conf");
