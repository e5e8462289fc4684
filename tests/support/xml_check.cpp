#include "support/xml_check.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace {

std::string read_all(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

testing::AssertionResult is_well_formed_xml_file(const std::string& path) {
  const std::string log = path + ".xmllint.log";
  const std::string command = "xmllint --noout '" + path + "' > '" + log + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::string messages = read_all(log);
  std::remove(log.c_str());
  if (status == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "xmllint rejects " << path << " (status " << status
                                     << "):\n" << messages;
}

testing::AssertionResult is_well_formed_xml_text(const std::string& text) {
  char name[] = "/tmp/vt_xml_check_XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return testing::AssertionFailure() << "cannot create a temporary file";
  close(fd);
  {
    std::ofstream out(name);
    out << text;
  }
  testing::AssertionResult result = is_well_formed_xml_file(name);
  if (!result) result << "\ntext:\n" << text;
  std::remove(name);
  return result;
}
