#include "support/small_disk.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fixtures {

namespace {

const char* const filler_name = ".filler";

// A mount namespace for this thread, kept private so that nothing mounted in it reaches
// the rest of the machine. Once per thread: later calls find it already made.
bool private_mount_namespace() {
  static thread_local int made = -1;
  if (made < 0)
    made = ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  return made == 1;
}

rlimit original_file_size_limit() {
  static const rlimit original = [] {
    rlimit r{};
    ::getrlimit(RLIMIT_FSIZE, &r);
    return r;
  }();
  return original;
}

}  // namespace

small_disk::small_disk(const std::string& name, std::size_t bytes)
    : folder_(std::filesystem::path(testing::TempDir()) / (name + "_" + std::to_string(::getpid()))) {
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(folder_);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  mounted_ = private_mount_namespace() &&
             ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  if (!mounted_)
    std::cerr << "small_disk: no tmpfs (" << std::strerror(errno) << "); file-size limit instead" << std::endl;
}

small_disk::~small_disk() {
  empty();
  if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

void small_disk::fill(std::size_t room_bytes) {
  if (!mounted_) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit r = original_file_size_limit();
    r.rlim_cur = static_cast<rlim_t>(room_bytes);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &r), 0) << std::strerror(errno);
    limited_ = true;
    return;
  }
  const std::string filler = (folder_ / filler_name).string();
  const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << filler << ": " << std::strerror(errno);
  const std::vector<char> block(1 << 16, 'x');
  // Smaller and smaller blocks until not one byte more fits.
  for (std::size_t n = block.size(); n > 0;) {
    const ssize_t w = ::write(fd, block.data(), n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) n /= 2;
  }
  ::close(fd);
}

void small_disk::empty() {
  if (limited_) {
    const rlimit r = original_file_size_limit();
    ::setrlimit(RLIMIT_FSIZE, &r);
    limited_ = false;
  }
  std::error_code ec;
  if (mounted_) std::filesystem::remove(folder_ / filler_name, ec);
}

}  // namespace fixtures
