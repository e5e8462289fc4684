#pragma once
// Work done as a user who owns none of the test's files. The tests run as root, whom no
// permission stops; the child process drops to the unprivileged user "nobody".

#include <functional>
#include <string>

#include <sys/types.h>

namespace fixtures {

constexpr uid_t unprivileged_uid = 65534;  // nobody
constexpr gid_t unprivileged_gid = 65534;  // nogroup

// Whether this process may act as another user (only root may).
bool can_act_as_other_user();

// Runs `work` in a forked child that has dropped to the unprivileged user and returns
// the text it returned. A child that cannot drop, or dies, fails the calling test.
std::string as_unprivileged_user(const std::function<std::string()>& work);

// Gives `path` (not followed when a link) to the user and group.
void give_to(const std::string& path, uid_t uid, gid_t gid);

}  // namespace fixtures
