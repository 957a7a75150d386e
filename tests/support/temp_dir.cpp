#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace twinbook::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "twinbook-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("Cannot create a temporary folder");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // A test may have taken permissions away; give them back so it can go.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("Cannot read " + path);
  }
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) {
    throw std::runtime_error("Cannot write " + path);
  }
}

std::vector<std::string> ReadCrLfLines(const std::string& path) {
  std::string content = ReadFile(path);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find("\r\n", start);
    if (end == std::string::npos) {
      throw std::runtime_error(path + " does not end with CR LF");
    }
    std::string line = content.substr(start, end - start);
    if (line.find('\n') != std::string::npos) {
      throw std::runtime_error(path + " has a line ended by a bare LF: " + line);
    }
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

std::filesystem::path SourceDir() {
  const char* dir = std::getenv("TWINBOOK_SOURCE_DIR");
  if (dir == nullptr) {
    throw std::runtime_error("TWINBOOK_SOURCE_DIR is not set; run the tests through ctest");
  }
  return dir;
}

}  // namespace twinbook::testing
