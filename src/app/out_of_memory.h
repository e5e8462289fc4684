#pragma once
// Telling a failure to get memory from the other exceptions, so that the window can keep
// its drawing and say so instead of ending the program.

#include <exception>
#include <functional>
#include <new>

#include <opencv2/core.hpp>

// Whether e is a failure to get memory.
inline bool is_out_of_memory(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return true;
  const auto* cv_error = dynamic_cast<const cv::Exception*>(&e);
  return cv_error && cv_error->code == cv::Error::StsNoMem;
}

// Runs work; false when it ran out of memory (std::bad_alloc, or OpenCV's out-of-memory
// error). Any other exception passes through.
inline bool within_memory(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const cv::Exception& e) {
    if (e.code != cv::Error::StsNoMem) throw;
    return false;
  }
}
