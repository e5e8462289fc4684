#include "io/output_names.h"

#include <fstream>

#include <gtest/gtest.h>

namespace {

TEST(InputSketchConf, RootSlashAndFirstSketch) {
  struct Case { const char* text; const char* root; const char* sketch; };
  const Case cases[] = {
      {"out 2 a.png b.png", "out/", "a.png"},
      {"out/ 1 a.png", "out/", "a.png"},
      {"out\\ 0", "out\\", nullptr},
      {"res 0 a.png", "res/", nullptr},
      {"res", "res/", nullptr},
      {"", "./", nullptr},
  };
  const std::string path = testing::TempDir() + "input_sketch.conf";
  for (const Case& c : cases) {
    std::ofstream(path) << c.text;
    set_current_sketch("stale");
    read_input_sketch_conf(path.c_str());
    EXPECT_EQ(output_root, c.root) << c.text;
    if (c.sketch) {
      ASSERT_NE(current_sketch_cstr, nullptr) << c.text;
      EXPECT_STREQ(current_sketch_cstr, c.sketch);
    } else {
      EXPECT_EQ(current_sketch_cstr, nullptr) << c.text;
    }
  }
  read_input_sketch_conf((testing::TempDir() + "missing/none.conf").c_str());
  EXPECT_EQ(output_root, "./");
}

}  // namespace
