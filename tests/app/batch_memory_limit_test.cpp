// The batch program when memory runs out: it names the sketch, says what to try, leaves
// no file of the test behind, goes on with the next sketch and fails with its status.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "app/batch_entry.h"
#include "batch_work_folder.h"
#include "support/sketch_fixtures.h"

namespace {

namespace fs = std::filesystem;

using batch_fixture::run_result;
using batch_fixture::work_folder;

// A 4000 x 3000 scan on grey paper that the shipped threshold takes for ink (with a white
// margin, so it is not ink all over): its extraction would need gigabytes.
cv::Mat grey_page() {
  cv::Mat page(3000, 4000, CV_8UC1, cv::Scalar(200));
  page.colRange(0, 100).setTo(255);
  for (int x = 400; x < 4000; x += 600)
    for (int y = 300; y < 3000; y += 600) cv::circle(page, {x, y}, 200, cv::Scalar(40), 4);
  return page;
}

TEST(BatchMemoryLimit, RunningOutNamesTheSketchAndWhatToTryAndWritesNothingOfIt) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit leaves";
#endif
  work_folder w;
  w.add_sketch("page.png", grey_page());
  w.add_sketch("ring.png", fixtures::closed_ring());
  w.list_sketches({"page.png", "ring.png"});

  // The program itself takes about 300 MB of address space.
  const run_result r = w.run("3 0.5 0.9 0 2", 1ULL << 30);
  ASSERT_EQ(r.status, out_of_memory_status) << r.err;
  const std::string said = "in/page.png: not enough memory: tests 0 to 1 not run; ";
  const std::size_t at = r.err.find(said);
  ASSERT_NE(at, std::string::npos) << r.err;
  // What to try: the threshold that would take the grey paper for paper.
  const std::string advice = r.err.substr(at + said.size(), r.err.find('\n', at) - at - said.size());
  EXPECT_NE(advice.find("% of the image is ink under the ink threshold 0.937255 (config/color_thresh.conf); "
                        "its paper is grey 200 of 255"),
            std::string::npos)
      << advice;
  EXPECT_NE(advice.find(", such as "), std::string::npos) << advice;
  EXPECT_NE(r.err.find("2 tests were not run because memory ran out"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("terminate"), std::string::npos) << r.err;

  // Nothing of the page, not even statistics or a temporary file; the next sketch ran.
  EXPECT_EQ(w.result_files(), (std::vector<std::string>{"ring_w3l0.5dt0.9test0.error", "ring_w3l0.5dt0.9test0.svg",
                                                        "ring_w3l0.5dt0.9test1.error", "ring_w3l0.5dt0.9test1.svg"}));
  EXPECT_FALSE(w.exists("out/error_speed/csv/page_w3l0.5dt0.9k_min0k_max2.csv"));
  EXPECT_TRUE(w.exists("out/error_speed/csv/ring_w3l0.5dt0.9k_min0k_max2.csv"));
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(w.dir))
    EXPECT_NE(e.path().extension(), ".tmp") << e.path();
}

}  // namespace
