#include "app/view_config.h"

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pipeline/view_settings.h"
#include "support/temp_folder.h"

namespace {

struct config_case {
  const char* name;
  std::vector<std::pair<const char*, const char*>> files;  // file below config/, content
  int min_nb_pixel_in_layer;
  bool separate_layers;
  int nb_edge_one_node;
  int least_depth;
};

TEST(ReadViewConfig, FilesAndTheirBuiltInValues) {
  const config_case cases[] = {
      {"no files", {}, 10, false, 1, region_params{}.least_depth},
      {"every file",
       {{"region.conf", "150 40 0.5 3"},
        {"min_nb_pixel_in_layer.conf", "25"},
        {"merge_all_layer.conf", "0"},
        {"do_some_stuff.conf", "0"}},
       25, true, 0, 150},
      {"merge all ink", {{"merge_all_layer.conf", "1"}}, 10, false, 1, region_params{}.least_depth},
      // Kept as it is: no ceiling on the open-stroke passes.
      {"negative pass count", {{"do_some_stuff.conf", "-1"}}, 10, false, -1, region_params{}.least_depth},
      {"values that do not parse",
       {{"min_nb_pixel_in_layer.conf", "many"}, {"merge_all_layer.conf", "yes"}, {"do_some_stuff.conf", "x"}},
       10, false, 1, region_params{}.least_depth},
  };
  for (const config_case& c : cases) {
    SCOPED_TRACE(c.name);
    fixtures::temp_working_folder here("read_view_config");
    std::filesystem::create_directory("config");
    for (const auto& f : c.files) std::ofstream(std::string("config/") + f.first) << f.second << "\n";
    view_settings settings;
    settings.nb_edge_one_node = 77;
    settings.size_edge_one_node = 77;
    const region_params params = read_view_config(settings);
    EXPECT_EQ(settings.min_nb_pixel_in_layer, c.min_nb_pixel_in_layer);
    EXPECT_EQ(settings.separate_layers, c.separate_layers);
    EXPECT_EQ(settings.nb_edge_one_node, c.nb_edge_one_node);
    EXPECT_EQ(settings.size_edge_one_node, 30);
    EXPECT_EQ(params.least_depth, c.least_depth);
  }
}

// The shipped value traces the open strokes of a drawing until a pass finds none left.
TEST(ReadViewConfig, ShippedOpenStrokePasses) {
  std::ifstream in(std::string(VELLUMTRACE_SOURCE_DIR) + "/config/do_some_stuff.conf");
  int passes = 0;
  ASSERT_TRUE(in >> passes);
  EXPECT_EQ(passes, 100);
}

}  // namespace
