#include "platform/qt/qt_file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLockFile>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "platform/contacts_folder.h"
#include "platform/vcard/vcard_files.h"

namespace twinbook {

namespace {

std::string ErrorText(int error) {
  return std::strerror(error);
}

std::string ErrorText(const std::error_code& error) {
  return error.message();
}

// The folder part of `path` ("." for a bare name) and the name part.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return {".", path};
  }
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Renames without ever replacing: false when `to` exists already.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno == EEXIST) {
    return false;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    throw FileError("Cannot move " + from + " to " + to + ": " + ErrorText(errno));
  }
  // A file system without RENAME_NOREPLACE: a hard link fails on an
  // existing name just as well.
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) {
      return false;
    }
    throw FileError("Cannot move " + from + " to " + to + ": " + ErrorText(errno));
  }
  if (::unlink(from.c_str()) != 0) {
    throw FileError("Cannot move " + from + " to " + to + ": " + ErrorText(errno));
  }
  return true;
}

class QtFileLock : public FileLock {
 public:
  explicit QtFileLock(std::unique_ptr<QLockFile> lock) : lock_(std::move(lock)) {}

 private:
  std::unique_ptr<QLockFile> lock_;  // unlocks when destroyed
};

}  // namespace

bool LocalFileSystem::Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> LocalFileSystem::List(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  if (error == std::errc::no_such_file_or_directory) {
    return names;
  }
  if (error) {
    throw FileError("Cannot list " + folder + ": " + ErrorText(error));
  }
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  if (error) {
    throw FileError("Cannot list " + folder + ": " + ErrorText(error));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string LocalFileSystem::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw FileError("Cannot read " + path + ": " + ErrorText(errno));
  }
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    throw FileError("Cannot read " + path + ": " + ErrorText(errno));
  }
  return content;
}

void LocalFileSystem::MakeFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) {
    throw FileError("Cannot make the folder " + path + ": " + ErrorText(error));
  }
}

void LocalFileSystem::Write(const std::string& path, std::string_view content) {
  // The very routine that saves cards, so a card put back is written as
  // safely as one saved, and a temporary file a crash leaves behind is
  // cleared the same way.
  struct stat old {};
  std::optional<mode_t> mode;
  if (::stat(path.c_str(), &old) == 0) {
    mode = old.st_mode;
  }
  try {
    vcard::WriteFileAtomically(path, content, true, mode, random_, path);
  } catch (const ContactsError& error) {
    throw FileError(error.what());
  }
}

void LocalFileSystem::Append(const std::string& path, std::string_view text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    throw FileError("Cannot write " + path + ": " + ErrorText(errno));
  }
  size_t done = 0;
  int failure = 0;
  while (done < text.size() && failure == 0) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n >= 0) {
      done += static_cast<size_t>(n);
    } else if (errno != EINTR) {
      failure = errno;
    }
  }
  if (::close(fd) != 0 && failure == 0) {
    failure = errno;
  }
  if (failure != 0) {
    throw FileError("Cannot write " + path + ": " + ErrorText(failure));
  }
}

void LocalFileSystem::Move(const std::string& from, const std::string& to) {
  if (!RenameNoReplace(from, to)) {
    throw FileError("Cannot move " + from + " to " + to + ": " + to + " exists already");
  }
}

std::string LocalFileSystem::MoveIntoFolder(const std::string& path, const std::string& folder) {
  MakeFolder(folder);
  const std::string name = SplitPath(path).second;
  const size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  for (int n = 1; n <= 100000; ++n) {
    const std::string given = n == 1 ? name : stem + "-" + std::to_string(n) + extension;
    if (RenameNoReplace(path, folder + "/" + given)) {
      return given;
    }
  }
  throw FileError("Cannot move " + path + " into " + folder + ": it holds too many copies of it");
}

void LocalFileSystem::RemoveAll(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  if (error) {
    throw FileError("Cannot remove " + path + ": " + ErrorText(error));
  }
}

std::unique_ptr<FileLock> LocalFileSystem::TryLock(const std::string& path) {
  auto lock = std::make_unique<QLockFile>(QString::fromStdString(path));
  // A run may wait for the PhoneBook Manager for hours: its lock must never
  // go stale by age, only when its process has ended.
  lock->setStaleLockTime(0);
  if (lock->tryLock(0)) {
    return std::make_unique<QtFileLock>(std::move(lock));
  }
  if (lock->error() == QLockFile::LockFailedError) {
    return nullptr;
  }
  throw FileError(
      "Cannot make the lock file " + path +
      (lock->error() == QLockFile::PermissionError ? ": permission denied" : ": an unknown error"));
}

}  // namespace twinbook
