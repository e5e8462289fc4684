#include "io/svg_elements.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

#include <gtest/gtest.h>

#include "graph/edge.h"
#include "support/xml_check.h"

namespace {

using glm::dvec2;
using glm::vec2;

// A stream as the picture writers set it up.
struct svg_stream : std::ostringstream {
  svg_stream() { imbue(std::locale::classic()); }
};

curve_segment segment_of(std::vector<dvec2> points) {
  curve_segment s;
  s.v_ctrl_point = std::move(points);
  return s;
}

f_curve fragment_of(std::vector<dvec2> points, edge* e = nullptr) {
  f_curve f;
  f.v_ctrl_point = std::move(points);
  if (e) f.v_edge.push_back(e);
  return f;
}

const float nan_f = std::numeric_limits<float>::quiet_NaN();
const float inf_f = std::numeric_limits<float>::infinity();

TEST(SvgElements, ElementTextsWithAndWithoutId) {
  svg_stream out;
  svg_cubic(out, 7, "red", {1, 2}, {3, 4}, {5, 6}, {7, 8});
  svg_cubic(out, -1, "red", {1, 2}, {3, 4}, {5, 6}, {7, 8});
  svg_quadratic(out, 3, "#0000FF", {0.5f, 1}, {2, 3}, {4, 5});
  svg_quadratic(out, -1, "#0000FF", {0.5f, 1}, {2, 3}, {4, 5});
  svg_line(out, 0, "#000000", {10, 20}, {30, 40}, 5);
  svg_line(out, -1, "orange", {10, 20}, {30, 40}, 2);
  svg_circle(out, 12, "gray", {12.5f, 100}, 10.0f, 2.0f);
  svg_circle(out, -1, "cyan", {1, 2}, 0.5f, 1.5f);
  const std::string expected =
      "<path id = \"curve_7\" d = \"M1,2 C3,4 5,6 7,8\" stroke=\"red\" stroke-width=\"2\" fill=\"none\"/>\n"
      "<path d = \"M1,2 C3,4 5,6 7,8\" stroke=\"red\" stroke-width=\"2\" fill=\"none\"/>\n"
      "<path id = \"curve_3\" d = \"M0.5,1 Q2,3 4,5\" stroke=\"#0000FF\" stroke-width=\"2\" fill=\"none\"/>\n"
      "<path d = \"M0.5,1 Q2,3 4,5\" stroke=\"#0000FF\" stroke-width=\"2\" fill=\"none\"/>\n"
      "<path id = \"curve_0\" d = \"M10,20 L30,40\" stroke=\"#000000\" stroke-width=\"5\" fill=\"none\"/>\n"
      "<path d = \"M10,20 L30,40\" stroke=\"orange\" stroke-width=\"2\" fill=\"none\"/>\n"
      "<circle id = \"circle_12\" cx=\"12.5\" cy=\"100\" r=\"10\" stroke=\"gray\" fill=\"gray\" stroke-width=\"2\"/>\n"
      "<circle cx=\"1\" cy=\"2\" r=\"0.5\" stroke=\"cyan\" fill=\"cyan\" stroke-width=\"1.5\"/>\n";
  EXPECT_EQ(out.str(), expected);
}

TEST(SvgElements, HeaderFooterAndDocumentIsWellFormed) {
  svg_stream out;
  svg_header(out, 480, 640);
  svg_cubic(out, 0, "red", {1, 2}, {3, 4}, {5, 6}, {7, 8});
  svg_circle(out, -1, "gray", {1, 2}, 10.0f, 2.0f);
  svg_footer(out);
  const std::string text = out.str();
  EXPECT_EQ(text.substr(0, text.find('\n') + 1),
            "<svg xmlns=\"http://www.w3.org/2000/svg\" height=\"480\" width=\"640\">\n");
  EXPECT_EQ(text.substr(text.size() - 7), "</svg>\n");
  EXPECT_TRUE(is_well_formed_xml_text(text));
  // The checker itself rejects a malformed document.
  EXPECT_FALSE(is_well_formed_xml_text("<svg><path d=\"M0,0\"></svg>\n"));
}

TEST(SvgElements, NumbersAreFloatsInDefaultFormat) {
  struct Case { double x; const char* text; };
  const Case cases[] = {{12.5, "12.5"},         {100, "100"},   {3.14159265, "3.14159"},
                        {1234567, "1.23457e+06"}, {1e-05, "1e-05"}, {0.1, "0.1"},
                        {1234567.25, "1.23457e+06"}, {-2.5, "-2.5"}};
  for (const Case& c : cases) {
    svg_stream out;
    int id = 0;
    svg_curve_segments(out, {segment_of({{c.x, 0}, {0, c.x}})}, id, "red");
    EXPECT_EQ(out.str(), std::string("<path id = \"curve_0\" d = \"M") + c.text + ",0 L0," +
                             c.text + "\" stroke=\"red\" stroke-width=\"2\" fill=\"none\"/>\n")
        << c.x;
  }
}

TEST(SvgElements, NonFiniteNumberSkipsTheElementWithAMessage) {
  svg_stream out;
  testing::internal::CaptureStderr();
  svg_line(out, 4, "red", {nan_f, 0}, {1, 1}, 2);
  svg_quadratic(out, -1, "red", {0, 0}, {inf_f, 1}, {2, 2});
  svg_cubic(out, 5, "red", {0, 0}, {1, 1}, {2, 2}, {3, -inf_f});
  svg_circle(out, 6, "red", {0, 0}, nan_f, 1.0f);
  // Finite doubles beyond the float range are written as floats, so they count too.
  int id = 9;
  svg_curve_segments(out, {segment_of({{1e300, 0}, {0, 0}}), segment_of({{1, 2}, {3, 4}})}, id,
                     "red");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out.str(),
            "<path id = \"curve_10\" d = \"M1,2 L3,4\" stroke=\"red\" stroke-width=\"2\" fill=\"none\"/>\n");
  EXPECT_EQ(id, 11);
  EXPECT_EQ(err,
            "svg: path curve_4 not written: non-finite coordinate\n"
            "svg: path not written: non-finite coordinate\n"
            "svg: path curve_5 not written: non-finite coordinate\n"
            "svg: circle circle_6 not written: non-finite coordinate\n"
            "svg: path curve_9 not written: non-finite coordinate\n");
}

TEST(SvgElements, JetColorHex) {
  struct Case { float x; const char* hex; };
  // 0.5 and 0.75 fall on jet's band edges; -1 and 2 are outside [0, 1].
  const Case cases[] = {{0, "#00007f"},    {1, "#7f0000"},    {0.5f, "#7fff7f"},
                        {0.25f, "#007fff"}, {0.75f, "#ff7f00"}, {-1, "#000000"},
                        {2, "#e5e5e5"}};
  for (const Case& c : cases) EXPECT_EQ(jet_color_hex(c.x), c.hex) << c.x;
  // Green channels 0.05 and 0.0625 write "0c" and "0f": a value up to 15 is padded.
  EXPECT_EQ(jet_color_hex(0.1375f), "#000cff");
  EXPECT_EQ(jet_color_hex(0.140625f), "#000fff");
  for (int i = 0; i <= 1000; ++i) {
    const std::string hex = jet_color_hex(i / 1000.0f);
    ASSERT_EQ(hex.size(), 7u) << i;
    EXPECT_EQ(hex.find_first_not_of("#0123456789abcdef"), std::string::npos) << hex;
  }
}

TEST(SvgElements, CurveSegmentsByControlPointCount) {
  // Counts 4, 5, 2 then 1, 3, 0: the 5- and 0-point segments write nothing but use an id.
  const std::vector<curve_segment> segments = {
      segment_of({{1, 2}, {3, 4}, {5, 6}, {7, 8}}), segment_of({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}),
      segment_of({{1, 1}, {2, 2}}),                  segment_of({{9, 9}}),
      segment_of({{0, 0}, {1, 0}, {1, 1}}),          segment_of({})};
  svg_stream out;
  int id = 5;
  svg_curve_segments(out, segments, id, "#0000FF");
  EXPECT_EQ(id, 11);
  EXPECT_EQ(out.str(),
            "<path id = \"curve_5\" d = \"M1,2 C3,4 5,6 7,8\" stroke=\"#0000FF\" stroke-width=\"2\" fill=\"none\"/>\n"
            "<path id = \"curve_7\" d = \"M1,1 L2,2\" stroke=\"#0000FF\" stroke-width=\"2\" fill=\"none\"/>\n"
            "<circle id = \"circle_8\" cx=\"9\" cy=\"9\" r=\"1\" stroke=\"#0000FF\" fill=\"#0000FF\" stroke-width=\"1\"/>\n"
            "<path id = \"curve_9\" d = \"M0,0 Q1,0 1,1\" stroke=\"#0000FF\" stroke-width=\"2\" fill=\"none\"/>\n");
}

TEST(SvgElements, CubicFragmentsSkipLoopsAndNonCubicsAndKeepIdsConsecutive) {
  edge background, marked, marked_2, plain;
  background.on_background = true;
  background.display_mark = true;  // the background flag wins
  marked.display_mark = true;
  marked.display_mark_2 = true;  // the first mark wins
  marked_2.display_mark_2 = true;
  std::list<f_curve> fragments;
  fragments.push_back(fragment_of({{0, 0}, {1, 0}, {2, 0}, {3, 0}}, &background));
  fragments.push_back(fragment_of({{5, 5}, {6, 7}, {7, 6}, {5, 5}}, &plain));  // closed loop
  fragments.push_back(fragment_of({{0, 0}, {1, 1}, {2, 2}}, &plain));          // 3 points
  fragments.push_back(fragment_of({{0, 1}, {1, 1}, {2, 1}, {3, 1}}, &marked));
  fragments.push_back(fragment_of({{0, 2}, {1, 2}, {2, 2}, {3, 2}}, &marked_2));
  fragments.push_back(fragment_of({{0, 3}, {1, 3}, {2, 3}, {3, 3}}, &plain));
  fragments.push_back(fragment_of({{0, 4}, {1, 4}, {2, 4}, {3, 4}}));  // no edge
  // Loop check is exact: a last point off by a tiny amount is drawn.
  fragments.push_back(fragment_of({{5, 5}, {6, 7}, {7, 6}, {5, 5.000001}}, &plain));

  const std::string tail = "\" stroke-width=\"2\" fill=\"none\"/>\n";
  const char* paths[] = {"M0,0 C1,0 2,0 3,0", "M0,1 C1,1 2,1 3,1", "M0,2 C1,2 2,2 3,2",
                         "M0,3 C1,3 2,3 3,3", "M0,4 C1,4 2,4 3,4", "M5,5 C6,7 7,6 5,5"};
  auto expected = [&](const std::vector<std::string>& colours) {
    std::string text;
    for (int i = 0; i < 6; ++i)
      text += "<path id = \"curve_" + std::to_string(2 + i) + "\" d = \"" + paths[i] +
              "\" stroke=\"" + colours[i] + tail;
    return text;
  };

  svg_stream plain_out;
  int id = 2;
  svg_cubic_fragments(plain_out, fragments, id, "blue");
  EXPECT_EQ(id, 8);
  EXPECT_EQ(plain_out.str(), expected({"blue", "blue", "blue", "blue", "blue", "blue"}));

  svg_stream flag_out;
  id = 2;
  svg_cubic_fragments_by_edge_flags(flag_out, fragments, id, "blue", "red");
  EXPECT_EQ(id, 8);
  EXPECT_EQ(flag_out.str(), expected({"green", "red", "brown", "blue", "blue", "blue"}));
}

TEST(SvgElements, JoinedPath) {
  const std::list<std::vector<dvec2>> sections = {
      {{0, 0}, {1, 1}},
      {{1, 1}, {2, 1}, {3, 0}},
      {{3, 0}, {3, 1}, {4, 2}, {5, 2}, {6, 2}},  // 5 points: adds nothing
      {{3, 0}, {4, 1}, {5, 1}, {6, 0}}};
  svg_stream out;
  int id = 3;
  svg_joined_path(out, sections, id, "#00ff7f");
  EXPECT_EQ(id, 7);
  EXPECT_EQ(out.str(),
            "<path id = \"curve_3\" d = \"M0,0 L1,1 Q2,1 3,0 C4,1 5,1 6,0\" stroke=\"#00ff7f\" "
            "stroke-width=\"2\" fill=\"none\"/>\n");

  // Nothing to start the path from: no half element is written.
  svg_stream empty_out;
  id = 0;
  svg_joined_path(empty_out, {}, id, "red");
  svg_joined_path(empty_out, {{}, {{0, 0}, {1, 1}}}, id, "red");
  EXPECT_EQ(empty_out.str(), "");
  EXPECT_EQ(id, 2);

  svg_stream nan_out;
  testing::internal::CaptureStderr();
  svg_joined_path(nan_out, {{{0, 0}, {1, 1}}, {{1, 1}, {std::nan(""), 1}, {3, 0}}}, id, "red");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "svg: path curve_2 not written: non-finite coordinate\n");
  EXPECT_EQ(nan_out.str(), "");
  EXPECT_EQ(id, 4);
}

TEST(SvgElements, ShuffledColoursAreTheJetSamplesInSomeOrder) {
  for (int n : {0, 1, 3, 4, 50}) {
    std::vector<std::string> expected;
    for (int k = 0; k < n; ++k) expected.push_back(jet_color_hex(float(k) * (1.0f / float(n))));
    std::sort(expected.begin(), expected.end());
    for (int run = 0; run < 2; ++run) {
      std::vector<std::string> colours =
          run == 0 ? shuffled_curve_colours(n) : [&] {
            std::mt19937 generator(1234u + static_cast<unsigned>(n));
            return shuffled_curve_colours(n, generator);
          }();
      std::sort(colours.begin(), colours.end());
      EXPECT_EQ(colours, expected) << "n " << n;
    }
  }
  EXPECT_EQ(shuffled_curve_colours(1), std::vector<std::string>{"#00007f"});
  std::vector<std::string> four = shuffled_curve_colours(4);
  std::sort(four.begin(), four.end());
  EXPECT_EQ(four, (std::vector<std::string>{"#00007f", "#007fff", "#7fff7f", "#ff7f00"}));

  // The same generator state gives the same order; the order is a real shuffle.
  std::mt19937 a(7), b(7);
  const std::vector<std::string> first = shuffled_curve_colours(50, a);
  EXPECT_EQ(first, shuffled_curve_colours(50, b));
  std::vector<std::string> in_order;
  for (int k = 0; k < 50; ++k) in_order.push_back(jet_color_hex(float(k) * (1.0f / 50.0f)));
  EXPECT_NE(first, in_order);
}

}  // namespace
