// A whole session in the real program: dialogs answered by typing, keys through the
// window manager's focus, Optimize and Pause clicked, snapshots, Save and Open Graph.

#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "window/real_session.h"

namespace {

using namespace real_x;

TEST_F(real_session, CancelledDialogsKeysThroughTheFocusAndOptimizeFollowingTheWorker) {
  // Open Sketch: the extraction runs to the optimiser's set-up and waits for Optimize.
  cv::Mat opened;
  layout where;
  ASSERT_TRUE(open_sketch("house.png", opened, where));

  // Ctrl+O, then Esc in the dialog: the drawing stays, and so does the program.
  key("ctrl+o");
  ASSERT_TRUE(wait_until([&] { return dialog_open("Open File"); }, 10000));
  pause_ms(300);
  run(display, "xdotool key Escape");
  ASSERT_TRUE(wait_until([&] { return !dialog_open("Open File"); }, 10000));
  pause_ms(500);
  ASSERT_FALSE(app.exited()) << "Esc in the dialog ended the program";
  const cv::Mat cancelled = screenshot("cancelled");
  EXPECT_LT(differing_pixels(opened(where.view), cancelled(where.view)), 200) << "the drawing went with the dialog";

  // Optimize still runs the optimiser; pressed again (Pause) it holds the run.
  const std::size_t before = progress();
  click(where.optimize.x, where.optimize.y);
  EXPECT_TRUE(wait_until([&] { return progress() > before + 2; }, 10000)) << "Optimize did not start the run";
  click(where.optimize.x, where.optimize.y);
  pause_ms(500);
  const std::size_t held = progress();
  pause_ms(1000);
  EXPECT_EQ(progress(), held) << "Pause did not hold the run";

  // Into the view: + and - zoom, the arrows pan, T and Y write the snapshots.
  click(where.view.width / 8, where.view.y + where.view.height / 2);
  const cv::Mat still = screenshot("still");
  key("plus");
  pause_ms(400);
  EXPECT_GT(differing_pixels(still(where.view), screenshot("zoomed")(where.view)), 5000) << "+ did not zoom";
  key("minus");
  pause_ms(400);
  EXPECT_LT(differing_pixels(still(where.view), screenshot("unzoomed")(where.view)), 200) << "- did not zoom back";
  key("Left");
  pause_ms(400);
  EXPECT_GT(differing_pixels(still(where.view), screenshot("panned")(where.view)), 500) << "Left did not pan";
  key("Right");
  pause_ms(400);
  EXPECT_LT(differing_pixels(still(where.view), screenshot("unpanned")(where.view)), 200) << "Right did not pan back";
  EXPECT_EQ(progress(), held) << "an arrow key moved the iteration slider";
  for (const char* snapshot_key : {"t", "y"}) {
    fs::remove(dir / "color.png");
    fs::remove(dir / "depth.png");
    key(snapshot_key);
    EXPECT_TRUE(wait_until([&] { return fs::exists(dir / "color.png") && fs::exists(dir / "depth.png"); }, 5000))
        << snapshot_key << " wrote no snapshots";
  }

  // Save Graph mid-run under a name without extension, then Open Graph of it: the run
  // waits for Optimize, whose button then follows the worker (Pause holds it).
  answer_dialog("ctrl+s", "Save File", "mid");
  ASSERT_TRUE(wait_until([&] { return fs::exists(dir / "in" / "mid.graph"); }, 10000));
  const std::size_t opened_before = count_of(log(), "house.png");
  answer_dialog("ctrl+g", "Open File", "mid.graph");
  ASSERT_TRUE(wait_until([&] { return count_of(log(), "house.png") > opened_before; }, 10000)) << log();
  pause_ms(500);
  const std::size_t reopened = progress();
  pause_ms(800);
  EXPECT_EQ(progress(), reopened) << "the reopened run did not wait for Optimize";
  click(where.optimize.x, where.optimize.y);
  EXPECT_TRUE(wait_until([&] { return progress() > reopened + 2; }, 10000)) << "Optimize did not resume the run";
  click(where.optimize.x, where.optimize.y);
  pause_ms(500);
  const std::size_t paused = progress();
  pause_ms(1000);
  EXPECT_EQ(progress(), paused) << "the button did not read Pause while the worker ran";
  EXPECT_EQ(log().find("There is a problem"), std::string::npos);

  // Esc quits.
  key("Escape");
  EXPECT_TRUE(wait_until([&] { return app.exited(); }, 15000));
  EXPECT_TRUE(WIFEXITED(app.status) && WEXITSTATUS(app.status) == 0) << log();
}

}  // namespace
