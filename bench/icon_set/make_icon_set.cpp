// Draws a set of 512 x 512 icons, dark anti-aliased strokes on white paper, for timing
// the batch program one drawing at a time (bench/icon_set/time_batch). Every stroke
// closes a region or joins others at both ends, as the batch program expects; a few
// icons are saved as JPEG to bring in compression noise. Deterministic: the jitter comes
// from one seeded engine. Run from the repository root:
//   build/bench/icon_set/make_icon_set FOLDER
// writes icon00.png ... into FOLDER and prints their names, one a line.

#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

const cv::Scalar ink(25, 25, 25);
const int aa = cv::LINE_AA;

struct pen {
  cv::Mat m = cv::Mat(512, 512, CV_8UC3, cv::Scalar(255, 255, 255));
  int w = 3;
  void line(cv::Point a, cv::Point b) { cv::line(m, a, b, ink, w, aa); }
  void poly(const std::vector<cv::Point>& p, bool closed = true) {
    cv::polylines(m, std::vector<std::vector<cv::Point>>{p}, closed, ink, w, aa);
  }
  void circle(cv::Point c, int r) { cv::circle(m, c, r, ink, w, aa); }
  void ellipse(cv::Point c, cv::Size s, double a0, double a1, double rot = 0) {
    cv::ellipse(m, c, s, rot, a0, a1, ink, w, aa);
  }
  void frame() { cv::rectangle(m, {12, 12}, {499, 499}, ink, w, aa); }
};

std::vector<cv::Point> regular(cv::Point c, int r, int n, double phase) {
  std::vector<cv::Point> p;
  for (int i = 0; i < n; ++i) {
    const double a = phase + 2 * CV_PI * i / n;
    p.emplace_back(c.x + static_cast<int>(std::lround(r * std::cos(a))),
                   c.y + static_cast<int>(std::lround(r * std::sin(a))));
  }
  return p;
}

// A closed spiral: an Archimedean spiral whose outer end returns to its start by a chord.
std::vector<cv::Point> spiral(cv::Point c, double turns, double r_max) {
  std::vector<cv::Point> p;
  const int n = static_cast<int>(turns * 90);
  for (int i = 0; i <= n; ++i) {
    const double t = static_cast<double>(i) / n;
    const double a = 2 * CV_PI * turns * t;
    const double r = 20 + (r_max - 20) * t;
    p.emplace_back(c.x + static_cast<int>(std::lround(r * std::cos(a))),
                   c.y + static_cast<int>(std::lround(r * std::sin(a))));
  }
  return p;
}

using icon = std::function<void(pen&, std::mt19937&)>;

const std::vector<icon> icons = {
    // house with a fence
    [](pen& p, std::mt19937&) {
      p.frame();
      p.poly({{100, 250}, {340, 250}, {340, 430}, {100, 430}});
      p.poly({{80, 250}, {220, 110}, {360, 250}});
      p.poly({{150, 430}, {150, 330}, {200, 330}, {200, 430}});
      p.poly({{250, 290}, {310, 290}, {310, 350}, {250, 350}});
      p.line({280, 290}, {280, 350});
      p.line({250, 320}, {310, 320});
      p.line({12, 430}, {499, 430});
      for (int x = 360; x < 490; x += 30) p.line({x, 430}, {x, 380});
      p.line({340, 395}, {499, 395});
    },
    // star in a circle
    [](pen& p, std::mt19937&) {
      p.circle({256, 256}, 220);
      const auto o = regular({256, 256}, 220, 5, -CV_PI / 2);
      p.poly({o[0], o[2], o[4], o[1], o[3]});
    },
    // gear
    [](pen& p, std::mt19937&) {
      std::vector<cv::Point> g;
      const double steps[4][2] = {{-0.2, 170}, {-0.1, 215}, {0.1, 215}, {0.2, 170}};
      for (int i = 0; i < 12; ++i)
        for (const auto& s : steps) {
          const double a = 2 * CV_PI * i / 12 + s[0];
          g.emplace_back(256 + int(std::lround(s[1] * std::cos(a))), 256 + int(std::lround(s[1] * std::sin(a))));
        }
      p.poly(g);
      p.circle({256, 256}, 60);
      for (int i = 0; i < 6; ++i) p.circle(regular({256, 256}, 115, 6, 0)[i], 22);
    },
    // closed spiral
    [](pen& p, std::mt19937&) {
      auto s = spiral({256, 256}, 3.0, 220);
      p.poly(s, true);
    },
    // hatched square and triangle
    [](pen& p, std::mt19937&) {
      p.poly({{60, 60}, {300, 60}, {300, 300}, {60, 300}});
      for (int d = 40; d < 240; d += 24) p.line({60 + d, 60}, {60, 60 + d});
      p.poly({{250, 470}, {470, 470}, {360, 250}});
      for (int y = 300; y < 470; y += 22) {
        const int half = (y - 250) * 110 / 220;
        p.line({360 - half, y}, {360 + half, y});
      }
    },
    // cup and saucer
    [](pen& p, std::mt19937&) {
      p.poly({{140, 150}, {340, 150}, {320, 360}, {160, 360}});
      p.ellipse({365, 240}, {55, 60}, -80, 80);
      p.ellipse({250, 390}, {190, 40}, 0, 360);
      p.ellipse({240, 150}, {100, 20}, 0, 360);
    },
    // envelope
    [](pen& p, std::mt19937&) {
      p.poly({{50, 120}, {462, 120}, {462, 400}, {50, 400}});
      p.poly({{50, 120}, {256, 280}, {462, 120}}, false);
      p.line({50, 400}, {200, 237});
      p.line({462, 400}, {312, 237});
    },
    // face
    [](pen& p, std::mt19937&) {
      p.circle({256, 256}, 210);
      p.circle({180, 200}, 30);
      p.circle({330, 200}, 30);
      p.ellipse({256, 300}, {120, 90}, 20, 160);
      p.line({142, 331}, {370, 331});
      p.poly({{256, 220}, {236, 280}, {276, 280}});
    },
    // tree and hills
    [](pen& p, std::mt19937&) {
      p.frame();
      p.ellipse({150, 499}, {200, 150}, 180, 360);
      p.ellipse({400, 499}, {160, 110}, 180, 360);
      p.poly({{320, 389}, {320, 250}, {350, 250}, {350, 389}});
      p.circle({335, 180}, 80);
      p.circle({100, 90}, 45);
    },
    // cloud with rain drops joined to it
    [](pen& p, std::mt19937&) {
      p.ellipse({256, 200}, {190, 80}, 0, 360);
      p.circle({190, 150}, 60);
      p.circle({300, 135}, 75);
      for (int x = 150; x <= 350; x += 50) p.poly({{x, 280}, {x - 15, 380}, {x + 15, 380}});
    },
    // bicycle
    [](pen& p, std::mt19937&) {
      p.circle({130, 330}, 90);
      p.circle({380, 330}, 90);
      p.poly({{130, 330}, {220, 200}, {340, 200}, {250, 330}});
      p.line({250, 330}, {220, 200});
      p.line({340, 200}, {380, 330});
      p.line({340, 200}, {350, 150});
      p.line({320, 150}, {380, 150});
      p.line({200, 180}, {250, 180});
      p.line({220, 200}, {225, 180});
    },
    // jittered polygon grid, saved as JPEG
    [](pen& p, std::mt19937& gen) {
      std::uniform_int_distribution<int> j(-12, 12);
      cv::Point grid[5][5];
      for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) {
          const bool edge = r == 0 || c == 0 || r == 4 || c == 4;
          grid[r][c] = {40 + c * 108 + (edge ? 0 : j(gen)), 40 + r * 108 + (edge ? 0 : j(gen))};
        }
      for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 4; ++c) p.line(grid[r][c], grid[r][c + 1]);
      for (int c = 0; c < 5; ++c)
        for (int r = 0; r < 4; ++r) p.line(grid[r][c], grid[r + 1][c]);
    },
    // rocket
    [](pen& p, std::mt19937&) {
      p.poly({{256, 40}, {320, 150}, {320, 380}, {192, 380}, {192, 150}});
      p.line({192, 150}, {320, 150});
      p.circle({256, 230}, 35);
      p.poly({{192, 300}, {130, 420}, {192, 380}});
      p.poly({{320, 300}, {382, 420}, {320, 380}});
      p.poly({{220, 380}, {256, 470}, {292, 380}});
    },
    // key, thicker pen, saved as JPEG
    [](pen& p, std::mt19937&) {
      p.w = 5;
      p.circle({140, 256}, 90);
      p.circle({140, 256}, 35);
      p.poly({{230, 240}, {460, 240}, {460, 272}, {230, 272}});
      p.poly({{400, 272}, {400, 320}, {430, 320}, {430, 272}});
      p.poly({{340, 272}, {340, 310}, {370, 310}, {370, 272}});
    },
    // flower
    [](pen& p, std::mt19937&) {
      p.circle({256, 200}, 40);
      for (int i = 0; i < 8; ++i) {
        const double a = 2 * CV_PI * i / 8;
        p.ellipse({256 + int(90 * std::cos(a)), 200 + int(90 * std::sin(a))}, {55, 25}, 0, 360, a * 180 / CV_PI);
      }
      p.poly({{246, 295}, {246, 490}, {266, 490}, {266, 295}});
      p.ellipse({320, 400}, {55, 22}, 0, 360, -30);
    },
};

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : "icon_set";
  std::filesystem::create_directories(folder);
  std::mt19937 gen(20261210u);
  for (std::size_t i = 0; i < icons.size(); ++i) {
    pen p;
    icons[i](p, gen);
    const bool jpeg = i % 5 == 2;
    const std::string name = "icon" + std::string(i < 10 ? "0" : "") + std::to_string(i) + (jpeg ? ".jpg" : ".png");
    if (jpeg) {
      cv::imwrite((folder / name).string(), p.m, {cv::IMWRITE_JPEG_QUALITY, 80});
    } else {
      cv::imwrite((folder / name).string(), p.m);
    }
    std::cout << name << "\n";
  }
  return 0;
}
