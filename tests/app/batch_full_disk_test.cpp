// The batch program with its output folder on a full disk: every result that cannot be
// written is named, nothing half written is left, an older result stays whole, and the
// exit status says so.

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/batch_entry.h"
#include "batch_work_folder.h"
#include "support/sketch_fixtures.h"
#include "support/small_disk.h"

namespace {

namespace fs = std::filesystem;

using batch_fixture::run_result;
using batch_fixture::work_folder;

// Every file below the folder but the disk's filler, with its bytes.
std::map<std::string, std::string> files_below(const work_folder& w, const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(e.path(), folder).string();
    if (e.is_regular_file() && name != ".filler") files[name] = w.read(fs::relative(e.path(), w.dir).string());
  }
  return files;
}

TEST(BatchFullDisk, ResultsThatCannotBeWrittenFailTheRunAndLeaveOlderOnesWhole) {
  fixtures::small_disk disk("batch_full_disk", 512 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs here: the program's own output would hit the file-size limit";
  work_folder w;
  fs::create_directory_symlink(disk.folder(), w.dir / "out");  // the output root on the small disk
  w.add_sketch("ring.png", fixtures::closed_ring());
  w.list_sketches({"ring.png"});
  const std::string svg = "error_speed/ring_w3l0.5dt0.9test0.svg";
  const std::string error = "error_speed/ring_w3l0.5dt0.9test0.error";
  const std::string csv = "error_speed/csv/ring_w3l0.5dt0.9k_min0k_max1.csv";

  // A first run with room writes the three files.
  ASSERT_EQ(w.run("3 0.5 0.9 0 1").status, 0);
  const std::map<std::string, std::string> before = files_below(w, disk.folder());
  std::vector<std::string> names;
  for (const auto& [name, bytes] : before) names.push_back(name);
  ASSERT_EQ(names, (std::vector<std::string>{csv, error, svg}));

  // The same run on the full disk: over the older files, and then into an empty folder.
  disk.fill();
  for (const bool older_files : {true, false}) {
    SCOPED_TRACE(older_files ? "over older results" : "no older results");
    if (!older_files) {
      for (const std::string& f : names) fs::remove(disk.folder() / f);
      disk.fill();  // the room they took
    }
    const run_result r = w.run("3 0.5 0.9 0 1");
    EXPECT_EQ(r.status, unwritten_result_status) << r.err;
    for (const std::string& f : names) EXPECT_NE(r.err.find("out/" + f), std::string::npos) << f << "\n" << r.err;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("3 result files could not be written"), std::string::npos) << r.err;
    // No partial file, no temporary one; what was there is as it was.
    const std::map<std::string, std::string> expected = older_files ? before : decltype(before){};
    EXPECT_EQ(files_below(w, disk.folder()), expected);
  }
}

}  // namespace
