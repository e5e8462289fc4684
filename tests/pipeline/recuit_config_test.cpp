#include "pipeline/recuit_config.h"

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

std::string write_temp(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + std::to_string(::getpid()) + "_" + name;
  std::ofstream(path) << text;
  return path;
}

TEST(RecuitConfig, ShippedFilesAreComplete) {
  testing::internal::CaptureStderr();
  read_recuit_config();
  read_recuit_v2_config();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(RecuitConfig, ValuesInOrderAndDefaultsForWhatIsMissing) {
  const recuit_config d;
  struct row {
    std::string text;
    recuit_config expected;
    bool reported;
  };
  const std::vector<row> rows = {
      {"label 500 2.5 0.99 0.75 0.2\n", {500, 2.5f, 0.99f, 0.75f, 0.2f}, false},
      {"label 500 2.5\n", {500, 2.5f, d.dt, d.lambda, d.mu}, true},
      {"label 500 x 0.5 0.5 0.5", {500, d.T, d.dt, d.lambda, d.mu}, true},
      {"", d, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.text);
    testing::internal::CaptureStderr();
    const recuit_config c = read_recuit_config(write_temp("recuit.conf", r.text));
    EXPECT_EQ(!testing::internal::GetCapturedStderr().empty(), r.reported);
    EXPECT_EQ(c.nb_it, r.expected.nb_it);
    EXPECT_EQ(c.T, r.expected.T);
    EXPECT_EQ(c.dt, r.expected.dt);
    EXPECT_EQ(c.lambda, r.expected.lambda);
    EXPECT_EQ(c.mu, r.expected.mu);
  }

  const recuit_v2_config d2;
  testing::internal::CaptureStderr();
  const recuit_v2_config c2 = read_recuit_v2_config(write_temp("recuit_v2.conf", "2 0.01"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("mu"), std::string::npos);
  EXPECT_EQ(c2.Ti, 2.0f);
  EXPECT_EQ(c2.T_final, 0.01f);
  EXPECT_EQ(c2.mu, d2.mu);

  testing::internal::CaptureStderr();
  const recuit_v2_config missing = read_recuit_v2_config(testing::TempDir() + "no_such.conf");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot open"), std::string::npos);
  EXPECT_EQ(missing.Ti, d2.Ti);
  EXPECT_EQ(missing.T_final, d2.T_final);
}

}  // namespace
