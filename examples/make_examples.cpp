// Draws the bundled example line drawings: dark anti-aliased strokes on white paper, the
// kind of picture the vectoriser expects. Run from the repository root:
//   build/examples/make_examples examples
// writes house.png, fish.png and boat.png into the given folder (default: examples).

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

const cv::Scalar ink(30, 30, 30);
const int stroke = 3;

cv::Mat paper(int rows, int cols) { return cv::Mat(rows, cols, CV_8UC3, cv::Scalar(255, 255, 255)); }

void line(cv::Mat& m, cv::Point a, cv::Point b) { cv::line(m, a, b, ink, stroke, cv::LINE_AA); }

void polygon(cv::Mat& m, const std::vector<cv::Point>& points) {
  cv::polylines(m, std::vector<std::vector<cv::Point>>{points}, true, ink, stroke, cv::LINE_AA);
}

// A house: walls, a roof, a door and a window with a cross.
cv::Mat house() {
  cv::Mat m = paper(220, 220);
  polygon(m, {{40, 100}, {180, 100}, {180, 195}, {40, 195}});
  polygon(m, {{30, 100}, {110, 30}, {190, 100}});
  polygon(m, {{65, 195}, {65, 140}, {95, 140}, {95, 195}});
  polygon(m, {{125, 125}, {160, 125}, {160, 160}, {125, 160}});
  line(m, {142, 125}, {142, 160});
  line(m, {125, 142}, {160, 142});
  return m;
}

// A fish: a body of two arcs crossing at the tail, a tail fin, an eye and a gill arc.
cv::Mat fish() {
  cv::Mat m = paper(180, 260);
  cv::ellipse(m, {120, 90}, {85, 50}, 0, 0, 360, ink, stroke, cv::LINE_AA);
  polygon(m, {{200, 90}, {245, 50}, {245, 130}});
  cv::circle(m, {70, 78}, 9, ink, stroke, cv::LINE_AA);
  cv::ellipse(m, {95, 90}, {20, 44}, 0, -80, 80, ink, stroke, cv::LINE_AA);
  return m;
}

// A sailing boat: a hull, two sails on its deck meeting at the mast, and a round sun. Every stroke closes a region or joins others at both ends: a stroke that
// ends in the paper bounds no region, and the batch program does not trace such strokes.
cv::Mat boat() {
  cv::Mat m = paper(240, 260);
  polygon(m, {{30, 170}, {230, 170}, {195, 215}, {65, 215}});
  polygon(m, {{130, 35}, {130, 170}, {50, 170}});
  polygon(m, {{130, 60}, {130, 170}, {200, 170}});
  cv::circle(m, {215, 45}, 20, ink, stroke, cv::LINE_AA);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "examples";
  const struct {
    const char* name;
    cv::Mat image;
  } drawings[] = {{"house.png", house()}, {"fish.png", fish()}, {"boat.png", boat()}};
  int status = 0;
  for (const auto& d : drawings) {
    const std::string path = folder + "/" + d.name;
    if (cv::imwrite(path, d.image)) {
      std::cout << "wrote " << path << std::endl;
    } else {
      std::cerr << "cannot write " << path << std::endl;
      status = 1;
    }
  }
  return status;
}
