// After the batch program's heap setting, the images of a test come from the heap and a
// freed image's memory serves the next one, instead of fresh pages from the system.

#include "app/heap_reuse.h"

#include <malloc.h>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

namespace {

TEST(HeapReuse, LargeImagesComeFromTheHeapAndReuseFreedMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's allocator replaces the C heap and holds freed blocks back";
#endif
  reuse_heap_memory();
  const std::size_t mapped_before = mallinfo2().hblkhd;
  const void* first_data = nullptr;
  for (int round = 0; round < 3; ++round) {
    // A 1024 x 1024 image of three floats, as the region image of a 512 px sketch.
    cv::Mat region(1024, 1024, CV_32FC3, cv::Scalar(0, 0, 0));
    EXPECT_EQ(mallinfo2().hblkhd, mapped_before) << "round " << round << ": a block of its own";
    if (round == 0) first_data = region.data;
    EXPECT_EQ(static_cast<const void*>(region.data), first_data) << "round " << round;
    region.at<cv::Vec3f>(1023, 1023)[2] = 1.0f;
  }
}

}  // namespace
