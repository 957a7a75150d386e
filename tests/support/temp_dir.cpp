#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace twinbook::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "twinbook-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("Cannot create a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  namespace fs = std::filesystem;
  std::error_code ignored;
  // A test may have taken permissions away; give them back so it can go.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored))
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("Cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out)
    throw std::runtime_error("Cannot write " + path);
}

std::vector<std::string> ReadCrLfLines(const std::string& path) {
  const std::string content = ReadFile(path);
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < content.size(); start = end + 2) {
    end = content.find("\r\n", start);
    if (end == std::string::npos)
      throw std::runtime_error(path + " does not end with CR LF");
    if (lines.emplace_back(content.substr(start, end - start)).find('\n') != std::string::npos)
      throw std::runtime_error(path + " has a line ended by a bare LF: " + lines.back());
  }
  return lines;
}

std::filesystem::path SourceDir() {
  const char* dir = std::getenv("TWINBOOK_SOURCE_DIR");
  if (dir == nullptr)
    throw std::runtime_error("TWINBOOK_SOURCE_DIR is not set; run the tests through ctest");
  return dir;
}

}  // namespace twinbook::testing
