// The batch driver end to end: vellumtrace_batch run in a temporary working folder.

#include "app/batch_tests.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/batch_entry.h"
#include "app/data_thread.h"
#include "graph/curve_network.h"
#include "io/graph_stream.h"
#include "pipeline/layer.h"
#include "batch_work_folder.h"
#include "qt_support/crafted_graph.h"
#include "support/sketch_fixtures.h"

namespace {

using batch_fixture::run_result;
using batch_fixture::work_folder;
using qt_test::crafted_graph;

const std::string csv_header =
    "input_param;error out->GT;error GT->out;error max out->GT; error max GT->out; ;nb line;"
    " nb quadratic; nb cubic; ; nb line + quadric; nb curve; ;energy\n";

std::size_t count_of(const std::string& text, const std::string& word) {
  std::size_t n = 0;
  for (std::size_t p = text.find(word); p != std::string::npos; p = text.find(word, p + 1)) ++n;
  return n;
}

void fs_remove_input(const work_folder& w, const std::string& name) {
  std::filesystem::remove(w.dir / "in" / name);
}

TEST(RunBatchTests, ListedSketchesWriteResultEnergyAndStatisticsFiles) {
  work_folder w;
  w.add_sketch("ring.png", fixtures::closed_ring());
  w.add_sketch("tee.png", fixtures::boxed_t());
  w.list_sketches({"ring.png", "tee.png"});

  const run_result r = w.run("3 0.5 0.9 0 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count_of(r.out, "test number 0 over 2\n"), 2u);
  EXPECT_EQ(count_of(r.out, "test number 1 over 2\n"), 2u);
  EXPECT_EQ(count_of(r.out, "run all start\n"), 4u);
  EXPECT_EQ(count_of(r.out, "total time: "), 5u);  // four tests and the whole run

  // Every test of a listed sketch writes its picture and energy; the folders are created.
  const std::vector<std::string> expected = {
      "ring_w3l0.5dt0.9test0.error", "ring_w3l0.5dt0.9test0.svg",
      "ring_w3l0.5dt0.9test1.error", "ring_w3l0.5dt0.9test1.svg",
      "tee_w3l0.5dt0.9test0.error",  "tee_w3l0.5dt0.9test0.svg",
      "tee_w3l0.5dt0.9test1.error",  "tee_w3l0.5dt0.9test1.svg"};
  EXPECT_EQ(w.result_files(), expected);
  for (const std::string& f : expected) {
    const std::string text = w.read("out/error_speed/" + f);
    if (f.find(".svg") != std::string::npos) {
      EXPECT_NE(text.find("<path"), std::string::npos) << f;
    } else {
      ASSERT_FALSE(text.empty()) << f;
      EXPECT_EQ(text.back(), '\n') << f;
      const float energy = std::stof(text);
      EXPECT_TRUE(std::isfinite(energy) && energy > 0) << f << ": " << text;
    }
  }
  // With a sketch name nothing is gathered: header lines only.
  EXPECT_EQ(w.read("out/error_speed/csv/ring_w3l0.5dt0.9k_min0k_max2.csv"), csv_header);
  EXPECT_EQ(w.read("out/error_speed/csv/tee_w3l0.5dt0.9k_min0k_max2.csv"), csv_header);
}

TEST(RunBatchTests, UnreadableSketchAndReversedRangeRunNothingAndSaySo) {
  work_folder w;
  w.add_sketch("ring.png", fixtures::closed_ring());
  w.list_sketches({"missing.png", "ring.png"});

  run_result r = w.run("3 0.5 0.9 4 5");
  ASSERT_EQ(r.status, skipped_input_status) << r.err;
  // Why, where the summary is: on standard error.
  EXPECT_NE(r.err.find("cannot load sketch \"in/missing.png\": no such file\ntest 4 skipped\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out.find("in/missing.png"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("1 test was skipped because the input could not be read"), std::string::npos)
      << r.err;
  // The readable sketch after it still runs; the missing one leaves no result file, and
  // no statistics file either.
  EXPECT_EQ(w.result_files(), (std::vector<std::string>{"ring_w3l0.5dt0.9test4.error",
                                                        "ring_w3l0.5dt0.9test4.svg"}));
  std::vector<std::string> statistics;
  for (const auto& e : std::filesystem::directory_iterator(w.dir / "out" / "error_speed" / "csv"))
    statistics.push_back(e.path().filename().string());
  EXPECT_EQ(statistics, std::vector<std::string>{"ring_w3l0.5dt0.9k_min4k_max5.csv"});

  r = w.run("3 0.5 0.9 5 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("test number"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("last test number 2 is below the first, 5: no test runs"), std::string::npos)
      << r.err;
  EXPECT_EQ(w.read("out/error_speed/csv/ring_w3l0.5dt0.9k_min5k_max2.csv"), csv_header);
}

TEST(RunBatchTests, MissingInputFolderAndRegionFilesAreReportedAndDefaulted) {
  work_folder w;
  std::filesystem::remove(w.dir / "config" / "default_dir_open.conf");
  std::filesystem::remove(w.dir / "config" / "region.conf");
  w.list_sketches({"in/ring.png"});  // relative to the working folder now
  w.add_sketch("ring.png", fixtures::closed_ring());

  const run_result r = w.run("3 0.5 0.9 0 1");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("config/default_dir_open.conf: cannot open"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("config/region.conf: cannot open"), std::string::npos) << r.err;
  // The sketch's folder reappears below error_speed/ and is created.
  EXPECT_TRUE(w.exists("out/error_speed/in/ring_w3l0.5dt0.9test0.svg"));
  EXPECT_TRUE(w.exists("out/error_speed/in/ring_w3l0.5dt0.9test0.error"));
  EXPECT_TRUE(w.exists("out/error_speed/csv/in/ring_w3l0.5dt0.9k_min0k_max1.csv"));
}

// The annealing's picture after its first iteration and its energy file are results of
// the run as the result picture is: one that cannot be written fails the run.
TEST(RunBatchTests, AnnealingFilesThatCannotBeWrittenFailTheRun) {
  const struct {
    const char* file;  // in the working folder
    const char* said;
  } cases[] = {
      {"energy_decrease.csv", "recuit: could not write file energy_decrease.csv: Is a directory\n"},
      {"0.svg", "svg: could not write file 0.svg: Is a directory\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    work_folder w;
    w.add_sketch("ring.png", fixtures::closed_ring());
    w.list_sketches({"ring.png"});
    std::filesystem::create_directory(w.dir / c.file);  // a folder in the way
    const run_result r = w.run("3 0.5 0.9 0 1");
    EXPECT_EQ(r.status, unwritten_result_status) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1 result file could not be written"), std::string::npos) << r.err;
    // The other files are written, and the folder stays a folder.
    EXPECT_EQ(w.result_files(), (std::vector<std::string>{"ring_w3l0.5dt0.9test0.error",
                                                          "ring_w3l0.5dt0.9test0.svg"}));
    EXPECT_TRUE(std::filesystem::is_directory(w.dir / c.file));
  }
}

// What a user reads for each input that is not traced, on standard error where the
// summary is, and which file names a listed name gives.
TEST(RunBatchTests, RefusedSketchesSayWhyAndNamesKeepTheirStem) {
  work_folder w;
  std::vector<uchar> jpeg;
  ASSERT_TRUE(cv::imencode(".jpg", fixtures::closed_ring(), jpeg));
  w.add_file("cut.jpg", std::string(jpeg.begin(), jpeg.begin() + jpeg.size() / 2));
  w.add_file("empty.png", "");
  // A sketch whose name has no extension: OpenCV reads it by its contents.
  std::vector<uchar> png;
  ASSERT_TRUE(cv::imencode(".png", fixtures::closed_ring(), png));
  w.add_file("maison", std::string(png.begin(), png.end()));
  w.list_sketches({"cut.jpg", "empty.png", "maison"});

  const run_result r = w.run("3 0.5 0.9 0 1");
  EXPECT_EQ(r.status, skipped_input_status) << r.err;
  for (const char* line :
       {"cannot load sketch \"in/cut.jpg\": the JPEG file is cut short (it ends before its end-of-image "
        "marker), so part of the picture is missing\ntest 0 skipped\n",
        "cannot load sketch \"in/empty.png\": the file is empty\ntest 0 skipped\n",
        "2 tests were skipped because the input could not be read\n"})
    EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
  EXPECT_EQ(r.out.find("cannot load"), std::string::npos) << r.out;
  // Only the sketch that was traced leaves files, under its whole name.
  EXPECT_EQ(w.result_files(), (std::vector<std::string>{"maison_w3l0.5dt0.9test0.error",
                                                        "maison_w3l0.5dt0.9test0.svg"}));
  std::vector<std::string> statistics;
  for (const auto& e : std::filesystem::directory_iterator(w.dir / "out" / "error_speed" / "csv"))
    statistics.push_back(e.path().filename().string());
  EXPECT_EQ(statistics, std::vector<std::string>{"maison_w3l0.5dt0.9k_min0k_max1.csv"});
}

// Fields of one statistics row.
std::vector<std::string> fields_of(const std::string& row) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t p = row.find(';'); p != std::string::npos; p = row.find(';', start)) {
    fields.push_back(row.substr(start, p - start));
    start = p + 1;
  }
  fields.push_back(row.substr(start));
  return fields;
}

TEST(RunBatchTests, GraphInputPicturesEveryTenthTestAndGathersOneRowPerTest) {
  work_folder w;
  w.add_graph("net.graph", fixtures::boxed_t());
  w.add_sketch("ring.png", fixtures::closed_ring());
  w.list_sketches({"ring.png"});  // a graph name on the command line overrides the list

  const run_result r = w.run("3 0.5 0.9 9 12 net.graph ref.svg");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(w.result_files(), std::vector<std::string>{"net.graphl0.5dt0.9test10.svg"});

  const std::string csv = w.read("out/error_speed/csv/net.graphl0.5dt0.9k_min9k_max12.csv");
  ASSERT_EQ(csv.substr(0, csv_header.size()), csv_header);
  std::istringstream rows(csv.substr(csv_header.size()));
  std::string row;
  int index = 0;
  for (; std::getline(rows, row); ++index) {
    const std::vector<std::string> f = fields_of(row);
    ASSERT_EQ(f.size(), 14u) << row;
    EXPECT_EQ(f[0], std::to_string(index));  // the row index, not the test number
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(f[i], "-1") << row;
    const int lines = std::stoi(f[6]), quadratics = std::stoi(f[7]), cubics = std::stoi(f[8]);
    EXPECT_GT(lines + quadratics + cubics, 0) << row;
    EXPECT_EQ(std::stoi(f[10]), lines + quadratics) << row;
    EXPECT_EQ(std::stoi(f[11]), lines + quadratics + cubics) << row;
    EXPECT_TRUE(std::isfinite(std::stof(f[13]))) << row;
  }
  EXPECT_EQ(index, 3);
}

TEST(RunBatchTests, StatisticsRowCountsEachDegreeInItsOwnColumn) {
  // A .graph file gives every curve back as one cubic, and a schedule of no iteration
  // (dt 0.1 cools from 1 to 0.5 in under one step) changes no degree: the row must hold
  // no line, no quadratic and every curve as a cubic.
  work_folder w;
  const std::string bytes = w.add_graph("net.graph", fixtures::boxed_t());
  std::size_t curves = 0;
  {
    curve_network network;
    cv::Mat input, region;
    data_thread worker(&network, &input, &region, nullptr);
    std::istringstream in(bytes, std::ios::binary);
    read_graph_stream(in, network, worker);
    for (const layer_graph& lg : network)
      for (const curve& c : lg.curves) {
        ASSERT_EQ(c.v_segment.size(), 1u);
        ASSERT_EQ(c.v_segment[0].v_ctrl_point.size(), 4u);
        ++curves;
      }
  }
  ASSERT_GT(curves, 1u);

  const run_result r = w.run("3 0.5 0.1 0 1 net.graph ref.svg");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string csv = w.read("out/error_speed/csv/net.graphl0.5dt0.1k_min0k_max1.csv");
  ASSERT_EQ(csv.substr(0, csv_header.size()), csv_header);
  std::istringstream rows(csv.substr(csv_header.size()));
  std::string row;
  ASSERT_TRUE(std::getline(rows, row));
  const std::vector<std::string> f = fields_of(row);
  ASSERT_EQ(f.size(), 14u) << row;
  EXPECT_EQ(f[6], "0") << "lines: " << row;
  EXPECT_EQ(f[7], "0") << "quadratics: " << row;
  EXPECT_EQ(f[8], std::to_string(curves)) << "cubics: " << row;
  EXPECT_EQ(f[10], "0") << "lines + quadratics: " << row;
  EXPECT_EQ(f[11], std::to_string(curves)) << "all: " << row;
  EXPECT_FALSE(std::getline(rows, row));
}

TEST(RunBatchTests, UnreadableGraphFileSkipsEachTestAndLosesNothingWritten) {
  work_folder w;
  const std::string bytes = w.add_graph("net.graph", fixtures::closed_ring());
  ASSERT_EQ(w.run("3 0.5 0.9 0 1 net.graph").status, 0);
  const std::vector<std::string> before = w.result_files();
  ASSERT_EQ(before, std::vector<std::string>{"net.graphl0.5dt0.9test0.svg"});
  const std::string picture = w.read("out/error_speed/" + before[0]);

  // Cut inside the layer records, cut inside the worker block, and a header string whose
  // length runs far past the end of the file.
  std::string huge = bytes;
  huge[7] = '\x7f';
  const std::string broken[] = {bytes.substr(0, bytes.size() / 3), bytes.substr(0, bytes.size() - 5),
                                huge};
  for (const std::string& b : broken) {
    w.add_file("net.graph", b);
    const run_result r = w.run("3 0.5 0.9 0 2 net.graph ref.svg");
    ASSERT_EQ(r.status, skipped_input_status) << r.err;
    EXPECT_EQ(count_of(r.err, "in/net.graph: not a readable graph file"), 2u) << r.err;
    EXPECT_NE(r.err.find("2 tests were skipped because the input could not be read"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("run all start"), std::string::npos);
    EXPECT_EQ(w.result_files(), before);
    EXPECT_EQ(w.read("out/error_speed/" + before[0]), picture);
    // Skipped tests write no statistics.
    EXPECT_FALSE(w.exists("out/error_speed/csv/net.graphl0.5dt0.9k_min0k_max2.csv"));
  }

  fs_remove_input(w, "net.graph");
  const run_result r = w.run("3 0.5 0.9 0 1 net.graph");
  EXPECT_EQ(r.status, skipped_input_status);
  EXPECT_NE(r.err.find("in/net.graph: cannot open the graph file; test 0 skipped"), std::string::npos)
      << r.err;
}

// Files the reader accepts but that give the annealing nothing to work on: each run ends
// at once with one line naming the file and why, which the summary does not take back,
// runs no annealing and writes no picture, no energy file, no result and no statistics,
// whatever count the file stored.
TEST(RunBatchTests, GraphWithoutNetworkOrFragmentEndsAtOnceWithOneLine) {
  layer far_box;  // one ink pixel in a box of 40000 by 40000 that no stored image backs
  far_box.ink_pixels = {{1, 1}};
  far_box.min_x = far_box.min_y = 1;
  far_box.width = far_box.height = 40000;
  far_box.margin = 50;
  far_box.offset_x = far_box.offset_y = 49;
  const struct {
    const char* what;
    std::string bytes;
    std::string said;
  } cases[] = {
      {"no layer graph", crafted_graph(0, 12, 200000000),
       "the curve network holds no fragment: nothing to optimise; tests 0 to 2 skipped"},
      {"one empty layer graph", crafted_graph(1, 12, 1000000),
       "the curve network holds no fragment: nothing to optimise; tests 0 to 2 skipped"},
      {"saved before the network was linked", crafted_graph(0, 5, 20000000),
       "the file holds no curve network yet (saved at extraction step 5); tests 0 to 2 skipped"},
      {"a box without its window", crafted_graph(1, 12, 20000000, &far_box),
       "not a readable graph file (layer box of 40000 x 40000 pixels without its window images)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_LT(c.bytes.size(), 1000u);
    work_folder w;
    w.add_file("x.graph", c.bytes);
    const run_result r = w.run("3 0.25 0.9 0 3 x.graph ref.svg");
    EXPECT_EQ(r.status, skipped_input_status) << r.err;
    EXPECT_EQ(count_of(r.err, "in/x.graph: "), c.said.rfind("not", 0) == 0 ? 3u : 1u) << r.err;
    EXPECT_NE(r.err.find("in/x.graph: " + c.said), std::string::npos) << r.err;
    const bool unreadable = c.said.rfind("not", 0) == 0;
    EXPECT_NE(r.err.find(unreadable ? "3 tests were skipped because the input could not be read"
                                    : "3 tests were skipped because the input gives nothing to optimise"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find(unreadable ? "nothing to optimise\n" : "could not be read"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("run all start"), std::string::npos) << r.out;
    for (const auto& e : std::filesystem::directory_iterator(w.dir))
      EXPECT_NE(e.path().extension(), ".svg") << e.path();
    EXPECT_FALSE(w.exists("energy_decrease.csv"));
    EXPECT_TRUE(w.result_files().empty());
    EXPECT_FALSE(w.exists("out/error_speed/csv"));
  }
}

// The layers' boxes and the optimiser's state were made on the sketch the file was saved
// with: once it has been replaced by one of another size, the file is refused.
TEST(RunBatchTests, GraphWhoseSketchChangedSinceTheSaveIsRefused) {
  work_folder w;
  w.add_sketch("ring.png", fixtures::closed_ring(80));
  const std::string sketch = (w.dir / "in" / "ring.png").string();
  w.add_file("x.graph", crafted_graph(1, 12, 1000, nullptr, sketch, "ring"));
  w.add_sketch("ring.png", fixtures::closed_ring(60));
  const run_result r = w.run("3 0.25 0.9 0 2 x.graph");
  EXPECT_EQ(r.status, skipped_input_status) << r.err;
  for (int test : {0, 1})
    EXPECT_NE(r.err.find("in/x.graph: the sketch " + sketch + " has changed since the drawing was saved; test " +
                         std::to_string(test) + " skipped"),
              std::string::npos)
        << r.err;
  EXPECT_EQ(r.out.find("run all start"), std::string::npos) << r.out;
  EXPECT_TRUE(w.result_files().empty());
}

TEST(RunBatchTests, EveryListedSketchUnreadableFailsTheRun) {
  work_folder w;
  w.add_file("empty.png", "");
  w.add_file("text.png", "not an image");
  w.list_sketches({"missing.png", "empty.png", "text.png"});
  const run_result r = w.run("3 0.5 0.9 0 2");
  EXPECT_EQ(r.status, skipped_input_status) << r.err;
  EXPECT_NE(r.err.find("6 tests were skipped because the input could not be read"), std::string::npos)
      << r.err;
  EXPECT_TRUE(w.result_files().empty());
}

// The count in "open strokes: N of M ink pixels ..." after each test.
std::vector<std::pair<long, long>> open_stroke_counts(const std::string& out) {
  std::vector<std::pair<long, long>> counts;
  const std::string head = "open strokes: ";
  for (std::size_t p = out.find(head); p != std::string::npos; p = out.find(head, p + 1)) {
    std::istringstream line(out.substr(p + head.size(), out.find('\n', p) - p - head.size()));
    long n = -1, m = -1;
    std::string of;
    line >> n >> of >> m;
    EXPECT_EQ(of, "of");
    counts.emplace_back(n, m);
    EXPECT_NE(out.find("ink pixels of the sketch lie in no fragment and are left out; the interactive "
                       "program's open-curve passes trace them\n",
                       p),
              std::string::npos);
  }
  return counts;
}

// A sheet without ink runs (the batch program refuses only one all ink): it says that
// there is no stroke and no result picture, and writes none; its energy file holds 0.
TEST(RunBatchTests, BlankSheetSaysThereIsNoResultPictureAndWritesNone) {
  work_folder w;
  w.add_sketch("blank.png", cv::Mat(60, 80, CV_8UC1, cv::Scalar(255)));
  w.list_sketches({"blank.png"});
  const run_result r = w.run("3 0.5 0.9 0 1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count_of(r.err, "in/blank.png: no pixel is ink"), 1u) << r.err;
  EXPECT_EQ(count_of(r.err, "in/blank.png: no strokes found, no result picture"), 1u) << r.err;
  EXPECT_FALSE(w.exists("out/error_speed/blank_w3l0.5dt0.9test0.svg"));
  EXPECT_EQ(w.read("out/error_speed/blank_w3l0.5dt0.9test0.error"), "0\n");
}

TEST(RunBatchTests, EachTestSaysHowMuchInkLiesInNoFragment) {
  // A closed ring, and rings with a free stroke from the ring into their inside, 3 and 6
  // pixels wide: only the free stroke, the ink that its ring does not hold, is left out.
  auto ink_of = [](const cv::Mat& sketch) { return long(cv::countNonZero(sketch == 0)); };
  struct row {
    const char* name;
    cv::Mat sketch;
    long left_out;  // about this many sketch pixels lie in no fragment
  };
  const row rows[] = {
      {"ring.png", fixtures::closed_ring(), 0},
      {"free3.png", fixtures::ring_with_free_end(3),
       ink_of(fixtures::ring_with_free_end(3)) - ink_of(fixtures::closed_ring(100, 40, 3))},
      {"free6.png", fixtures::ring_with_free_end(6),
       ink_of(fixtures::ring_with_free_end(6)) - ink_of(fixtures::closed_ring(100, 40, 6))},
  };
  work_folder w;
  std::vector<std::string> names;
  for (const row& r : rows) {
    w.add_sketch(r.name, r.sketch);
    names.push_back(r.name);
  }
  w.list_sketches(names);
  const run_result r = w.run("3 0.5 0.9 0 2");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::pair<long, long>> counts = open_stroke_counts(r.out);
  ASSERT_EQ(counts.size(), 6u) << r.out;  // one line per test
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const row& want = rows[i / 2];
    EXPECT_EQ(counts[i].second, ink_of(want.sketch)) << want.name;
    // A few pixels either way where the free stroke meets the ring.
    EXPECT_NEAR(counts[i].first, want.left_out, 5 + want.left_out / 10) << want.name;
  }
}

TEST(RunBatchTests, ScanOnGreyPaperNamesTheThresholdToSet) {
  // A ring on a phone scan (ink 40, paper 235 with noise, JPEG) and the same ring clean.
  const cv::Mat ring = fixtures::closed_ring(60, 20, 3);
  work_folder w;
  w.add_sketch("ring.png", ring);
  std::vector<uchar> jpeg;
  ASSERT_TRUE(cv::imencode(".jpg", fixtures::phone_scan(ring), jpeg, {cv::IMWRITE_JPEG_QUALITY, 85}));
  w.add_file("scan.jpg", std::string(jpeg.begin(), jpeg.end()));
  const std::string warning = "in/scan.jpg: ";

  // The shipped threshold takes the paper for ink: one line names the file and the paper.
  w.list_sketches({"scan.jpg"});
  run_result r = w.run("3 0.5 0.9 0 1");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(count_of(r.err, warning), 1u) << r.err;
  const std::string line = r.err.substr(r.err.find(warning), r.err.find('\n', r.err.find(warning)));
  EXPECT_NE(line.find("of the image is ink under the ink threshold 0.937255 (config/color_thresh.conf)"),
            std::string::npos)
      << line;
  const std::size_t at_paper = line.find("paper is grey "), at_such = line.find("such as ");
  ASSERT_NE(at_paper, std::string::npos) << line;
  ASSERT_NE(at_such, std::string::npos) << line;
  EXPECT_NEAR(std::stoi(line.substr(at_paper + 14)), 235, 2) << line;
  const std::string suggested = line.substr(at_such + 8, line.find(',', at_such) - at_such - 8);

  // With that value in config/color_thresh.conf the scan comes out as the clean ring does.
  std::ofstream(w.dir / "config" / "color_thresh.conf") << suggested << "\n";
  w.list_sketches({"scan.jpg", "ring.png"});
  // No annealing (a final temperature equal to the first gives a run of 0 iterations):
  // the energies of the two extracted networks compare, free of the unseeded annealing's
  // spread.
  std::ofstream(w.dir / "config" / "recuit_v2.conf") << "1 1 0.01\n";
  r = w.run("3 0.5 0.9 0 1");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find(warning), std::string::npos) << r.err;
  const std::vector<std::pair<long, long>> counts = open_stroke_counts(r.out);
  ASSERT_EQ(counts.size(), 2u) << r.out;
  EXPECT_NEAR(counts[0].second, counts[1].second, 0.15 * counts[1].second);
  const float scan_energy = std::stof(w.read("out/error_speed/scan_w3l0.5dt0.9test0.error"));
  const float ring_energy = std::stof(w.read("out/error_speed/ring_w3l0.5dt0.9test0.error"));
  EXPECT_NEAR(scan_energy, ring_energy, 0.05f * ring_energy);

  // Without the file: the shipped threshold, and a line saying so.
  std::filesystem::remove(w.dir / "config" / "color_thresh.conf");
  w.list_sketches({"ring.png"});
  r = w.run("3 0.5 0.9 0 1");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("config/color_thresh.conf: cannot open; ink threshold 0.937255"), std::string::npos)
      << r.err;
  const std::vector<std::pair<long, long>> shipped = open_stroke_counts(r.out);
  ASSERT_EQ(shipped.size(), 1u) << r.out;
  EXPECT_EQ(shipped[0].second, cv::countNonZero(ring == 0));
}

}  // namespace
