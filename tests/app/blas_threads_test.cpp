// The programs' start-up settings leave the process with its one thread: no BLAS pool
// started while the libraries were loaded, none from OpenCV's loops, none from a solve.

#include "app/blas_threads.h"

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

extern "C" void dgemm_(const char* ta, const char* tb, const int* m, const int* n, const int* k,
                       const double* alpha, const double* a, const int* lda, const double* b,
                       const int* ldb, const double* beta, double* c, const int* ldc);

namespace {

int thread_count() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "Threads:") {
      int n = 0;
      status >> n;
      return n;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

TEST(StartUpThreads, NoPoolThreadBeforeOrAfterImageWorkAndProducts) {
  // Before any call: the BLAS initialiser, which ran at load time, started no pool.
  EXPECT_EQ(thread_count(), 1);
  use_single_threaded_blas();

  cv::Mat ink(1024, 1024, CV_8UC1, cv::Scalar(255)), distance, grey;
  cv::circle(ink, {512, 512}, 300, cv::Scalar(0), 3);
  cv::distanceTransform(ink, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
  cv::Mat colour;
  cv::cvtColor(ink, colour, cv::COLOR_GRAY2BGR);
  cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
  EXPECT_EQ(cv::countNonZero(grey != ink), 0);

  const int n = 400;
  std::vector<double> a(n * n, 0.5), b(n * n, 2.0), c(n * n, 0.0);
  const double one = 1, zero = 0;
  dgemm_("N", "N", &n, &n, &n, &one, a.data(), &n, b.data(), &n, &zero, c.data(), &n);
  EXPECT_DOUBLE_EQ(c[0], n * 1.0);
  EXPECT_DOUBLE_EQ(c[n * n - 1], n * 1.0);

  EXPECT_EQ(thread_count(), 1);
}

}  // namespace
