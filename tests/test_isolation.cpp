// Linked into every test program: after each test, a check that it left the process as it found
// it (the same environment variables, the same working folder, none of its scratch folders
// behind). A test that leaks one of these makes the tests after it depend on their order.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "test_files.h"

extern char** environ;

namespace {

std::map<std::string, std::string> environment() {
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    vars[entry.substr(0, eq)] = eq == std::string::npos ? "" : entry.substr(eq + 1);
  }
  return vars;
}

// A variable's value for the message; absent ones say so.
std::string shown(const std::map<std::string, std::string>& vars, const std::string& name) {
  auto it = vars.find(name);
  return it == vars.end() ? "(unset)" : "\"" + it->second + "\"";
}

class IsolationCheck : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    environment_ = environment();
    std::error_code ec;
    folder_ = std::filesystem::current_path(ec);
    ScratchFolder::made().clear();
  }

  // Runs before the result is printed, so that what it adds counts against the test.
  void OnTestEnd(const ::testing::TestInfo&) override {
    std::map<std::string, std::string> now = environment();
    std::map<std::string, std::string> both = environment_;
    both.insert(now.begin(), now.end());
    for (const auto& [name, value] : both)
      if (shown(environment_, name) != shown(now, name))
        ADD_FAILURE() << "the test changed the environment variable " << name << " from "
                      << shown(environment_, name) << " to " << shown(now, name);
    std::error_code ec;
    if (std::filesystem::current_path(ec) != folder_)
      ADD_FAILURE() << "the test left the working folder at " << std::filesystem::current_path(ec) << ", not "
                    << folder_;
    for (const std::filesystem::path& folder : ScratchFolder::made())
      if (std::filesystem::exists(folder, ec)) ADD_FAILURE() << "the test left its scratch folder " << folder;
  }

  std::map<std::string, std::string> environment_;
  std::filesystem::path folder_;
};

const bool installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new IsolationCheck);
  return true;
}();

}  // namespace
