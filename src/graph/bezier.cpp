#include "graph/bezier.h"

#include <iostream>

namespace {

// Binomial coefficients, one row per degree.
const int row_0[] = {1};
const int row_1[] = {1, 1};
const int row_2[] = {1, 2, 1};
const int row_3[] = {1, 3, 3, 1};
const int row_4[] = {1, 4, 6, 4, 1};
const int row_5[] = {1, 5, 10, 10, 5, 1};
const int row_6[] = {1, 6, 15, 20, 15, 6, 1};
const int row_7[] = {1, 7, 21, 35, 35, 21, 7, 1};
const int row_8[] = {1, 8, 28, 56, 70, 56, 28, 8, 1};
const int row_9[] = {1, 9, 36, 84, 126, 126, 84, 36, 9, 1};
const int row_10[] = {1, 10, 45, 120, 210, 252, 210, 120, 45, 10, 1};
const int row_11[] = {1, 11, 55, 165, 330, 462, 462, 330, 165, 55, 11, 1};
const int row_12[] = {1, 12, 66, 220, 495, 792, 924, 792, 495, 220, 66, 12, 1};
const int row_13[] = {1, 13, 78, 286, 715, 1287, 1716, 1716, 1287, 715, 286, 78, 13, 1};
const int row_14[] = {1, 14, 91, 364, 1001, 2002, 3003, 3432, 3003, 2002, 1001, 364, 91, 14, 1};
const int row_15[] = {1, 15, 105, 455, 1365, 3003, 5005, 6435, 6435, 5005, 3003, 1365, 455, 105, 15, 1};
const int row_16[] = {1, 16, 120, 560, 1820, 4368, 8008, 11440, 12870, 11440, 8008, 4368, 1820, 560, 120, 16, 1};
const int row_17[] = {1, 17, 136, 680, 2380, 6188, 12376, 19448, 24310, 24310, 19448, 12376, 6188, 2380, 680, 136, 17, 1};
const int row_18[] = {1, 18, 153, 816, 3060, 8568, 18564, 31824, 43758, 48620, 43758, 31824, 18564, 8568, 3060, 816, 153, 18, 1};
const int row_19[] = {1, 19, 171, 969, 3876, 11628, 27132, 50388, 75582, 92378, 92378, 75582, 50388, 27132, 11628, 3876, 969, 171, 19, 1};
const int row_20[] = {1, 20, 190, 1140, 4845, 15504, 38760, 77520, 125970, 167960, 184756, 167960, 125970, 77520, 38760, 15504, 4845, 1140, 190, 20, 1};
const int row_21[] = {1, 21, 210, 1330, 5985, 20349, 54264, 116280, 203490, 293930, 352716, 352716, 293930, 203490, 116280, 54264, 20349, 5985, 1330, 210, 21, 1};
const int row_22[] = {1, 22, 231, 1540, 7315, 26334, 74613, 170544, 319770, 497420, 646646, 705432, 646646, 497420, 319770, 170544, 74613, 26334, 7315, 1540, 231, 22, 1};
const int row_23[] = {1, 23, 253, 1771, 8855, 33649, 100947, 245157, 490314, 817190, 1144066, 1352078, 1352078, 1144066, 817190, 490314, 245157, 100947, 33649, 8855, 1771, 253, 23, 1};
const int row_24[] = {1, 24, 276, 2024, 10626, 42504, 134596, 346104, 735471, 1307504, 1961256, 2496144, 2704156, 2496144, 1961256, 1307504, 735471, 346104, 134596, 42504, 10626, 2024, 276, 24, 1};
const int row_25[] = {1, 25, 300, 2300, 12650, 53130, 177100, 480700, 1081575, 2042975, 3268760, 4457400, 5200300, 5200300, 4457400, 3268760, 2042975, 1081575, 480700, 177100, 53130, 12650, 2300, 300, 25, 1};
const int row_26[] = {1, 26, 325, 2600, 14950, 65780, 230230, 657800, 1562275, 3124550, 5311735, 7726160, 9657700, 10400600, 9657700, 7726160, 5311735, 3124550, 1562275, 657800, 230230, 65780, 14950, 2600, 325, 26, 1};
const int row_27[] = {1, 27, 351, 2925, 17550, 80730, 296010, 888030, 2220075, 4686825, 8436285, 13037895, 17383860, 20058300, 20058300, 17383860, 13037895, 8436285, 4686825, 2220075, 888030, 296010, 80730, 17550, 2925, 351, 27, 1};
const int row_28[] = {1, 28, 378, 3276, 20475, 98280, 376740, 1184040, 3108105, 6906900, 13123110, 21474180, 30421755, 37442160, 40116600, 37442160, 30421755, 21474180, 13123110, 6906900, 3108105, 1184040, 376740, 98280, 20475, 3276, 378, 28, 1};
const int row_29[] = {1, 29, 406, 3654, 23751, 118755, 475020, 1560780, 4292145, 10015005, 20030010, 34597290, 51895935, 67863915, 77558760, 77558760, 67863915, 51895935, 34597290, 20030010, 10015005, 4292145, 1560780, 475020, 118755, 23751, 3654, 406, 29, 1};
const int row_30[] = {1, 30, 435, 4060, 27405, 142506, 593775, 2035800, 5852925, 14307150, 30045015, 54627300, 86493225, 119759850, 145422675, 155117520, 145422675, 119759850, 86493225, 54627300, 30045015, 14307150, 5852925, 2035800, 593775, 142506, 27405, 4060, 435, 30, 1};
const int row_31[] = {1, 31, 465, 4495, 31465, 169911, 736281, 2629575, 7888725, 20160075, 44352165, 84672315, 141120525, 206253075, 265182525, 300540195, 300540195, 265182525, 206253075, 141120525, 84672315, 44352165, 20160075, 7888725, 2629575, 736281, 169911, 31465, 4495, 465, 31, 1};

constexpr int max_degree = 31;

// A[i] = t^i, B[i] = (1 - t)^(n - i), for i = 0 .. n.
void power_tables(double t, int n, std::vector<double>& a, std::vector<double>& b) {
  a.assign(n + 1, 1.0);
  b.assign(n + 1, 1.0);
  if (n >= 1) {
    a[1] = t;
    b[n - 1] = 1 - t;
  }
  for (int k = 2; k <= n; ++k) a[k] = t * a[k - 1];
  for (int j = n - 2; j >= 0; --j) b[j] = (1 - t) * b[j + 1];
}

bool degree_supported(int n, std::vector<double>& values) {
  if (n <= max_degree) return true;
  std::cerr << "bezier curve have to have a degree lower than 32" << std::endl;
  for (int i = 0; i <= n && i < static_cast<int>(values.size()); ++i) values[i] = 0;
  return false;
}

}  // namespace

const int* const binomial_rows[32] = {row_0, row_1, row_2, row_3, row_4, row_5, row_6, row_7, row_8, row_9, row_10, row_11, row_12, row_13, row_14, row_15, row_16, row_17, row_18, row_19, row_20, row_21, row_22, row_23, row_24, row_25, row_26, row_27, row_28, row_29, row_30, row_31};

void bernstein_basis(double t, std::vector<double>& values, int n) {
  if (!degree_supported(n, values)) return;
  thread_local std::vector<double> a, b;
  power_tables(t, n, a, b);
  const int* row = binomial_rows[n];
  for (int i = 0; i <= n; ++i) values[i] = static_cast<double>(row[i]) * a[i] * b[i];
}

void bernstein_basis_derivative(double t, std::vector<double>& values, int n) {
  if (!degree_supported(n, values)) return;
  if (n == 0) {
    values[0] = 0;
    return;
  }
  thread_local std::vector<double> a, b;
  power_tables(t, n, a, b);
  const int* row = binomial_rows[n];
  values[0] = -static_cast<double>(n * row[0]) * b[1];
  for (int i = 1; i < n; ++i)
    values[i] = (i * a[i - 1] * b[i] - (n - i) * a[i] * b[i + 1]) * static_cast<double>(row[i]);
  values[n] = static_cast<double>(n * row[n]) * a[n - 1];
}

glm::dvec2 bezier_eval(const int& n, const glm::dvec2* ctrl, double t) {
  std::vector<double> values(n + 1);
  bernstein_basis(t, values, n);
  glm::dvec2 p(0, 0);
  for (int i = 0; i <= n; ++i) {
    p.x += values[i] * ctrl[i].x;
    p.y += values[i] * ctrl[i].y;
  }
  return p;
}

glm::dvec2 bezier_tangent(const std::vector<glm::dvec2>& ctrl, const float& t) {
  const int n = static_cast<int>(ctrl.size()) - 1;
  std::vector<double> values(n + 1);
  bernstein_basis_derivative(static_cast<double>(t), values, n);
  glm::dvec2 d(0, 0);
  for (int i = 0; i <= n; ++i) {
    d.x += values[i] * ctrl[i].x;
    d.y += values[i] * ctrl[i].y;
  }
  return d;
}

void cubic_basis(double t, double values[4]) {
  const double t3x = 3 * t;
  const double t2 = t * t;
  const double t2x3 = 3 * t2;
  const double t3 = t2 * t;
  values[0] = 1 - t3x + t2x3 - t3;
  values[1] = t3x - 2 * t2x3 + 3 * t3;
  values[2] = t2x3 - 3 * t3;
  values[3] = t3;
}

glm::vec3 jet_color(float x) {
  if (x < 0) return glm::vec3(0, 0, 0);
  if (x > 1) return glm::vec3(0.9f, 0.9f, 0.9f);
  const float y = 2 * x - 1;
  if (y < -0.75f) return glm::vec3(0, 0, 2 * y + 2.5f);
  if (y < -0.25f) return glm::vec3(0, 2 * y + 1.5f, 1);
  if (y < 0.25f) return glm::vec3(2 * y + 0.5f, 1, 0.5f - 2 * y);
  if (y < 0.75f) return glm::vec3(1, 1.5f - 2 * y, 0);
  return glm::vec3(2.5f - 2 * y, 0, 0);
}
