#include "pipeline/extract_layers.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <locale>
#include <sstream>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "pipeline/pixel_neighbourhoods.h"

float read_ink_threshold(const char* path) {
  std::ifstream in(path);
  if (!in) {
    std::cerr << path << ": cannot open; ink threshold " << ink_threshold << std::endl;
    return ink_threshold;
  }
  std::string word;
  in >> word;
  std::istringstream parse(word);
  parse.imbue(std::locale::classic());
  float value = 0;
  if (!(parse >> value) || !parse.eof() || !(value >= 0 && value < 1)) {
    std::cerr << path << ": \"" << word << "\" is not an ink threshold from 0 up to 1 (a fraction of"
              << " white); ink threshold " << ink_threshold << std::endl;
    return ink_threshold;
  }
  return value;
}

namespace {

// Otsu's split of a 256-bin histogram: the grey g that best separates the greys up to g
// from those above it; -1 when the histogram holds a single grey.
int otsu_split(const std::vector<double>& histogram) {
  double total = 0, sum = 0;
  for (int g = 0; g < 256; ++g) {
    total += histogram[g];
    sum += g * histogram[g];
  }
  double below = 0, sum_below = 0, best = 0;
  int split = -1;
  for (int g = 0; g < 255; ++g) {
    below += histogram[g];
    sum_below += g * histogram[g];
    const double above = total - below;
    if (below == 0 || above == 0) continue;
    const double gap = sum_below / below - (sum - sum_below) / above;
    const double between = below * above * gap * gap;
    if (between > best) {
      best = between;
      split = g;
    }
  }
  return split;
}

// JPEG codes the sketch in blocks of 8 sketch pixels (16 input pixels, the input being
// the sketch doubled), so the ringing of an edge stays within that reach of it.
constexpr int ringing_reach = 16;

// Whether an ink component whose darkest value is `darkest` is the ringing of darker ink
// beside it: less than half as far below the threshold as the darkest input pixel within
// ringing_reach (chessboard) of the component. A component alone keeps its ink however
// faint, and so does one at least half as dark as its neighbourhood's darkest.
bool is_ringing(const cv::Mat& input, const std::vector<glm::ivec2>& component, float darkest, float threshold) {
  // No neighbour can be more than twice as far below the threshold as this.
  if (threshold - darkest >= threshold / 2) return false;
  int min_x = INT_MAX, min_y = INT_MAX, max_x = INT_MIN, max_y = INT_MIN;
  for (const glm::ivec2& p : component) {
    min_x = std::min(min_x, p.x);
    min_y = std::min(min_y, p.y);
    max_x = std::max(max_x, p.x);
    max_y = std::max(max_y, p.y);
  }
  const cv::Rect box = cv::Rect(cv::Point(min_x - ringing_reach, min_y - ringing_reach),
                                cv::Point(max_x + ringing_reach + 1, max_y + ringing_reach + 1)) &
                       cv::Rect(0, 0, input.cols, input.rows);
  cv::Mat near(box.size(), CV_8UC1, cv::Scalar(0));
  for (const glm::ivec2& p : component) near.at<uchar>(p.y - box.y, p.x - box.x) = 255;
  cv::dilate(near, near, cv::getStructuringElement(cv::MORPH_RECT, {2 * ringing_reach + 1, 2 * ringing_reach + 1}));
  double neighbourhood = 0;
  cv::minMaxLoc(input(box), &neighbourhood, nullptr, nullptr, nullptr, near);
  return threshold - darkest < (threshold - static_cast<float>(neighbourhood)) / 2;
}

// How far (8-neighbour steps through the ink) the lighter pixels of a stroke may lie
// from its darker ones: its antialiased or blurred edge, 2 sketch pixels.
constexpr int edge_reach = 4;

// Cuts the whiskers of JPEG ringing off an ink component (marked 1 in `visited`): its
// light pixels, less than a quarter as far below the threshold as its darkest, that lie
// more than edge_reach steps through the component from its darker pixels, become paper
// (marked 2) and leave `component`.
void trim_ringing_whiskers(const cv::Mat& input, std::vector<glm::ivec2>& component, float darkest,
                           float threshold, cv::Mat& visited) {
  const float light = threshold - (threshold - darkest) / 4;
  // 3 marks the dark pixels, and the light ones within reach of them while the flood runs.
  std::size_t nb_dark = 0;
  for (const glm::ivec2& p : component)
    if (input.at<float>(p.y, p.x) <= light) {
      visited.at<uchar>(p.y, p.x) = 3;
      ++nb_dark;
    }
  if (nb_dark == component.size()) {
    for (const glm::ivec2& p : component) visited.at<uchar>(p.y, p.x) = 1;
    return;
  }
  // The flood enters light pixels only: it starts from the dark pixels beside them.
  std::vector<glm::ivec2> edge;
  for (const glm::ivec2& p : component) {
    if (visited.at<uchar>(p.y, p.x) != 3) continue;
    for (glm::ivec2 q : window_3x3(p, input.rows, input.cols))
      if (visited.at<uchar>(q.y, q.x) == 1) {
        edge.push_back(p);
        break;
      }
  }
  ring_flood(std::move(edge), [&](glm::ivec2 p, int ring, std::vector<glm::ivec2>& next) {
    if (ring > edge_reach) return;
    for (glm::ivec2 q : window_3x3(p, input.rows, input.cols)) {
      uchar& v = visited.at<uchar>(q.y, q.x);
      if (v != 1) continue;  // only this component's ink is 1 beside it
      v = 3;
      next.push_back(q);
    }
  });
  std::size_t kept = 0;
  for (const glm::ivec2& p : component) {
    uchar& v = visited.at<uchar>(p.y, p.x);
    v = v == 3 ? 1 : 2;
    if (v == 1) component[kept++] = p;
  }
  component.resize(kept);
}

}  // namespace

std::string mostly_ink_advice(const cv::Mat& input_image, float threshold, const std::string& name) {
  if (input_image.empty()) return {};
  CV_Assert(input_image.type() == CV_32FC1);
  std::vector<double> histogram(256, 0.0);
  std::size_t ink = 0;
  for (int y = 0; y < input_image.rows; ++y) {
    const float* row = input_image.ptr<float>(y);
    for (int x = 0; x < input_image.cols; ++x) {
      if (is_ink(row[x], threshold)) ++ink;
      histogram[std::clamp(static_cast<int>(std::lround(row[x] * 255.0f)), 0, 255)] += 1;
    }
  }
  const std::size_t total = input_image.total();
  if (2 * ink <= total) return {};

  std::ostringstream line;
  line.imbue(std::locale::classic());
  line << name << ": " << (100 * ink) / total << "% of the image is ink under the ink threshold "
       << threshold << " (config/color_thresh.conf)";
  const int split = otsu_split(histogram);
  if (split < 0) {
    line << ", and it holds no lighter grey to take for paper";
  } else {
    // The commonest grey on each side of the split; halfway between them leaves room for
    // the noise of both.
    int ink_grey = 0, paper = split + 1;
    for (int g = 0; g <= split; ++g)
      if (histogram[g] > histogram[ink_grey]) ink_grey = g;
    for (int g = split + 1; g < 256; ++g)
      if (histogram[g] > histogram[paper]) paper = g;
    line << "; its paper is grey " << paper << " of 255 (" << std::setprecision(2) << paper / 255.0
         << "): a threshold below that, such as " << (ink_grey + paper) / 510.0
         << ", separates the ink";
  }
  return line.str();
}

void extract_layers(cv::Mat* input_image, std::list<layer>* layers, cv::Mat* region_image,
                    int min_layer_size, bool separate_layers, float threshold) {
  layers->clear();
  // The floods index pixels in one run of memory.
  const cv::Mat input = input_image->isContinuous() ? *input_image : input_image->clone();
  if (input.empty()) {
    if (region_image) *region_image = cv::Mat(0, 0, CV_32FC3);
    return;
  }
  CV_Assert(input.type() == CV_32FC1);
  const int rows = input.rows, cols = input.cols;
  cv::Mat visited(rows, cols, CV_8UC1, cv::Scalar(0));
  uchar* seen = visited.ptr<uchar>();
  const float* grey = input.ptr<float>();

  std::vector<glm::ivec2> component;
  bool has_box = false;  // whether the last layer holds a component yet
  for (int y = 0; y < rows; ++y) {
    const float* row = input.ptr<float>(y);
    for (int x = 0; x < cols; ++x) {
      if (!is_ink(row[x], threshold) || visited.at<uchar>(y, x) != 0) continue;
      if (separate_layers || layers->empty()) {
        layers->emplace_back();
        has_box = false;
      }
      layer& target = layers->back();

      // The seed is marked visited too: within one scan that is the same as testing
      // membership in the layer's ink set, since no later flood can reach an earlier seed.
      const glm::ivec2 seed(x, y);
      visited.at<uchar>(y, x) = 1;
      component.assign(1, seed);
      float darkest = row[x];
      ring_flood({seed}, [&](glm::ivec2 p, int, std::vector<glm::ivec2>& next) {
        visit_3x3(p, rows, cols, [&](glm::ivec2 q, std::size_t i) {
          uchar& v = seen[i];
          if (v != 0 || !is_ink(grey[i], threshold)) return false;
          v = 1;
          darkest = std::min(darkest, grey[i]);
          next.push_back(q);
          component.push_back(q);
          return false;
        });
      });

      // JPEG ringing beside a stroke is paper: as ink its specks would become strokes of
      // their own, and narrow places that the region split cuts. Its pixels stay visited
      // (never seeded again) but are marked apart from the ink.
      if (is_ringing(input, component, darkest, threshold)) {
        for (const glm::ivec2& p : component) visited.at<uchar>(p.y, p.x) = 2;
        if (separate_layers || !has_box) layers->pop_back();
        continue;
      }
      trim_ringing_whiskers(input, component, darkest, threshold, visited);
      if (separate_layers && int(component.size()) < min_layer_size) {
        layers->pop_back();
        continue;
      }
      // The box of all the layer's ink so far: the old box widened by this component.
      int min_x = INT_MAX, min_y = INT_MAX, max_x = INT_MIN, max_y = INT_MIN;
      if (has_box) {
        min_x = target.min_x;
        min_y = target.min_y;
        max_x = target.min_x + target.width;
        max_y = target.min_y + target.height;
      }
      for (const glm::ivec2& p : component) {
        min_x = std::min(min_x, p.x);
        min_y = std::min(min_y, p.y);
        max_x = std::max(max_x, p.x);
        max_y = std::max(max_y, p.y);
      }
      has_box = true;
      // One layer for all ink: its set is filled once at the end, in order.
      if (separate_layers) {
        std::sort(component.begin(), component.end(), std::less<glm::ivec2>());
        target.ink_pixels.insert(component.begin(), component.end());
      }
      target.min_x = min_x;
      target.min_y = min_y;
      target.width = max_x - min_x;
      target.height = max_y - min_y;
    }
  }

  if (!separate_layers && !layers->empty()) {
    // Every pixel visited as ink (1) is the layer's ink. Read column by column (rows of the
    // transpose), they come in set order, so the set is built in linear time.
    std::set<glm::ivec2>& ink = layers->front().ink_pixels;
    const cv::Mat by_column = visited.t();
    for (int x = 0; x < cols; ++x) {
      const uchar* v = by_column.ptr<uchar>(x);
      for (int y = 0; y < rows; ++y)
        if (v[y] == 1) ink.emplace_hint(ink.end(), x, y);
    }
  }

  std::vector<glm::vec3> colours;
  for (std::size_t i = 0; i < layers->size(); ++i) colours.push_back(random_colour() * 255.0f);
  if (!region_image) return;  // colours drawn all the same: later draws follow them
  *region_image = cv::Mat(rows, cols, CV_32FC3, cv::Scalar(0, 0, 0));
  if (!separate_layers && layers->size() == 1) {
    // The one layer's ink is every pixel visited as ink.
    const glm::vec3& c = colours[0];
    for (int y = 0; y < rows; ++y) {
      const uchar* v = visited.ptr<uchar>(y);
      cv::Vec3f* px = region_image->ptr<cv::Vec3f>(y);
      for (int x = 0; x < cols; ++x)
        if (v[x] == 1) px[x] = cv::Vec3f(c.z, c.y, c.x);
    }
    return;
  }
  std::size_t i = 0;
  for (const layer& l : *layers) {
    for (const glm::ivec2& p : l.ink_pixels) paint_colour(*region_image, p, colours[i]);
    ++i;
  }
}

namespace {

// l.ink_dist: the chessboard distance of every window pixel from the nearest ink pixel of
// l, which must have some. Pixels outside the window do not count.
void chessboard_distance(layer& l, int rows, int cols) {
  const int far = rows + cols;  // beyond any distance inside the window
  l.ink_dist = cv::Mat(rows, cols, CV_32SC1, cv::Scalar(far));
  cv::Mat& d = l.ink_dist;
  for (const glm::ivec2& p : l.ink_pixels) d.at<int>(p.y + l.offset_y, p.x + l.offset_x) = 0;
  for (int y = 0; y < rows; ++y) {
    int* row = d.ptr<int>(y);
    const int* above = y > 0 ? d.ptr<int>(y - 1) : nullptr;
    for (int x = 0; x < cols; ++x) {
      int v = row[x];
      if (x > 0) v = std::min(v, row[x - 1] + 1);
      if (above) {
        if (x > 0) v = std::min(v, above[x - 1] + 1);
        v = std::min(v, above[x] + 1);
        if (x + 1 < cols) v = std::min(v, above[x + 1] + 1);
      }
      row[x] = v;
    }
  }
  for (int y = rows - 1; y >= 0; --y) {
    int* row = d.ptr<int>(y);
    const int* below = y + 1 < rows ? d.ptr<int>(y + 1) : nullptr;
    for (int x = cols - 1; x >= 0; --x) {
      int v = row[x];
      if (x + 1 < cols) v = std::min(v, row[x + 1] + 1);
      if (below) {
        if (x + 1 < cols) v = std::min(v, below[x + 1] + 1);
        v = std::min(v, below[x] + 1);
        if (x > 0) v = std::min(v, below[x - 1] + 1);
      }
      row[x] = v;
    }
  }
}

}  // namespace

void compute_ink_distance(std::list<layer>& layers, int, int) {
  for (layer& l : layers) {
    l.margin = layer_margin;
    const int cols = l.width + 2 * layer_margin, rows = l.height + 2 * layer_margin;
    l.offset_x = layer_margin - l.min_x;
    l.offset_y = layer_margin - l.min_y;

    // Chessboard distance from the ink. A ring flood over 3 x 3 windows gives exactly this,
    // and so does the two-pass sweep with the 3 x 3 chessboard mask, straight into ints.
    if (l.ink_pixels.empty()) {
      cv::Mat paper(rows, cols, CV_8UC1, cv::Scalar(255)), distance;
      cv::distanceTransform(paper, distance, cv::DIST_C, 3, CV_32F);
      distance.convertTo(l.ink_dist, CV_32SC1);
    } else {
      chessboard_distance(l, rows, cols);
    }
    cv::Mat& d = l.ink_dist;

    int m = INT_MAX;
    for (int x = 0; x < cols; ++x) m = std::min({m, d.at<int>(0, x), d.at<int>(rows - 1, x)});
    for (int y = 0; y < rows; ++y) m = std::min({m, d.at<int>(y, 0), d.at<int>(y, cols - 1)});

    // The outside becomes one plateau of height m: everything 8-connected to the corner
    // through pixels of distance >= m. Pockets behind narrower gaps keep their values.
    cv::Mat high = d >= m;
    cv::floodFill(high, cv::Point(0, 0), cv::Scalar(128), nullptr, cv::Scalar(0), cv::Scalar(0), 8);
    d.setTo(cv::Scalar(m), high == 128);
  }
}
