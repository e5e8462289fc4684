// The batch program's command line, run as a user runs it.

#include "app/batch_entry.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "batch_work_folder.h"
#include "support/sketch_fixtures.h"

namespace {

using batch_fixture::run_result;
using batch_fixture::work_folder;

TEST(BatchMain, ShortCommandLinePrintsTheUsageLineAndFails) {
  work_folder w;
  for (const char* arguments : {"", "3 0.5 0.9 0"}) {
    const run_result r = w.run(arguments);
    EXPECT_EQ(r.status, 1) << arguments;
    EXPECT_EQ(r.out,
              "parameter: thickness, lambda, dt, numero test ini, numero test end, [file.graph], "
              "[ref.svg]\n")
        << arguments;
  }
  // The sketch list is read first: its absence is reported even on a short command line.
  std::filesystem::remove(w.dir / "config" / "input_sketch.conf");
  const run_result r = w.run("3");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("config/input_sketch.conf"), std::string::npos) << r.err;
  EXPECT_FALSE(w.exists("out"));
}

TEST(BatchMain, OptionalNamesFollowTheArgumentCount) {
  work_folder w;
  w.add_graph("net.graph", fixtures::closed_ring());
  w.add_graph("w3.graph", fixtures::closed_ring());
  w.add_sketch("tee.png", fixtures::boxed_t());

  struct Case {
    bool listed;  // tee.png listed in config/input_sketch.conf
    const char* arguments;
    std::vector<std::string> results;  // files of out/error_speed/
    const char* csv;                   // below out/error_speed/csv/
    int rows;                          // statistics rows
  };
  const Case cases[] = {
      // No sketch listed, no graph name: w<thickness>.graph.
      {false, "3 0.5 0.9 0 1", {"w3l0.5dt0.9test0.svg"}, "w3l0.5dt0.9k_min0k_max1.csv", 0},
      // A graph name overrides the list; no reference name, so nothing is gathered.
      {true, "3 0.5 0.9 0 1 net.graph", {"net.graphl0.5dt0.9test0.svg"},
       "net.graphl0.5dt0.9k_min0k_max1.csv", 0},
      // Eight arguments: the eighth is ignored.
      {true, "3 0.5 0.9 0 1 net.graph ref.svg extra", {"net.graphl0.5dt0.9test0.svg"},
       "net.graphl0.5dt0.9k_min0k_max1.csv", 1},
      // Nine or more: neither optional name is used, the listed sketch runs.
      {true, "3 0.5 0.9 0 1 net.graph ref.svg extra more",
       {"tee_w3l0.5dt0.9test0.error", "tee_w3l0.5dt0.9test0.svg"}, "tee_w3l0.5dt0.9k_min0k_max1.csv",
       0},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(w.dir / "out");
    w.list_sketches(c.listed ? std::vector<std::string>{"tee.png"} : std::vector<std::string>{});
    const run_result r = w.run(c.arguments);
    ASSERT_EQ(r.status, 0) << c.arguments << "\n" << r.err;
    EXPECT_EQ(w.result_files(), c.results) << c.arguments;
    const std::string csv = w.read(std::string("out/error_speed/csv/") + c.csv);
    int lines = 0;
    for (char ch : csv) lines += ch == '\n';
    EXPECT_EQ(lines, 1 + c.rows) << c.arguments;
  }
}

}  // namespace
