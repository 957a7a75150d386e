#pragma once

#include <random>

#include "platform/file_system.h"

namespace twinbook {

// The file system of this machine through POSIX calls, and locks through
// QLockFile, which also takes over a lock left behind by a process that has
// ended (on this host).
class LocalFileSystem : public FileSystem {
 public:
  bool Exists(const std::string& path) override;
  std::vector<std::string> List(const std::string& folder) override;
  std::string Read(const std::string& path) override;
  void MakeFolder(const std::string& path) override;
  void Write(const std::string& path, std::string_view content) override;
  void Append(const std::string& path, std::string_view text) override;
  void Move(const std::string& from, const std::string& to) override;
  std::string MoveIntoFolder(const std::string& path, const std::string& folder) override;
  void RemoveAll(const std::string& path) override;
  std::unique_ptr<FileLock> TryLock(const std::string& path) override;

 private:
  std::mt19937_64 random_{std::random_device{}()};
};

}  // namespace twinbook
