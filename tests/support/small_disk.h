#pragma once
// A full disk for the tests of the writers: a small file system of a test's own, filled
// up on demand, so that a write fails for real with "No space left on device".
//
// Where the process may (root, as in CI), it is a tmpfs mounted at a fresh folder in a
// mount namespace of the calling thread's own, so that no mount outlives the test or is
// seen outside it; the thread's child processes share it. Elsewhere it is a plain folder
// and fill() limits the size of every file this process and its children write
// (RLIMIT_FSIZE, with SIGXFSZ ignored so that the write fails instead of killing).

#include <cstddef>
#include <filesystem>
#include <string>

namespace fixtures {

class small_disk {
 public:
  // A fresh folder named after `name` and this process below the test temporary folder,
  // holding a file system of `bytes` (rounded up to whole pages).
  explicit small_disk(const std::string& name, std::size_t bytes = 1 << 20);
  // Lifts a limit, unmounts and removes the folder.
  ~small_disk();
  small_disk(const small_disk&) = delete;
  small_disk& operator=(const small_disk&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  // True for the tmpfs, false for the file-size fallback.
  bool mounted() const { return mounted_; }

  // Takes all the room that is left (tmpfs: a filler file written until the disk is
  // full; fallback: no file anywhere may grow past its first `room_bytes` bytes, 0 by
  // default, the test's own files too, such as captured standard error).
  void fill(std::size_t room_bytes = 0);
  // Gives the room back: removes the filler, or lifts the limit.
  void empty();

 private:
  std::filesystem::path folder_;
  bool mounted_ = false;
  bool limited_ = false;
};

}  // namespace fixtures
