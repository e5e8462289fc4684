// The "Curve degree" boxes of the Option menu, as a user sets them before a run: the
// result the run writes holds only the ticked degrees.

#include "window_session.h"

#include <cstddef>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <QCheckBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "support/network_checker.h"

namespace {

using window_test::window_session;

// Paths of an SVG picture by degree: the command after each path's "M" point.
struct path_counts {
  std::size_t lines = 0, quadratics = 0, cubics = 0;
};

path_counts count_paths(const std::string& svg) {
  path_counts n;
  const std::string key = "d = \"M";
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
    const std::size_t command = svg.find_first_of("LQC\"", at + key.size());
    if (command == std::string::npos) break;
    if (svg[command] == 'L') ++n.lines;
    if (svg[command] == 'Q') ++n.quadratics;
    if (svg[command] == 'C') ++n.cubics;
  }
  return n;
}

TEST(CurveDegreeOptions, UntickedDegreesAreNotInTheWrittenResult) {
  struct row {
    std::set<int> unticked;
    bool lines, quadratics, cubics;  // what the result may hold
  };
  const row rows[] = {
      {{2, 3}, true, false, false},  // every curve starts cubic and comes out straight
      {{1, 3}, false, true, false},
  };
  for (const row& r : rows) {
    std::string name = "unticked";
    for (int d : r.unticked) name += " " + std::to_string(d);
    SCOPED_TRACE(name);
    window_session s(3000);
    const QList<QCheckBox*> boxes = s.window->findChildren<QCheckBox*>();
    ASSERT_EQ(boxes.size(), 3);
    for (int d : r.unticked) boxes[d - 1]->click();
    for (int d = 1; d <= 3; ++d) EXPECT_EQ(s.gl->allowed_degree[d] != 0, r.unticked.count(d) == 0) << d;

    ASSERT_TRUE(s.open_sketch(s.folder.add_example("fish.png")));
    QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
    ASSERT_TRUE(s.wait_for([&] { return s.gl->threads.empty(); }));
    ASSERT_EQ(s.gl->worker.optimiser.k, s.gl->worker.optimiser.nb_it);

    std::ifstream in(s.folder.path("out/fish/fish_bezier_end.svg"));
    ASSERT_TRUE(in) << "no result written";
    std::ostringstream text;
    text << in.rdbuf();
    const path_counts n = count_paths(text.str());
    EXPECT_GT(n.lines + n.quadratics + n.cubics, 10u);
    EXPECT_TRUE(r.lines || n.lines == 0) << n.lines << " lines";
    EXPECT_TRUE(r.quadratics || n.quadratics == 0) << n.quadratics << " quadratics";
    EXPECT_TRUE(r.cubics || n.cubics == 0) << n.cubics << " cubics";
    for (const layer_graph& lg : s.gl->network) EXPECT_EQ(check_network(lg), "");
  }
}

}  // namespace
