#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace twinbook {

// Thrown by every file operation that fails. The message names the file or
// folder in full and says what went wrong.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A lock held on a file until this object is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// The plain file operations that the backups, the undo of a run and the
// one-run-at-a-time lock need, beside the two stores' own interfaces. Paths
// are taken as written; every failure throws FileError naming the path.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True when something (a file, a folder, a link) has that name.
  virtual bool Exists(const std::string& path) = 0;
  // The names in `folder`, in byte order, "." and ".." left out; empty when
  // the folder does not exist.
  virtual std::vector<std::string> List(const std::string& folder) = 0;
  // The whole content of the file.
  virtual std::string Read(const std::string& path) = 0;

  // Makes the folder and any missing parents; an existing folder is fine.
  virtual void MakeFolder(const std::string& path) = 0;
  // Writes `content` to a temporary file beside `path` and renames it over
  // `path`, so a crash leaves the old file or the new one, never half of
  // one. A file replaced keeps its permissions.
  virtual void Write(const std::string& path, std::string_view content) = 0;
  // Adds `text` at the end of the file, made when missing.
  virtual void Append(const std::string& path, std::string_view text) = 0;
  // Renames `from` to `to` in one step; never replaces anything: an
  // existing `to` is an error and both stay as they were.
  virtual void Move(const std::string& from, const std::string& to) = 0;
  // Moves the file `path` into the folder `folder` (made when missing) under
  // its own name or, when that is taken, name-2, name-3 ...: nothing there is
  // ever replaced. Returns the name it got in `folder`.
  virtual std::string MoveIntoFolder(const std::string& path, const std::string& folder) = 0;
  // Removes the file, or the folder with everything in it; nothing there is
  // fine.
  virtual void RemoveAll(const std::string& path) = 0;

  // Takes the lock file `path` for this process: nullptr when another
  // process holds it. A lock left by a process that has ended is taken
  // over. Throws FileError when the lock file cannot be made.
  virtual std::unique_ptr<FileLock> TryLock(const std::string& path) = 0;
};

}  // namespace twinbook
