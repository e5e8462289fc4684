#include "io/replacing_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/other_user.h"
#include "support/small_disk.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Bytes of every value, in a seeded order, so that a cut or a reordering shows.
std::string random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xff);
  return s;
}

TEST(ReplacingFile, ReplacesWholeFilesKeepingModeAndLinksAndLeavesNothingBeside) {
  fixtures::temp_working_folder here("replacing_file");
  const fs::path folder = fs::current_path();
  put("old.bin", std::string(300000, 'o'));
  ::chmod("old.bin", 0640);
  put("target.bin", "linked");
  fs::create_symlink("target.bin", "link.bin");

  // Larger than the buffer and written piece by piece; a file that shrinks; a new file;
  // a link, which must still be one afterwards.
  const std::string big = random_bytes(200000, 11);
  replacing_file file("old.bin");
  for (std::size_t i = 0; i < big.size(); i += 7000) file.out() << big.substr(i, 7000);
  EXPECT_TRUE(file.commit()) << file.error();
  EXPECT_TRUE(file.error().empty());
  EXPECT_EQ(slurp("old.bin"), big);
  EXPECT_EQ(fs::status("old.bin").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  EXPECT_TRUE(replace_file_contents("new.bin", "fresh\n"));
  EXPECT_EQ(slurp("new.bin"), "fresh\n");
  EXPECT_TRUE(replace_file_contents("link.bin", "through the link"));
  EXPECT_TRUE(fs::is_symlink("link.bin"));
  EXPECT_EQ(slurp("target.bin"), "through the link");

  // Two writers of one target at once get temporary files of their own; the last
  // commit wins.
  replacing_file a("new.bin"), b("new.bin");
  a.out() << "first";
  b.out() << "second";
  EXPECT_TRUE(a.commit());
  EXPECT_TRUE(b.commit());
  EXPECT_EQ(slurp("new.bin"), "second");

  EXPECT_EQ(names_in(folder), (std::vector<std::string>{"link.bin", "new.bin", "old.bin", "target.bin"}));
}

TEST(ReplacingFile, FailureOnAFullDiskOrMissingFolderLeavesTheOldFileAndNoTemporary) {
  fixtures::small_disk disk("replacing_file_full", 256 * 1024);
  const fs::path folder = disk.folder();
  const std::string old_bytes = random_bytes(100000, 7);
  put(folder / "drawing.graph", old_bytes);
  ASSERT_EQ(slurp(folder / "drawing.graph"), old_bytes);
  disk.fill();

  struct failing_case {
    const char* name;      // below the small disk's folder
    std::size_t size;      // bytes written
    bool dropped_object;   // destroyed without commit instead of committed
  };
  const failing_case cases[] = {
      {"drawing.graph", 150000, false},  // overwrite: more than the old file held
      {"drawing.graph", 10, false},      // a few bytes, left in the buffer until the commit
      {"drawing.graph", 150000, true},   // a writer given up half way
      {"result.svg", 5000, false},       // a new file on the full disk
      {"no_such_folder/result.svg", 10, false},
  };
  for (const failing_case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (folder / c.name).string();
    {
      replacing_file file(path);
      file.out() << random_bytes(c.size, 3);
      if (!c.dropped_object) {
        EXPECT_FALSE(file.commit());
        EXPECT_FALSE(file.error().empty());
      }
    }
    EXPECT_EQ(slurp(folder / "drawing.graph"), old_bytes);
    EXPECT_FALSE(fs::exists(folder / "result.svg"));
    // Nothing but the old file (and the filler of the tmpfs) is left.
    std::vector<std::string> left = names_in(folder);
    left.erase(std::remove(left.begin(), left.end(), ".filler"), left.end());
    EXPECT_EQ(left, std::vector<std::string>{"drawing.graph"});
  }

  std::string why;
  EXPECT_FALSE(replace_file_contents((folder / "drawing.graph").string(), std::string(5000, 'n'), &why));
  EXPECT_NE(why.find(disk.mounted() ? "No space left on device" : "File too large"), std::string::npos) << why;

  // With the room back the same save succeeds.
  disk.empty();
  EXPECT_TRUE(replace_file_contents((folder / "drawing.graph").string(), "saved", &why)) << why;
  EXPECT_EQ(slurp(folder / "drawing.graph"), "saved");
}

// Renaming needs only the folder's permission: as a user who may write the folder, a
// file that user may not write must still not be replaced. Root may, as it may write it.
TEST(ReplacingFile, ReplacesOnlyFilesTheUserMayWriteAndKeepsTheirOwner) {
  if (!fixtures::can_act_as_other_user()) GTEST_SKIP() << "only root can set up another user's files";
  fixtures::temp_working_folder here("replacing_file_owner");
  const fs::path folder = fs::current_path();
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  const uid_t nobody = fixtures::unprivileged_uid;
  const gid_t nogroup = fixtures::unprivileged_gid;

  struct owner_case {
    const char* name;
    bool exists;     // false: a new file
    bool link;       // name is a link to ".target_<name>", which has owner and mode
    uid_t owner;
    mode_t mode;
    bool replaced;   // by the unprivileged user
  };
  const owner_case cases[] = {
      {"root_444.svg", true, false, 0, 0444, false},
      {"root_644.svg", true, false, 0, 0644, false},
      {"own_444.svg", true, false, nobody, 0444, false},
      {"own_644.svg", true, false, nobody, 0644, true},
      {"root_666.svg", true, false, 0, 0666, true},  // anyone may write it
      {"link_root_644.svg", true, true, 0, 0644, false},
      {"link_own_644.svg", true, true, nobody, 0644, true},
      {"new.svg", false, false, 0, 0, true},
  };
  auto file_of = [](const owner_case& c) { return c.link ? std::string(".target_") + c.name : std::string(c.name); };
  std::vector<std::string> expected_names;
  for (const owner_case& c : cases) {
    expected_names.push_back(c.name);
    if (!c.exists) continue;
    put(file_of(c), std::string("old ") + c.name);
    fixtures::give_to(file_of(c), c.owner, c.owner == 0 ? 0 : nogroup);
    ASSERT_EQ(::chmod(file_of(c).c_str(), c.mode), 0);
    if (c.link) {
      fs::create_symlink(file_of(c), c.name);
      expected_names.push_back(file_of(c));
    }
  }
  std::sort(expected_names.begin(), expected_names.end());

  // One line per case: name, 1 or 0, the reason.
  const std::string lines = fixtures::as_unprivileged_user([&] {
    std::string out;
    for (const owner_case& c : cases) {
      std::string why;
      const bool written = replace_file_contents(c.name, std::string("new ") + c.name, &why);
      out += std::string(c.name) + "\t" + (written ? "1" : "0") + "\t" + why + "\n";
    }
    return out;
  });
  for (const owner_case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string refused = std::string(c.name) + "\t0\tPermission denied\n";
    const std::string written = std::string(c.name) + "\t1\t\n";
    EXPECT_NE(lines.find(c.replaced ? written : refused), std::string::npos) << lines;
    EXPECT_EQ(slurp(c.name), std::string(c.replaced ? "new " : "old ") + c.name);
    EXPECT_EQ(fs::is_symlink(c.name), c.link);
    struct stat st;
    ASSERT_EQ(::stat(c.name, &st), 0);
    if (c.exists) {
      EXPECT_EQ(st.st_mode & 07777, c.mode);
    }
    if (!c.replaced) {
      EXPECT_EQ(st.st_uid, c.owner);
    }
  }
  EXPECT_EQ(names_in(folder), expected_names);  // no temporary file left

  // Root replaces a read-only file of another user; it stays that user's.
  std::string why;
  EXPECT_TRUE(replace_file_contents("own_444.svg", "by root", &why)) << why;
  EXPECT_EQ(slurp("own_444.svg"), "by root");
  struct stat st;
  ASSERT_EQ(::stat("own_444.svg", &st), 0);
  EXPECT_EQ(st.st_uid, nobody);
  EXPECT_EQ(st.st_gid, nogroup);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

}  // namespace
