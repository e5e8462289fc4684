#include "io/replacing_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <streambuf>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Output buffer over a file descriptor that keeps the first write error.
class fd_buffer : public std::streambuf {
 public:
  fd_buffer(int fd, std::string& error) : fd_(fd), error_(error) { setp(buffer_, buffer_ + sizeof buffer_); }

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }

  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n <= epptr() - pptr()) {
      std::memcpy(pptr(), s, static_cast<std::size_t>(n));
      pbump(static_cast<int>(n));
      return n;
    }
    // A large block goes straight to the file after what is buffered.
    if (!drain() || !write_all(s, static_cast<std::size_t>(n))) return 0;
    return n;
  }

  int sync() override { return drain() ? 0 : -1; }

 private:
  bool drain() {
    const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_, buffer_ + sizeof buffer_);
    return write_all(buffer_, n);
  }

  bool write_all(const char* s, std::size_t n) {
    if (fd_ < 0 || !error_.empty()) return false;
    while (n > 0) {
      const ssize_t w = ::write(fd_, s, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        // A write of 0 bytes makes no progress: treat it as a full disk.
        error_ = std::strerror(w < 0 ? errno : ENOSPC);
        return false;
      }
      s += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  }

  int fd_;
  std::string& error_;
  char buffer_[1 << 16];
};

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return "";
  return path.substr(0, slash + 1);
}

std::string name_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a symbolic link points to, so that saving through a link keeps it.
std::string followed(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

// Several writers, in this process or in others, may save beside the same target.
int create_exclusive(const std::string& target, std::string& temp_path, std::string& error) {
  static std::atomic<unsigned> counter{0};
  const std::string stem = folder_of(target) + "." + name_of(target) + "." + std::to_string(::getpid());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = stem + "-" + std::to_string(counter++) + ".tmp";
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  error = std::strerror(errno);
  temp_path.clear();
  return -1;
}

// Renaming over a file needs only the folder's permission: a file the user may not
// write is refused as writing it in place would be. The effective user decides, so
// root may still replace a read-only file, which it could open for writing anyway.
bool may_replace(const std::string& target, std::string& error) {
  if (::faccessat(AT_FDCWD, target.c_str(), F_OK, AT_EACCESS) != 0) return true;  // a new file
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0) return true;
  error = std::strerror(errno);
  return false;
}

int open_temporary(const std::string& target, std::string& temp_path, std::string& error) {
  if (!may_replace(target, error)) return -1;
  return create_exclusive(target, temp_path, error);
}

// A replaced file keeps its owner and group where the saving user may give them (root
// may, as writing in place kept them; another user keeps at least a group it is in),
// then who may read it: a change of owner clears the set-id bits.
void keep_owner_and_mode(int fd, const std::string& target) {
  struct stat st;
  if (::stat(target.c_str(), &st) != 0) return;
  if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
    // The file becomes the saving user's, as any file it creates.
  }
  (void)::fchmod(fd, st.st_mode & 07777);
}

}  // namespace

struct replacing_file::state {
  std::string target;
  std::string temp_path;  // empty when there is no temporary file (any more)
  std::string error;      // the first failure; before fd, which sets it when creation fails
  int fd = -1;
  fd_buffer buffer;
  std::ostream stream;

  explicit state(const std::string& path)
      : target(followed(path)), fd(open_temporary(target, temp_path, error)), buffer(fd, error),
        stream(&buffer) {
    if (fd < 0) {
      stream.setstate(std::ios::badbit);
      return;
    }
    keep_owner_and_mode(fd, target);
  }

  void fail(const char* why) {
    if (error.empty()) error = why;
  }

  void discard() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!temp_path.empty()) ::unlink(temp_path.c_str());
    temp_path.clear();
  }
};

replacing_file::replacing_file(const std::string& path) : state_(new state(path)) {}

replacing_file::~replacing_file() { state_->discard(); }

std::ostream& replacing_file::out() { return state_->stream; }

const std::string& replacing_file::path() const { return state_->target; }

const std::string& replacing_file::error() const { return state_->error; }

bool replacing_file::commit() {
  state& s = *state_;
  if (s.fd < 0) {
    s.fail("the file was not created");
    s.discard();
    return false;
  }
  s.stream.flush();
  if (!s.stream) s.fail("a write failed");
  if (s.error.empty() && ::fsync(s.fd) != 0) s.fail(std::strerror(errno));
  // close reports what a delayed write could not store.
  const int closed = ::close(s.fd);
  s.fd = -1;
  if (s.error.empty() && closed != 0) s.fail(std::strerror(errno));
  if (s.error.empty() && ::rename(s.temp_path.c_str(), s.target.c_str()) != 0) s.fail(std::strerror(errno));
  if (!s.error.empty()) {
    s.discard();
    return false;
  }
  s.temp_path.clear();
  return true;
}

bool replace_file_contents(const std::string& path, const std::string& bytes, std::string* why) {
  replacing_file file(path);
  file.out().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const bool written = file.commit();
  if (why) *why = file.error();
  return written;
}
