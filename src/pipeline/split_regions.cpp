#include "pipeline/split_regions.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include <opencv2/core.hpp>
#include <glm/geometric.hpp>
#include <opencv2/imgproc.hpp>

#include "pipeline/label_regions.h"
#include "pipeline/pixel_neighbourhoods.h"

namespace {

// A hill found by a descent: its pixel (window) and the saddle level it was found at.
struct neck_record {
  int x, y, level;
  bool operator==(const neck_record& o) const { return x == o.x && y == o.y && level == o.level; }
};

// Working state of one layer's splitting; nothing of it survives the call.
class region_splitter {
 public:
  region_splitter(layer& l, float neck_ratio, int neck_margin)
      : l_(l),
        d_(l.ink_dist),
        lab_(l.labels),
        rows_(l.labels.rows),
        cols_(l.labels.cols),
        ratio_(neck_ratio),
        margin_(neck_margin),
        visited_(rows_, cols_, CV_8UC1, cv::Scalar(0)),
        climbed_(rows_, cols_, CV_8UC1, cv::Scalar(0)) {
    CV_Assert(d_.isContinuous() && lab_.isContinuous() && d_.size() == lab_.size());
    d_px_ = d_.ptr<int>();
    lab_px_ = lab_.ptr<int>();
    visited_px_ = visited_.ptr<uchar>();
    climbed_px_ = climbed_.ptr<uchar>();
  }

  void run(int least_depth, int least_size) {
    int outside = outside_label(l_);
    int first = 1;
    for (;;) {
      const int count = int(l_.v_peak.size());
      for (int j = first; j < count; ++j)
        if (l_.v_discarded[j] == 0) descend(j);
      cv::bitwise_xor(visited_, visited_, visited_);
      const int n = int(l_.v_peak.size());
      if (records_.empty()) break;

      for (;;) {
        auto it = std::find_if(records_.begin(), records_.end(), [&](const neck_record& r) {
          return label(glm::ivec2(r.x, r.y)) < n;
        });
        if (it == records_.end()) break;
        const neck_record tried = *it;
        split(tried);
        records_.remove(tried);
      }

      records_.clear();
      keep_outside(outside, least_depth, least_size);
      first = n;
    }
    keep_outside(outside, least_depth, least_size);
  }

 private:
  // Plain pixel access: these run for every region pixel and each of its 8 neighbours.
  std::size_t at(glm::ivec2 p) const { return std::size_t(p.y) * std::size_t(cols_) + std::size_t(p.x); }
  int& d(glm::ivec2 p) { return d_px_[at(p)]; }
  int& label(glm::ivec2 p) { return lab_px_[at(p)]; }
  uchar& visited(glm::ivec2 p) { return visited_px_[at(p)]; }
  uchar& climbed(glm::ivec2 p) { return climbed_px_[at(p)]; }

  // Forgets the pixels the descent has taken from X_ once they are the greater part: the
  // outside region's plateau alone would otherwise keep millions of them queued.
  void drop_taken() {
    if (xh_ < (std::size_t(1) << 16) || 2 * xh_ < X_.size()) return;
    X_.erase(X_.begin(), X_.begin() + std::ptrdiff_t(xh_));
    xh_ = 0;
  }

  // Drop test, then the outside label (which a split may have moved) kept and coloured.
  void keep_outside(int& outside, int least_depth, int least_size) {
    if (outside_label(l_) != outside) {
      l_.v_color[outside] = random_colour() * 255.0f;
      outside = outside_label(l_);
    }
    drop_small_regions(l_, least_depth, least_size);
    l_.v_discarded[outside] = 0;
    l_.v_color[outside] = outside_colour;
  }

  // Walks region j down from its peak, one ink-distance level at a time, looking for
  // pixels of a higher, foreign hill.
  void descend(int j) {
    const int H = l_.v_max_ink_dist[j];
    const glm::ivec2 peak = l_.v_peak[j];
    const int L = label(peak);
    X_.assign(1, peak);
    xh_ = 0;
    W_.clear();
    visited(peak) = 1;
    int f = d(peak);
    for (;;) {
      while (xh_ < X_.size()) {
        drop_taken();
        const glm::ivec2 p = X_[xh_++];
        if (d(p) == 0) continue;  // cut by a climb while it waited: no longer queued
        visit_3x3(p, rows_, cols_, [&](glm::ivec2 q, std::size_t i) {
          if (visited_px_[i] != 0 || lab_px_[i] != L || d_px_[i] == 0) return false;
          const int dq = d_px_[i];
          if (dq == f) {
            visited_px_[i] = 1;
            X_.push_back(q);
          } else if (dq < f) {
            visited_px_[i] = 1;
            W_.push_back(q);
          } else if (float(f) < ratio_ * float(H) && H - f > margin_) {
            climb(q, f, L);
            return true;
          } else {
            visited_px_[i] = 1;
          }
          return false;
        });
      }
      if (f == 1 || W_.empty()) return;
      --f;
      X_.swap(W_);
      W_.clear();
      xh_ = 0;
    }
  }

  // From hill pixel q back to the region's own hill through the visited pixels of the
  // saddle level f, zeroing what it crosses; records the hill when it gets there.
  //
  // The waiting descent queues stay where they are: a pixel that the climb cuts (sets to
  // 0) counts as taken out of them, and the descent skips it when it comes to it. That is
  // the same as moving the queues aside and back without the cut pixels, without copying.
  void climb(glm::ivec2 q, int f, int L) {
    climbed(q) = 1;
    std::vector<glm::ivec2>& O = climb_marked_;
    O.assign(1, q);
    std::vector<glm::ivec2>& current = climb_ring_;
    std::vector<glm::ivec2>& next = climb_next_;
    current.assign(1, q);
    bool met = false;
    while (!current.empty() && !met) {
      next.clear();
      for (std::size_t i = 0; i < current.size() && !met; ++i) {
        met = visit_3x3(current[i], rows_, cols_, [&](glm::ivec2 r, std::size_t ri) {
          int& dr = d_px_[ri];
          uchar& climbedr = climbed_px_[ri];
          if (climbedr != 0 || dr == 0 || visited_px_[ri] == 0) return false;
          if (dr == f) {
            O.push_back(r);
            climbedr = 1;
            next.push_back(r);
            visited_px_[ri] = 0;
            dr = 0;
            l_.neck_pixels.insert(r);
          } else if (dr < f) {
            visited_px_[ri] = 0;
            climbedr = 1;
            O.push_back(r);
            dr = 0;
          } else {
            records_.push_back({q.x, q.y, f});
            visit_3x3(r, rows_, cols_, [&](glm::ivec2 s, std::size_t si) {
              if (lab_px_[si] != L || visited_px_[si] != 0 || d_px_[si] == 0) return false;
              if (d_px_[si] == f) {
                visited_px_[si] = 1;
                X_.push_back(s);
              } else if (d_px_[si] < f) {
                visited_px_[si] = 1;
                W_.push_back(s);
              }
              return false;
            });
            return true;
          }
          return false;
        });
      }
      current.swap(next);
    }
    if (!met) {
      // The way back was not found: the descent has nothing left to take.
      X_.clear();
      xh_ = 0;
      W_.clear();
    }
    for (const glm::ivec2& o : O) climbed(o) = 0;
  }

  // Gives the hill of record r a new label; keeps it only when it is a hill of its own.
  void split(const neck_record& rec) {
    const glm::ivec2 start(rec.x, rec.y);
    const int h = label(start);
    const int fresh = int(l_.v_peak.size());
    l_.v_peak.push_back(start);
    label(start) = fresh;
    int c = 1, m = d(start);
    box fresh_box;
    fresh_box.add(start);
    fresh_pixels_.assign(1, start);
    std::size_t next_sift = min_sift;
    ring_flood({start}, [&](glm::ivec2 p, int, std::vector<glm::ivec2>& nxt) {
      visit_4(p, rows_, cols_, [&](glm::ivec2 q, std::size_t i) {
        if (lab_px_[i] != h || d_px_[i] == 0) return;
        lab_px_[i] = fresh;
        nxt.push_back(q);
        fresh_pixels_.push_back(q);
        fresh_box.add(q);
        if (fresh_pixels_.size() >= next_sift) {
          drop_inner_pixels(fresh);
          next_sift = std::max(min_sift, 2 * fresh_pixels_.size());
        }
        ++c;
        if (d_px_[i] > m) {
          m = d_px_[i];
          l_.v_peak.back() = q;
        }
      });
    });
    const bool separate = label(l_.v_peak[h]) == h && float(m) * ratio_ > float(rec.level) &&
                          m - rec.level > margin_ && !cuts_around_closed_stroke(h, fresh) &&
                          !cuts_along_a_channel(h, fresh, m);
    if (separate) {
      if (!boxes_.empty()) boxes_.push_back(fresh_box);  // at index fresh
      l_.v_max_ink_dist.push_back(m);
      l_.v_nb_pixel.push_back(c);
      l_.v_color.push_back(random_colour() * 255.0f);
      l_.v_discarded.push_back(0);
      l_.v_nb_pixel[h] -= c;
      return;
    }
    records_.remove_if([&](const neck_record& r) { return lab_.at<int>(r.y, r.x) == fresh; });
    l_.v_peak.pop_back();
    label(start) = h;
    ring_flood({start}, [&](glm::ivec2 p, int, std::vector<glm::ivec2>& nxt) {
      visit_4(p, rows_, cols_, [&](glm::ivec2 q, std::size_t i) {
        if (lab_px_[i] != fresh) return;
        lab_px_[i] = h;
        nxt.push_back(q);
      });
    });
  }

  // Bounding box of a set of window pixels, corners included.
  struct box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    void add(glm::ivec2 p) {
      x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    bool holds(glm::ivec2 p) const { return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1; }
    bool holds(const box& b) const { return b.x0 >= x0 && b.x1 <= x1 && b.y0 >= y0 && b.y1 <= y1; }
  };

  // Forgets the listed pixels of `fresh` whose whole 3 x 3 block is of `fresh`: the tests
  // of a split look only at the pixels around the listed ones that are not of `fresh`, and
  // such a block stays so while the flood goes on. A split tried on a large region would
  // otherwise list tens of millions of pixels.
  void drop_inner_pixels(int fresh) {
    auto inner = [&](glm::ivec2 p) {
      bool all = true;
      visit_3x3(p, rows_, cols_, [&](glm::ivec2, std::size_t i) {
        all = lab_px_[i] == fresh;
        return !all;
      });
      return all;
    };
    fresh_pixels_.erase(std::remove_if(fresh_pixels_.begin(), fresh_pixels_.end(), inner),
                        fresh_pixels_.end());
  }
  static constexpr std::size_t min_sift = std::size_t(1) << 16;  // fewer listed pixels stay

  // True when the pixels of `fresh` (just flooded off h) and the rest of h both border one
  // hole of h that holds a kept region of its own: a closed stroke lying inside h, touching
  // nothing. Necks between such a stroke and the strokes around it are open paper, not a
  // gap in a stroke; cutting them would join the two strokes across the paper. A hole of
  // ink alone (an open stroke inside h) does not count, so gaps between strokes still close.
  bool cuts_around_closed_stroke(int h, int fresh) {
    if (hole_mark_.empty()) hole_mark_ = cv::Mat(rows_, cols_, CV_8UC1, cv::Scalar(0));
    uchar* marks = hole_mark_.ptr<uchar>();
    if (boxes_.empty()) {
      // Boxes of the labels as they are now; a kept split adds its own, and h keeps its
      // box from before the split, which still holds all of it.
      boxes_.resize(std::size_t(fresh));
      for (int y = 0; y < rows_; ++y) {
        const int* row = lab_px_ + std::size_t(y) * std::size_t(cols_);
        // A run of one label widens the box by its two ends.
        for (int x = 0; x < cols_;) {
          const int g = row[x];
          int end = x;
          while (end + 1 < cols_ && row[end + 1] == g) ++end;
          box& b = boxes_[std::size_t(g == fresh ? h : g)];
          b.add({x, y});
          b.add({end, y});
          x = end + 1;
        }
      }
    }
    // Everything in a hole of h lies in h's box: a part that leaves it is open.
    const box& around = boxes_[std::size_t(h)];
    const int outside = outside_label(l_);
    enum : uchar { unseen = 0, in_hole = 1, not_hole = 2 };
    const auto other = [&](glm::ivec2 p) { return label(p) != h && label(p) != fresh; };
    const auto leaves = [&](glm::ivec2 p) {
      const int g = label(p);
      return !around.holds(p) || g == outside || (g != 0 && !around.holds(boxes_[std::size_t(g)]));
    };
    std::vector<glm::ivec2> marked, component;
    bool found = false;
    for (std::size_t i = 0; i < fresh_pixels_.size() && !found; ++i)
      for (glm::ivec2 seed : window_3x3(fresh_pixels_[i], rows_, cols_)) {
        if (!other(seed) || hole_mark_.at<uchar>(seed.y, seed.x) != unseen) continue;
        // One 8-connected part of the pixels outside h, as far as it goes or until it
        // leaves h's box, reaches the outside region or a part already known open.
        component.assign(1, seed);
        hole_mark_.at<uchar>(seed.y, seed.x) = in_hole;
        bool open = false, holds_region = false, borders_rest = false;
        for (std::size_t k = 0; k < component.size() && !open; ++k) {
          const glm::ivec2 p = component[k];
          open = leaves(p);
          // Specks of paper inside thick ink are dropped regions: they make no closed stroke.
          holds_region = holds_region || (label(p) != 0 && l_.v_discarded[label(p)] == 0);
          visit_3x3(p, rows_, cols_, [&](glm::ivec2 q, std::size_t i) {
            const int g = lab_px_[i];
            if (g == h && d_px_[i] != 0) borders_rest = true;
            if (g == h || g == fresh) return false;
            uchar& mark = marks[i];
            if (mark == not_hole) open = true;
            if (mark != unseen) return false;
            mark = in_hole;
            component.push_back(q);
            return false;
          });
        }
        for (const glm::ivec2& p : component) hole_mark_.at<uchar>(p.y, p.x) = open ? not_hole : in_hole;
        marked.insert(marked.end(), component.begin(), component.end());
        if (!open && holds_region && borders_rest) {
          found = true;
          break;
        }
      }
    for (const glm::ivec2& p : marked) hole_mark_.at<uchar>(p.y, p.x) = unseen;
    return found;
  }

  // A gap in a stroke has the two stroke ends on its sides: the ink beside a cut that
  // closes it runs away from the cut, along the way from the cut to it. A channel of paper
  // between two strokes has their sides beside it: that ink runs across that way. A cut is
  // taken for a channel only when no stroke end lies beside it, so a stroke that stops
  // short of another one still closes its region.
  bool cuts_along_a_channel(int h, int fresh, int hill) {
    if (channel_mark_.empty()) channel_mark_ = cv::Mat(rows_, cols_, CV_8UC1, cv::Scalar(0));
    std::vector<glm::ivec2> marked;
    bool found = false;
    for (std::size_t i = 0; i < fresh_pixels_.size() && !found; ++i)
      visit_3x3(fresh_pixels_[i], rows_, cols_, [&](glm::ivec2 seed, std::size_t si) {
        if (lab_px_[si] != h || d_px_[si] != 0 || channel_mark_.at<uchar>(seed.y, seed.x) != 0) return false;
        const std::size_t first = marked.size();
        gather(seed, marked, 1, [&](std::size_t qi) {
          return lab_px_[qi] == h && d_px_[qi] == 0 && channel_mark_.ptr<uchar>()[qi] == 0;
        });
        const std::vector<glm::ivec2> cut(marked.begin() + std::ptrdiff_t(first), marked.end());
        found = lies_between(cut, h, fresh) && has_only_stroke_sides_beside(cut, hill);
        return found;
      });
    for (const glm::ivec2& p : marked) channel_mark_.at<uchar>(p.y, p.x) = 0;
    return found;
  }

  // Appends to `pixels` the pixels 8-connected to `seed` through pixels that `take`
  // accepts (by index), marking them `taken` in channel_mark_.
  template <class Take>
  void gather(glm::ivec2 seed, std::vector<glm::ivec2>& pixels, uchar taken, Take&& take) {
    uchar* mark = channel_mark_.ptr<uchar>();
    const std::size_t first = pixels.size();
    mark[at(seed)] = taken;
    pixels.push_back(seed);
    for (std::size_t k = first; k < pixels.size(); ++k)
      visit_3x3(pixels[k], rows_, cols_, [&](glm::ivec2 q, std::size_t qi) {
        if (mark[qi] == taken || !take(qi)) return false;
        mark[qi] = taken;
        pixels.push_back(q);
        return false;
      });
  }

  // True when the cut touches both the rest of h and `fresh`.
  bool lies_between(const std::vector<glm::ivec2>& cut, int h, int fresh) const {
    bool rest = false, split_off = false;
    for (const glm::ivec2& p : cut)
      visit_4(p, rows_, cols_, [&](glm::ivec2, std::size_t i) {
        rest = rest || (lab_px_[i] == h && d_px_[i] != 0);
        split_off = split_off || lab_px_[i] == fresh;
      });
    return rest && split_off;
  }

  // The ink beside the cut, in its 8-connected pieces; each piece that is more than a
  // speck is judged on its own.
  bool has_only_stroke_sides_beside(const std::vector<glm::ivec2>& cut, int hill) {
    glm::dvec2 middle(0);
    for (const glm::ivec2& p : cut) middle += glm::dvec2(p);
    middle /= double(cut.size());
    std::vector<glm::ivec2> beside;
    for (const glm::ivec2& p : cut)
      visit_3x3(p, rows_, cols_, [&](glm::ivec2 q, std::size_t qi) {
        if (lab_px_[qi] == 0 && channel_mark_.at<uchar>(q.y, q.x) == 0) {
          channel_mark_.at<uchar>(q.y, q.x) = 3;  // beside, in no piece yet
          beside.push_back(q);
        }
        return false;
      });
    std::vector<glm::ivec2> piece;
    int nb_sides = 0;
    bool end = false;
    for (const glm::ivec2& p : beside) {
      if (channel_mark_.at<uchar>(p.y, p.x) != 3) continue;
      piece.clear();
      gather(p, piece, 6, [&](std::size_t qi) { return channel_mark_.ptr<uchar>()[qi] == 3; });
      if (piece.size() < min_piece_beside) continue;
      switch (judge(piece, middle, hill)) {
        case ink_beside::speck: break;
        case ink_beside::stroke_end:
        case ink_beside::solid: end = true; break;
        case ink_beside::stroke_side: ++nb_sides; break;
      }
    }
    for (const glm::ivec2& p : beside) channel_mark_.at<uchar>(p.y, p.x) = 0;
    return !end && nb_sides >= 2;
  }

  // A piece of ink beside a cut is a stroke end when the ink around it, out to a few
  // stroke widths, runs along the way from the cut's middle to the piece, clearly more
  // than across it.
  enum class ink_beside { speck, stroke_end, stroke_side, solid };
  ink_beside judge(const std::vector<glm::ivec2>& piece, glm::dvec2 cut_middle, int hill) {
    glm::dvec2 centre(0);
    for (const glm::ivec2& p : piece) centre += glm::dvec2(p);
    centre /= double(piece.size());
    const glm::dvec2 away = centre - cut_middle;
    if (glm::length(away) < 0.5) return ink_beside::stroke_end;  // no way to tell: let the gap close
    const glm::dvec2 along = glm::normalize(away), across(-along.y, along.x);
    float width = 0;
    const std::vector<glm::ivec2>& around = ink_around(piece, centre, width);
    // Noise in the paper of a scan, not a stroke.
    if (around.size() < min_ink_of_a_stroke) return ink_beside::speck;
    // A stroke is thin beside the paper it bounds. Ink about as wide as the hill is deep
    // is a mass with paper cut out of it, not a stroke running by: its necks close as before.
    if (width > solid_in_hill_depths * float(hill)) return ink_beside::solid;
    double mean_a = 0, mean_c = 0, sq_a = 0, sq_c = 0;
    for (const glm::ivec2& q : around) {
      const glm::dvec2 v = glm::dvec2(q) - centre;
      const double a = glm::dot(v, along), c = glm::dot(v, across);
      mean_a += a, mean_c += c, sq_a += a * a, sq_c += c * c;
    }
    const double n = double(around.size());
    const double var_along = sq_a / n - (mean_a / n) * (mean_a / n);
    const double var_across = sq_c / n - (mean_c / n) * (mean_c / n);
    return var_along > end_elongation * var_across ? ink_beside::stroke_end : ink_beside::stroke_side;
  }

  // The ink joined to the piece within a reach of end_reach_in_widths stroke widths of
  // its centre, the width being twice the greatest depth into the ink met in that reach
  // (so the reach grows until it holds the middle of the stroke).
  const std::vector<glm::ivec2>& ink_around(const std::vector<glm::ivec2>& piece, glm::dvec2 centre, float& width) {
    if (ink_depth_.empty()) {
      // Depth of every ink pixel from the nearest pixel that is not ink, chessboard like d.
      const cv::Mat ink = lab_ == 0;
      cv::distanceTransform(ink, ink_depth_, cv::DIST_C, 3, CV_32F);
    }
    if (around_mark_.empty()) around_mark_ = cv::Mat(rows_, cols_, CV_8UC1, cv::Scalar(0));
    uchar* mark = around_mark_.ptr<uchar>();
    const float* depth = ink_depth_.ptr<float>();
    std::vector<glm::ivec2>& around = around_;
    double reach = 4;
    for (int round = 0; round < 4; ++round) {
      around.clear();
      for (const glm::ivec2& p : piece) mark[at(p)] = 1, around.push_back(p);
      float deepest = 0;
      for (std::size_t k = 0; k < around.size(); ++k) {
        deepest = std::max(deepest, depth[at(around[k])]);
        visit_3x3(around[k], rows_, cols_, [&](glm::ivec2 q, std::size_t qi) {
          if (mark[qi] != 0 || lab_px_[qi] != 0 || glm::length(glm::dvec2(q) - centre) > reach) return false;
          mark[qi] = 1;
          around.push_back(q);
          return false;
        });
      }
      for (const glm::ivec2& q : around) mark[at(q)] = 0;
      width = 2 * deepest;
      const double wanted = end_reach_in_widths * double(width);
      if (wanted <= reach) break;
      reach = wanted;
    }
    return around;
  }

  layer& l_;
  cv::Mat& d_;
  cv::Mat& lab_;
  const int rows_, cols_;
  const float ratio_;
  const int margin_;
  cv::Mat visited_;  // descent marks, cleared after every pass
  cv::Mat climbed_;  // 1 on the pixels of the climb under way, 0 elsewhere
  int* d_px_ = nullptr;
  int* lab_px_ = nullptr;
  uchar* visited_px_ = nullptr;
  uchar* climbed_px_ = nullptr;
  std::list<neck_record> records_;
  std::vector<glm::ivec2> X_, W_;  // descent queues: current level (taken from xh_), next level
  std::size_t xh_ = 0;
  std::vector<glm::ivec2> climb_marked_, climb_ring_, climb_next_;  // reused by every climb
  // The pixels of the label a split is trying, in flood order, less inner ones.
  std::vector<glm::ivec2> fresh_pixels_;
  cv::Mat hole_mark_;  // holes of a split region: 0 unseen, 1 hole, 2 open; 0 between splits
  std::vector<box> boxes_;  // window box of every label, filled at the first split tried
  cv::Mat channel_mark_;  // cuts judged (1), ink beside the cut (3, then 6 once in a piece)
  cv::Mat ink_depth_;     // CV_32F, chessboard depth of ink pixels, filled at the first need
  cv::Mat around_mark_;  // ink around one piece beside a cut, 0 between uses
  std::vector<glm::ivec2> around_;  // that ink
  static constexpr double end_reach_in_widths = 2.5;  // how far around a piece the ink is looked at
  static constexpr float solid_in_hill_depths = 0.5f;  // wider ink beside a neck: a mass
  static constexpr std::size_t min_piece_beside = 3;  // fewer ink pixels beside a cut: a speck
  static constexpr std::size_t min_ink_of_a_stroke = 16;  // less ink around a piece: a speck
  static constexpr double end_elongation = 2.0;  // spread along over spread across of an end
};

}  // namespace

void split_regions(cv::Mat* region_image, std::list<layer>& layers, int least_depth,
                   int least_size, float neck_ratio, int neck_margin) {
  for (layer& l : layers) {
    region_splitter(l, neck_ratio, neck_margin).run(least_depth, least_size);
    paint_regions(l, *region_image);
    l.region_mask = cv::Mat(l.labels.rows, l.labels.cols, CV_8SC1, cv::Scalar(1));
    for (int y = 0; y < l.labels.rows; ++y) {
      const int* lab = l.labels.ptr<int>(y);
      schar* mask = l.region_mask.ptr<schar>(y);
      for (int x = 0; x < l.labels.cols; ++x)
        if (l.v_discarded[lab[x]] != 0) mask[x] = 0;
    }
  }
}

void compute_stroke_depth(std::list<layer>& layers) {
  for (layer& l : layers) {
    const int rows = l.labels.rows, cols = l.labels.cols;
    l.stroke_depth = cv::Mat(rows, cols, CV_32SC1, cv::Scalar(0));
    cv::Mat& s = l.stroke_depth;
    std::vector<glm::ivec2> A, B;
    A.reserve(l.ink_pixels.size());
    CV_Assert(s.isContinuous() && l.region_mask.isContinuous() && l.labels.isContinuous());
    int* depth = s.ptr<int>();
    const schar* mask = l.region_mask.ptr<schar>();
    // The ink is label 0 until the growth relabels it. A row scan of the labels finds it
    // without walking the ink set; the marks and rings below do not depend on the order
    // in which the ink comes (the marks close over 8-neighbours, the rings are distances).
    const int* labels = l.labels.ptr<int>();
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x) {
        const std::size_t i = std::size_t(y) * std::size_t(cols) + std::size_t(x);
        if (labels[i] != 0) continue;
        depth[i] = -1;
        A.emplace_back(x, y);
      }
    for (std::size_t i = 0; i < A.size(); ++i)
      visit_3x3(A[i], rows, cols, [&](glm::ivec2 q, std::size_t j) {
        int& v = depth[j];
        if (v != 0) return false;
        if (mask[j] != 0) {
          B.push_back(q);
        } else {
          v = -1;
          A.push_back(q);
        }
        return false;
      });
    ring_flood(std::move(B), [&](glm::ivec2 p, int k, std::vector<glm::ivec2>& next) {
      visit_3x3(p, rows, cols, [&](glm::ivec2 q, std::size_t j) {
        int& v = depth[j];
        if (v != -1) return false;
        v = k;
        next.push_back(q);
        return false;
      });
    });
  }
}

void threshold_region_hills(const cv::Mat&, std::list<layer>& layers, int least_depth, int,
                            int neck_ratio_bits) {
  float ratio;
  std::memcpy(&ratio, &neck_ratio_bits, sizeof ratio);
  for (const layer& l : layers) {
    std::map<int, std::vector<glm::ivec2>> by_label;
    for (int y = 0; y < l.labels.rows; ++y)
      for (int x = 0; x < l.labels.cols; ++x) by_label[l.labels.at<int>(y, x)].emplace_back(x, y);
    for (const auto& [label, pixels] : by_label) {
      if (label < 0 || label >= int(l.v_discarded.size()) || l.v_discarded[label] != 0) continue;
      cv::Mat depth(l.labels.rows, l.labels.cols, CV_32SC1, cv::Scalar(0));
      int v = 0;
      for (const glm::ivec2& p : pixels) {
        depth.at<int>(p.y, p.x) = l.ink_dist.at<int>(p.y, p.x);
        v = std::max(v, depth.at<int>(p.y, p.x));
      }
      if (v == 0) v = 1;
      const int threshold = std::max(least_depth, int(float(v) * ratio));
      cv::Mat mask(l.labels.rows, l.labels.cols, CV_8UC1, cv::Scalar(128));
      for (const glm::ivec2& p : pixels) mask.at<uchar>(p.y, p.x) = depth.at<int>(p.y, p.x) > threshold ? 255 : 0;
    }
  }
}
