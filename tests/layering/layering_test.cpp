// Every #include of a subsystem's header in src/ must name the subsystem itself or one that it may
// use, by the one table of the layering (src/CMakeLists.txt, written by the build to
// layering.txt); main.cpp may use the driver only. The build refuses such an include already
// (each library sees only the folders it may use); this test names every one that climbs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace tickcheck {
namespace {

namespace fs = std::filesystem;

// Subsystem -> the subsystems it may use, itself included.
std::map<std::string, std::set<std::string>> Layering() {
  std::map<std::string, std::set<std::string>> allowed;
  std::ifstream in(LAYERING_FILE);
  std::string line;
  while (std::getline(in, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
      continue;
    const std::string folder = line.substr(0, colon);
    std::istringstream uses(line.substr(colon + 1));
    std::set<std::string>& set = allowed[folder];
    set.insert(folder);
    for (std::string used; uses >> used;)
      set.insert(used);
  }
  return allowed;
}

TEST(LayeringTest, NoIncludeClimbsTheLayering) {
  const std::map<std::string, std::set<std::string>> allowed = Layering();
  ASSERT_FALSE(allowed.empty()) << "no layering table at " << LAYERING_FILE;
  std::map<std::string, std::set<std::string>> sources = allowed;
  sources["main.cpp"] = {"driver"};
  const std::regex include("^\\s*#\\s*include\\s*\"([a-z_]+)/[^\"]+\"");
  int checked = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(SOURCE_DIR)) {
    if (!entry.is_regular_file())
      continue;
    const std::string extension = entry.path().extension().string();
    if (extension != ".h" && extension != ".cpp")
      continue;
    const fs::path relative = fs::relative(entry.path(), SOURCE_DIR);
    const std::string owner = relative.begin()->string();
    const auto rule = sources.find(owner);
    ASSERT_NE(rule, sources.end()) << relative << " lies in no subsystem of the layering";
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch match;
      if (!std::regex_search(line, match, include))
        continue;
      ++checked;
      EXPECT_TRUE(rule->second.count(match[1].str()) != 0)
          << relative.string() << ":" << number << " includes " << match[1] << "/, which " << owner
          << " may not use";
    }
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace tickcheck
