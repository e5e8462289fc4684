// The snapshot keys T and Y on a view with nothing open: the colour picture is written and
// said to be, the depth, all one value, is not, and the view says why.

#include "view_session.h"

#include <filesystem>
#include <string>

#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

namespace {

TEST(SnapshotKeys, WithNothingOpenNoDepthPictureIsClaimed) {
  view_test::session s(100);
  s.view.snapshot_prefix = s.folder.path("snap_");
  const std::string colour = s.view.snapshot_prefix + "color.png";
  const std::string depth = s.view.snapshot_prefix + "depth.png";
  for (const Qt::Key key : {Qt::Key_T, Qt::Key_Y}) {
    SCOPED_TRACE(key == Qt::Key_T ? "T" : "Y");
    std::filesystem::remove(colour);
    testing::internal::CaptureStdout();
    QTest::keyRelease(&s.view, key);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("saved as " + colour + "\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("saved as " + depth), std::string::npos) << out;
    EXPECT_NE(out.find("no depth picture written to " + depth +
                       ": all depths are equal (nothing is drawn), so there is nothing to show\n"),
              std::string::npos)
        << out;
    const cv::Mat picture = cv::imread(colour, cv::IMREAD_UNCHANGED);
    EXPECT_FALSE(picture.empty());
    EXPECT_FALSE(std::filesystem::exists(depth));
  }
}

}  // namespace
