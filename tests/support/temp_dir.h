#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace twinbook::testing {

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The whole content of a file; throws when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes `content` to `path`, replacing it.
void WriteFile(const std::string& path, const std::string& content);
// The lines of a CR LF text file, without their ends. Fails the calling test
// (by throwing) when a line ends in a bare LF.
std::vector<std::string> ReadCrLfLines(const std::string& path);

// The source tree, for fixtures and schemas.
std::filesystem::path SourceDir();

}  // namespace twinbook::testing
