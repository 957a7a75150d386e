#include "platform/vcard/vcard_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/contacts_folder.h"

namespace twinbook::vcard {

namespace {

std::string ErrorText(int error) {
  return std::strerror(error);
}

FileState StateOf(const struct stat& st) {
  FileState state;
  state.identity.device = static_cast<std::uint64_t>(st.st_dev);
  state.identity.inode = static_cast<std::uint64_t>(st.st_ino);
  state.identity.size = static_cast<std::int64_t>(st.st_size);
  state.identity.modifiedNs =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  state.identity.changedNs =
      static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  state.mode = st.st_mode;
  return state;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  // Closes now, reporting the error a delayed write may only show here.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
 public:
  TemporaryFile(int folder, std::string path) : folder_(folder), path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) {
      ::unlinkat(folder_, path_.c_str(), 0);
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  int folder_;
  std::string path_;
};

constexpr std::string_view kTemporaryPrefix = ".twinbook-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr int kTemporaryDigits = 16;

std::string RandomHex(std::mt19937_64& random, int digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  std::uint64_t bits = 0;
  for (int i = 0; i < digits; ++i) {
    if (i % 16 == 0) {
      bits = random();
    }
    out += kHex[bits & 0xF];
    bits >>= 4;
  }
  return out;
}

// rename() that never replaces: false when `to` exists. Both are relative
// to the folder open as `folder`.
bool RenameNoReplace(int folder, const std::string& from, const std::string& to,
                     const std::string& shown) {
  if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno == EEXIST) {
    return false;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
    throw ContactsError("Cannot move " + shown + ": " + ErrorText(errno));
  }
  // A file system without RENAME_NOREPLACE: a hard link fails on an
  // existing name just the same.
  if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) {
    if (errno == EEXIST) {
      return false;
    }
    throw ContactsError("Cannot move " + shown + ": " + ErrorText(errno));
  }
  ::unlinkat(folder, from.c_str(), 0);
  return true;
}

void WriteAll(int fd, std::string_view content, const std::string& shown) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw ContactsError("Cannot write contact card " + shown + ": " + ErrorText(errno));
    }
    done += static_cast<size_t>(n);
  }
}

// A new file written without a name and given its name only when complete
// (O_TMPFILE): like a temporary file renamed into place, nothing half
// written is ever seen, but there is no temporary name to make and remove,
// and a crash leaves nothing behind. True when linked, false when `target`
// exists; nothing when the file system or the system cannot do this, and
// the caller should use a temporary file instead.
std::optional<bool> LinkNewFile(int folder, const std::string& target, std::string_view content,
                                std::optional<mode_t> mode, const std::string& shown) {
  const size_t slash = target.rfind('/');
  const std::string beside = slash == std::string::npos ? "." : target.substr(0, slash);
  FileDescriptor file(::openat(folder, beside.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666));
  if (file.get() < 0) {
    return std::nullopt;  // EOPNOTSUPP, EISDIR or EINVAL: no such files here
  }
  if (mode && ::fchmod(file.get(), *mode & 07777) != 0) {
    throw ContactsError("Cannot write contact card " + shown + ": " + ErrorText(errno));
  }
  WriteAll(file.get(), content, shown);
  // Linking the descriptor itself (AT_EMPTY_PATH) takes a privilege; its
  // name below /proc does not, and fails on an existing name just the same.
  const std::string self = "/proc/self/fd/" + std::to_string(file.get());
  if (::linkat(AT_FDCWD, self.c_str(), folder, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    if (errno == EEXIST) {
      return false;
    }
    if (errno == ENOENT) {
      return std::nullopt;  // no /proc
    }
    throw ContactsError("Cannot write contact card " + shown + ": " + ErrorText(errno));
  }
  if (file.Close() != 0) {
    throw ContactsError("Cannot write contact card " + shown + ": " + ErrorText(errno));
  }
  return true;
}

}  // namespace

std::optional<FileState> StatFile(int folder, const std::string& path) {
  struct stat st {};
  if (::fstatat(folder, path.c_str(), &st, 0) != 0) {
    return std::nullopt;
  }
  return StateOf(st);
}

std::optional<FileState> StatEntry(int folder, const std::string& name) {
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::nullopt;
  }
  return StateOf(st);
}

FileContent ReadWholeFile(int folder, const std::string& path, const std::string& shown) {
  FileDescriptor fd(::openat(folder, path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    throw ContactsError("Cannot read contact card " + shown + ": " + ErrorText(errno));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    throw ContactsError("Cannot read contact card " + shown + ": " + ErrorText(errno));
  }
  FileContent content;
  content.state = StateOf(st);
  // One byte more than the file holds, so that the read that finds the end
  // needs no larger buffer.
  content.bytes.resize(static_cast<size_t>(st.st_size > 0 ? st.st_size : 0) + 1);
  size_t done = 0;
  for (;;) {
    if (done == content.bytes.size()) {
      content.bytes.resize(done + 4096);  // the file may have grown
    }
    const ssize_t n = ::read(fd.get(), content.bytes.data() + done, content.bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw ContactsError("Cannot read contact card " + shown + ": " + ErrorText(errno));
    }
    if (n == 0) {
      break;
    }
    done += static_cast<size_t>(n);
  }
  content.bytes.resize(done);
  return content;
}

bool WriteFileAtomically(int folder, const std::string& target, std::string_view content,
                         bool replace, std::optional<mode_t> mode, std::mt19937_64& random,
                         const std::string& shown) {
  if (!replace) {
    if (const std::optional<bool> linked = LinkNewFile(folder, target, content, mode, shown)) {
      return *linked;
    }
  }
  const size_t slash = target.rfind('/');
  const std::string beside = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  int fd = -1;
  std::string temporary;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary = beside + std::string(kTemporaryPrefix) + RandomHex(random, kTemporaryDigits) +
                std::string(kTemporarySuffix);
    fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt > 100)) {
      throw ContactsError("Cannot write contact card " + shown + ": " + ErrorText(errno));
    }
  }
  TemporaryFile temporaryFile(folder, temporary);
  FileDescriptor file(fd);
  if (mode && ::fchmod(file.get(), *mode & 07777) != 0) {
    throw ContactsError("Cannot write contact card " + shown + ": " + ErrorText(errno));
  }
  WriteAll(file.get(), content, shown);
  if (file.Close() != 0) {
    throw ContactsError("Cannot write contact card " + shown + ": " + ErrorText(errno));
  }
  if (replace) {
    if (::renameat(folder, temporary.c_str(), folder, target.c_str()) != 0) {
      throw ContactsError("Cannot write contact card " + shown + ": " + ErrorText(errno));
    }
  } else if (!RenameNoReplace(folder, temporary, target, shown)) {
    return false;
  }
  temporaryFile.Release();
  return true;
}

void KeepFileAs(int folder, const std::string& path, mode_t mode, const std::string& keepAs,
                std::mt19937_64& random, const std::string& shown) {
  if (S_ISREG(mode)) {
    if (::linkat(folder, path.c_str(), AT_FDCWD, keepAs.c_str(), 0) == 0 || errno == EEXIST) {
      return;
    }
  }
  try {
    const FileContent content = ReadWholeFile(folder, path, shown);
    WriteFileAtomically(AT_FDCWD, keepAs, content.bytes, false, mode, random, keepAs);
  } catch (const ContactsError& error) {
    throw ContactsError("Cannot back up contact card " + shown + ": " + error.what());
  }
}

bool RemoveLeftoverTemporary(int folder, const std::string& name) {
  const std::string_view view = name;
  if (view.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() ||
      !view.starts_with(kTemporaryPrefix) || !view.ends_with(kTemporarySuffix)) {
    return false;
  }
  const std::string_view digits = view.substr(kTemporaryPrefix.size(), kTemporaryDigits);
  if (digits.find_first_not_of("0123456789abcdef") != std::string_view::npos) {
    return false;
  }
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  constexpr std::time_t kHour = 60 * 60;
  if (std::time(nullptr) - st.st_mtime < kHour) {
    return false;  // perhaps a save still under way in another process
  }
  return ::unlinkat(folder, name.c_str(), 0) == 0;
}

void MoveIntoSubfolder(const std::string& folder, const std::string& name,
                       const std::string& subfolder, const std::string& shown) {
  const std::string into = folder + "/" + subfolder;
  if (::mkdir(into.c_str(), 0700) != 0 && errno != EEXIST) {
    throw ContactsError("Cannot delete " + shown + ": cannot make " + into + ": " +
                        ErrorText(errno));
  }
  struct stat st {};
  if (::lstat(into.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    throw ContactsError("Cannot delete " + shown + ": " + into + " is not a folder");
  }
  const size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  for (int n = 1;; ++n) {
    const std::string target =
        into + "/" + (n == 1 ? name : stem + "-" + std::to_string(n) + extension);
    if (RenameNoReplace(AT_FDCWD, folder + "/" + name, target, shown)) {
      return;
    }
    if (n > 100000) {
      throw ContactsError("Cannot delete " + shown + ": " + into + " holds too many copies of it");
    }
  }
}

std::string NewUid(std::mt19937_64& random) {
  std::string hex = RandomHex(random, 32);
  hex[12] = '4';                   // version 4: random
  hex[16] = "89ab"[random() & 3];  // the RFC 4122 variant
  return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
         hex.substr(16, 4) + "-" + hex.substr(20);
}

}  // namespace twinbook::vcard
