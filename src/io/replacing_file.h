#pragma once
// A file that replaces the one it saves over only once it is complete. The bytes go to a
// new temporary file beside the target (same folder, so the rename cannot cross file
// systems), which is flushed to the disk and then renamed over the target. When any step
// fails (no room left, no permission, a folder that does not exist) the temporary file is
// removed and the target keeps its old contents, or stays absent. A target the
// effective user may not write (mode 444, or another user's file) is not replaced, though
// the folder would allow the rename: the save fails with "Permission denied". Root may
// replace it, as it may write it. A replaced file keeps its mode and, where the user may
// give them, its owner and group.
//
// Only the C library and the POSIX calls: the GL toolkit uses this too and links nothing
// else of ours.

#include <memory>
#include <ostream>
#include <string>

class replacing_file {
 public:
  // Creates the temporary file ".<name>.<unique>.tmp" in the folder of `path` (opened
  // exclusively, so two writers never share one). When it cannot be created, or `path`
  // may not be written, out() is already failed and commit() returns false.
  explicit replacing_file(const std::string& path);
  // Removes the temporary file unless commit() succeeded.
  ~replacing_file();
  replacing_file(const replacing_file&) = delete;
  replacing_file& operator=(const replacing_file&) = delete;

  // The new contents, written as they are (no newline translation) in the global locale
  // of the moment of construction. A write that fails sets badbit and later writes do
  // nothing.
  std::ostream& out();

  // Flushes, syncs to the disk, closes and renames over the target, which then holds
  // exactly what was written; an existing target's permission bits are kept. Returns
  // false, with the temporary file removed and the target untouched, when anything
  // failed, this step or an earlier write. Call it once.
  bool commit();

  // The file this replaces (a symbolic link is followed, so the link stays a link).
  const std::string& path() const;
  // Why the file could not be written (strerror of the first failure, "No space left on
  // device"); empty while nothing failed.
  const std::string& error() const;

 private:
  struct state;
  std::unique_ptr<state> state_;
};

// Writes `bytes` as the whole new contents of `path` through a replacing_file. False,
// with the old file untouched, when it could not; *why then holds the reason when given.
bool replace_file_contents(const std::string& path, const std::string& bytes,
                           std::string* why = nullptr);
