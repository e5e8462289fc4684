// The batch program run by a user who may write the output folder but not an older
// result in it: that result is not replaced, the run says so and fails.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/batch_entry.h"
#include "batch_work_folder.h"
#include "support/other_user.h"
#include "support/sketch_fixtures.h"

namespace {

namespace fs = std::filesystem;

using batch_fixture::run_result;
using batch_fixture::work_folder;

// vellumtrace_batch with these arguments in the folder, as the unprivileged user.
run_result run_as_unprivileged_user(const work_folder& w, const std::vector<std::string>& arguments) {
  const fs::path out = w.dir / "stdout.txt";
  const fs::path err = w.dir / "stderr.txt";
  const std::string results = fixtures::as_unprivileged_user([&] {
    const pid_t child = ::fork();
    if (child == 0) {
      const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (o < 0 || e < 0 || ::chdir(w.dir.c_str()) != 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(126);
      std::vector<char*> argv{const_cast<char*>(VELLUMTRACE_BATCH_EXE)};
      for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(VELLUMTRACE_BATCH_EXE, argv.data());
      ::_exit(127);
    }
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return std::to_string(child > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  });
  run_result r;
  r.status = std::atoi(results.c_str());
  r.out = w.read("stdout.txt");
  r.err = w.read("stderr.txt");
  return r;
}

TEST(BatchReadOnlyResult, AResultTheUserMayNotWriteIsNotReplacedAndFailsTheRun) {
  if (!fixtures::can_act_as_other_user()) GTEST_SKIP() << "only root can set up another user's files";
  work_folder w;
  w.add_sketch("ring.png", fixtures::closed_ring());
  w.list_sketches({"ring.png"});
  fs::create_directories(w.dir / "out" / "error_speed");
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(w.dir))
    fixtures::give_to(e.path().string(), fixtures::unprivileged_uid, fixtures::unprivileged_gid);
  fixtures::give_to(w.dir.string(), fixtures::unprivileged_uid, fixtures::unprivileged_gid);

  // Root's picture, which others may read; the user's own energy, made read-only.
  const std::string svg = "out/error_speed/ring_w3l0.5dt0.9test0.svg";
  const std::string error = "out/error_speed/ring_w3l0.5dt0.9test0.error";
  std::ofstream(w.dir / svg) << "<svg>older picture</svg>\n";
  std::ofstream(w.dir / error) << "older energy\n";
  fixtures::give_to((w.dir / error).string(), fixtures::unprivileged_uid, fixtures::unprivileged_gid);
  ASSERT_EQ(::chmod((w.dir / error).c_str(), 0444), 0);

  const run_result r = run_as_unprivileged_user(w, {"3", "0.5", "0.9", "0", "1"});
  EXPECT_EQ(r.status, unwritten_result_status) << r.out << r.err;
  EXPECT_NE(r.err.find("cannot write " + error + ": Permission denied\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(svg), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 result files could not be written"), std::string::npos) << r.err;

  // Both older results as they were, the statistics written, nothing else left.
  EXPECT_EQ(w.read(svg), "<svg>older picture</svg>\n");
  EXPECT_EQ(w.read(error), "older energy\n");
  struct stat st;
  ASSERT_EQ(::stat((w.dir / svg).c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(w.result_files(), (std::vector<std::string>{"ring_w3l0.5dt0.9test0.error", "ring_w3l0.5dt0.9test0.svg"}));
  EXPECT_TRUE(w.exists("out/error_speed/csv/ring_w3l0.5dt0.9k_min0k_max1.csv"));
}

}  // namespace
