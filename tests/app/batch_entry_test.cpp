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

// atoi and atof would run a word as 0: each number that is not what its place takes is
// named with its value, the usage line follows, and nothing runs or is written.
TEST(BatchMain, RefusesNumbersThatAreNotWhatTheirPlaceTakes) {
  work_folder w;
  w.add_sketch("ring.png", fixtures::closed_ring());
  w.list_sketches({"ring.png"});
  const std::string whole = " is not a whole number (0, 1, 2, ...)\n";
  const std::string unit = " is not a number from 0 to 1\n";
  const std::string open_unit = " is not a number above 0 and below 1\n";
  struct Case {
    const char* arguments;
    std::string said;  // standard error before the usage line; empty: the run goes on
  };
  const Case cases[] = {
      {"3 x y 0 1", "lambda \"x\"" + unit + "dt \"y\"" + open_unit},
      {"3 -1 0.9999 0 1", "lambda \"-1\"" + unit},
      {"3 1.01 0.9 0 1", "lambda \"1.01\"" + unit},
      {"3 nan 0.9 0 1", "lambda \"nan\"" + unit},
      {"3 0.25 1.5 0 1", "dt \"1.5\"" + open_unit},
      {"3 0.25 1 0 1", "dt \"1\"" + open_unit},
      {"3 0.25 0 0 1", "dt \"0\"" + open_unit},
      {"3 0.25 inf 0 1", "dt \"inf\"" + open_unit},
      {"3 0.25 0.9x 0 1", "dt \"0.9x\"" + open_unit},
      {"3 0.25 0.999999999 0 1", "dt \"0.999999999\"" + open_unit},  // 1 as the run's float
      {"w3 0.5 0.9 0 1", "thickness \"w3\"" + whole},
      {"3.5 0.5 0.9 0 1", "thickness \"3.5\"" + whole},
      {"3 0.5 0.9 one 1", "first test \"one\"" + whole},
      {"3 0.5 0.9 0 -1", "last test \"-1\"" + whole},
      {"3 0.5 0.9 0 99999999999", "last test \"99999999999\"" + whole},
      {"3 0.5 0.9 0 ''", "last test \"\"" + whole},
      // The ends of lambda's range run.
      {"3 0 0.5 0 1", ""},
      {"3 1 0.5 0 1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    std::filesystem::remove_all(w.dir / "out");
    const run_result r = w.run(c.arguments);
    if (c.said.empty()) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(w.result_files().size(), 2u);
      continue;
    }
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.said + batch_usage + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(w.exists("out"));
    EXPECT_FALSE(w.exists("energy_decrease.csv"));
  }
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
