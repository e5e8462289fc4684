#include "support/other_user.h"

#include <cerrno>
#include <cstring>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fixtures {

namespace {

// Groups first: after setuid the process may no longer change them.
bool drop_privileges() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(unprivileged_gid) == 0 && ::setuid(unprivileged_uid) == 0 &&
         ::geteuid() == unprivileged_uid;
}

void write_all(int fd, const std::string& text) {
  const char* p = text.data();
  std::size_t n = text.size();
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

}  // namespace

bool can_act_as_other_user() { return ::geteuid() == 0; }

std::string as_unprivileged_user(const std::function<std::string()>& work) {
  int fds[2];
  if (::pipe(fds) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return "";
  }
  const pid_t child = ::fork();
  if (child < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return "";
  }
  if (child == 0) {
    ::close(fds[0]);
    if (!drop_privileges()) ::_exit(2);
    write_all(fds[1], work());
    ::close(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t r = ::read(fds[0], buffer, sizeof buffer);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    text.append(buffer, static_cast<std::size_t>(r));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the child as the unprivileged user failed (2: it could not drop to that user), status " << status;
  return text;
}

void give_to(const std::string& path, uid_t uid, gid_t gid) {
  EXPECT_EQ(::lchown(path.c_str(), uid, gid), 0) << path << ": " << std::strerror(errno);
}

}  // namespace fixtures
