// Pictures cut short by an exception, such as memory running out half way: the file
// saved there before stays whole and no temporary file is left beside it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "io/svg_elements.h"
#include "io/svg_pictures.h"
#include "support/temp_folder.h"

namespace {

// The allocation of this thread that fails next, counted down; 0 never fails.
thread_local long allocations_until_failure = 0;

}  // namespace

// Every allocation of this test program goes through here, so that a test can make the
// n-th one of a writer fail. The compiler takes the pairing of this new with free for a
// mismatch once inlined; it is the pairing the replacement makes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  if (allocations_until_failure > 0 && --allocations_until_failure == 0) throw std::bad_alloc();
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return ::operator new(n); }
// The library's temporary buffers ask without exceptions; they must pair with free too.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept { return ::operator new(n, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

namespace fs = std::filesystem;

const std::string old_picture = "<svg>the picture saved before</svg>\n";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> names_here() {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(fs::current_path()))
    names.push_back(e.path().filename().string());
  return names;
}

curve_segment cubic(double y) {
  curve_segment s;
  s.v_ctrl_point = {{0, y}, {10, y + 5}, {20, y - 5}, {30, y}};
  s.degree = 3;
  return s;
}

// One layer of three curves of one cubic each.
curve_network three_curves() {
  curve_network network;
  network.emplace_back();
  layer_graph& layer = network.back();
  layer.height = 200;
  layer.width = 300;
  for (double y : {10.0, 50.0, 90.0}) {
    layer.curves.emplace_back();
    layer.curves.back().v_segment = {cubic(y)};
  }
  return network;
}

TEST(SvgPictureInterrupted, AnExceptionHalfWayLeavesTheOldFileAndNoTemporary) {
  fixtures::temp_working_folder here("svg_picture_interrupted");
  for (const bool older_file : {true, false}) {
    SCOPED_TRACE(older_file ? "over an older picture" : "a new picture");
    if (older_file) std::ofstream("result.svg") << old_picture;
    try {
      svg_picture picture("result.svg", 200, 300);
      svg_line(picture.out(), 0, "#000000", {0, 0}, {10, 10}, 2);
      throw std::runtime_error("half way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(names_here(), older_file ? std::vector<std::string>{"result.svg"} : std::vector<std::string>{});
    if (older_file) {
      EXPECT_EQ(slurp("result.svg"), old_picture);
    }
    fs::remove("result.svg");
  }
}

// Fails the first, second, ... allocation of each writer until one runs through: at
// every point the older picture stays whole, or the new one is complete.
TEST(SvgPictureInterrupted, MemoryRunningOutAnywhereInAWriterKeepsTheOlderPicture) {
  fixtures::temp_working_folder here("svg_picture_out_of_memory");
  const curve_network network = three_curves();
  const std::vector<std::pair<const char*, std::function<void()>>> writers = {
      {"curves", [&] { network.save_curves_svg("result.svg", false); }},
      {"blue curves", [&] { network.save_curves_svg("result.svg", true); }},
      {"class colours", [&] { network.save_curve_class_svg("result.svg"); }},
      {"layer curves", [&] { network.front().save_curves_svg("result.svg", false); }},
  };
  for (const auto& [name, write] : writers) {
    SCOPED_TRACE(name);
    int failures = 0;
    for (long n = 1; n < 100000; ++n) {
      std::ofstream("result.svg") << old_picture;
      bool thrown = false;
      testing::internal::CaptureStderr();
      allocations_until_failure = n;
      try {
        write();
      } catch (const std::bad_alloc&) {
        thrown = true;
      }
      const bool failed = allocations_until_failure == 0;
      allocations_until_failure = 0;
      testing::internal::GetCapturedStderr();
      EXPECT_EQ(names_here(), std::vector<std::string>{"result.svg"}) << "allocation " << n;
      const std::string text = slurp("result.svg");
      if (failed) {
        ++failures;
        // An exception caught inside the stream fails the write instead: old file too.
        EXPECT_EQ(text, old_picture) << "allocation " << n << (thrown ? ", thrown" : ", caught");
        continue;
      }
      // The whole new picture: three curves and the footer.
      std::size_t paths = 0;
      for (std::size_t at = text.find("<path"); at != std::string::npos; at = text.find("<path", at + 1)) ++paths;
      EXPECT_EQ(paths, 3u) << text;
      EXPECT_EQ(text.rfind("</svg>\n"), text.size() - 7) << text;
      break;
    }
    EXPECT_GT(failures, 3);
  }
}

}  // namespace
