#include "qt_support/view_frame.h"

#include <opencv2/core.hpp>

namespace qt_test {

cv::Mat read_view_frame(gl_widget& view) {
  view.updateGL();
  view.makeCurrent();
  const int w = static_cast<int>(view.widget_width), h = static_cast<int>(view.widget_height);
  cv::Mat frame(h, w, CV_8UC4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, view.fbo.id);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, frame.data);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  cv::flip(frame, frame, 0);
  return frame;
}

}  // namespace qt_test
