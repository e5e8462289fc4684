#pragma once
// GLEW before the GL headers that Qt pulls in.
#include "app/gl_widget.h"

#include <opencv2/core/mat.hpp>

namespace qt_test {

// The frame the view draws, read back from its frame buffer after a redraw: BGRA, first
// row on top.
cv::Mat read_view_frame(gl_widget& view);

}  // namespace qt_test
