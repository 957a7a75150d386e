#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

// The file operations of the vCard folder, on POSIX calls. Every failure is a
// ContactsError naming the file as the caller shows it (`shown`).
namespace twinbook::vcard {

// What tells one version of a file from another without reading it: a file
// rewritten in place or replaced differs in at least one of these.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;

  bool operator==(const FileIdentity&) const = default;
};

struct FileState {
  FileIdentity identity;
  mode_t mode = 0;
};

// The state of the file at `path` (links followed), relative to the folder
// open as the descriptor `folder` (AT_FDCWD: to the working folder);
// nullopt when there is no such file.
std::optional<FileState> StatFile(int folder, const std::string& path);
inline std::optional<FileState> StatFile(const std::string& path) {
  return StatFile(AT_FDCWD, path);
}

// The state of the entry `name` of the folder open as the descriptor
// `folder`: a link itself, not what it leads to. nullopt, with errno set,
// when it cannot be had. Cheaper than a path from the root for every file.
std::optional<FileState> StatEntry(int folder, const std::string& name);

// Reads the whole file with the identity of what was read: the file at
// `path`, relative to the folder open as the descriptor `folder`
// (AT_FDCWD: to the working folder).
struct FileContent {
  std::string bytes;
  FileState state;
};
FileContent ReadWholeFile(int folder, const std::string& path, const std::string& shown);
inline FileContent ReadWholeFile(const std::string& path, const std::string& shown) {
  return ReadWholeFile(AT_FDCWD, path, shown);
}

// Writes `content` to a new hidden temporary file beside `target` and renames
// it to `target`, so that a crash leaves either the old file or the new one,
// and no reader ever sees half a card. With `replace` false an existing
// `target` is never replaced: the call returns false and leaves no trace.
// `mode`, when given, becomes the new file's permissions (those of the file
// it replaces); otherwise the process's umask decides. A file that replaces
// nothing is written without a name and linked in once complete, where the
// file system can (O_TMPFILE), which spares making and removing a temporary
// name and leaves nothing behind after a crash. `target` is relative
// to the folder open as the descriptor `folder` (AT_FDCWD: to the working
// folder).
bool WriteFileAtomically(int folder, const std::string& target, std::string_view content,
                         bool replace, std::optional<mode_t> mode, std::mt19937_64& random,
                         const std::string& shown);
inline bool WriteFileAtomically(const std::string& target, std::string_view content, bool replace,
                                std::optional<mode_t> mode, std::mt19937_64& random,
                                const std::string& shown) {
  return WriteFileAtomically(AT_FDCWD, target, content, replace, mode, random, shown);
}

// Gives the file `path` (relative to the folder open as the descriptor
// `folder`; `mode`: its state's mode) the further name `keepAs` (relative to
// the working folder): a hard link, which copies nothing and keeps the file
// as it now is for as long as it is only ever replaced, never written into,
// as WriteFileAtomically does. Where no link can be made (another file
// system, one without hard links, a file that is not a plain file), writes
// a copy there, with the same permissions. A `keepAs` that exists already
// is left as it is: what was kept there first stays. Throws ContactsError
// naming `shown`, the file as messages name it, when neither can be done.
void KeepFileAs(int folder, const std::string& path, mode_t mode, const std::string& keepAs,
                std::mt19937_64& random, const std::string& shown);

// Removes the entry `name` of the folder open as the descriptor `folder`
// when it is a temporary file that WriteFileAtomically made and a killed
// process left behind: named as those files are, a plain file, and unchanged
// for an hour, far longer than any save takes. True when removed; anything
// else, and any failure, leaves the entry alone.
bool RemoveLeftoverTemporary(int folder, const std::string& name);

// Moves the entry `name` of `folder` into `folder`/`subfolder` (made when
// missing), under its own name or, when that is taken, under name-2, name-3
// ...: nothing already there is ever replaced. A link is moved as the link.
void MoveIntoSubfolder(const std::string& folder, const std::string& name,
                       const std::string& subfolder, const std::string& shown);

// A random identifier in the form of a UUID (version 4).
std::string NewUid(std::mt19937_64& random);

}  // namespace twinbook::vcard
