#include "hostile/hostile_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/start_sync.h"

namespace twinbook::testing {

namespace fs = std::filesystem;

namespace {

// The capabilities that let root past permission bits.
constexpr int kBypassCapabilities[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

struct Capabilities {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

// The raw calls act on the calling thread only, which is what a run uses.
bool GetCapabilities(Capabilities& caps) {
  return ::syscall(SYS_capget, &caps.header, caps.data) == 0;
}

bool SetCapabilities(Capabilities& caps) {
  return ::syscall(SYS_capset, &caps.header, caps.data) == 0;
}

// Whether this thread may write a file that is read-only to everybody.
bool CanWriteReadOnlyFile() {
  TempDir dir;
  const std::string probe = dir / "probe";
  WriteFile(probe, "x");
  fs::permissions(probe, fs::perms::owner_read);
  const int fd = ::open(probe.c_str(), O_WRONLY);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  return false;
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

 private:
  int fd_;
};

// Every row of every table of the database at `path`, in stored order, with
// each value's type.
std::string DumpDatabase(const std::string& path) {
  std::string dump;
  for (const auto& table :
       QueryRows(path, "SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name")) {
    dump += "table " + table[0].text + "\n";
    for (const auto& row :
         QueryRows(path, "SELECT * FROM \"" + table[0].text + "\" ORDER BY rowid")) {
      for (const SqlValue& value : row) {
        dump += std::to_string(value.type) + ":" + value.text + "|";
      }
      dump += "\n";
    }
  }
  return dump;
}

}  // namespace

PermissionBitsBind::PermissionBitsBind() {
  Capabilities caps;
  if (GetCapabilities(caps)) {
    for (int cap : kBypassCapabilities) {
      __u32& effective = caps.data[CAP_TO_INDEX(cap)].effective;
      if (effective & CAP_TO_MASK(cap)) {
        dropped_ = true;
        effective &= ~CAP_TO_MASK(cap);
      }
    }
    if (dropped_ && !SetCapabilities(caps)) {
      dropped_ = false;
    }
  }
  if (CanWriteReadOnlyFile()) {
    Restore();
    throw CaseSkipped(
        "permission bits do not bind this process, not even without "
        "CAP_DAC_OVERRIDE");
  }
}

PermissionBitsBind::~PermissionBitsBind() {
  Restore();
}

void PermissionBitsBind::Restore() {
  if (!dropped_) {
    return;
  }
  dropped_ = false;
  Capabilities caps;
  if (GetCapabilities(caps)) {
    for (int cap : kBypassCapabilities) {
      // Raised from the permitted set, where dropping left them.
      caps.data[CAP_TO_INDEX(cap)].effective |=
          caps.data[CAP_TO_INDEX(cap)].permitted & CAP_TO_MASK(cap);
    }
    SetCapabilities(caps);
  }
}

void SetImmutable(const std::string& path, bool immutable) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK));
  int flags = 0;
  if (fd.get() < 0 || ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) {
    throw CaseSkipped("cannot read the attributes of " + path + ": " + std::strerror(errno));
  }
  flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  if (::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) != 0) {
    throw CaseSkipped("cannot mark " + path + " immutable (chattr +i): " + std::strerror(errno));
  }
}

Scene::Scene() = default;

Scene::~Scene() {
  for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
    try {
      (*it)();
    } catch (const std::exception& error) {
      ADD_FAILURE() << "cannot undo a case's change: " << error.what();
    }
  }
}

void Scene::Run() {
  StartSync(context);
}

std::map<std::string, std::string> Scene::StoreSnapshot() const {
  std::map<std::string, std::string> snapshot = files.Snapshot();
  snapshot.erase("SyncLog.txt");
  return snapshot;
}

std::map<std::string, std::string> Scene::StoreContent() const {
  std::map<std::string, std::string> content;
  for (auto& [file, bytes] : StoreSnapshot()) {
    const bool database = file.size() > 4 && file.compare(file.size() - 4, 4, ".mdb") == 0;
    const bool journal = file.find(".mdb-") != std::string::npos;
    if (database) {
      content[file] = DumpDatabase(files.data + "/" + file);
    } else if (!journal) {
      content[file] = std::move(bytes);
    }
  }
  return content;
}

void ExpectGoodOutcome(const StoreFiles& files) {
  const std::map<std::string, CardView> cards = CardsByFileAs(files);
  ASSERT_EQ(cards.count("Lee, Ann"), 1u);
  ASSERT_EQ(cards.count("Ray, Bob"), 1u);
  ASSERT_EQ(cards.count("Cole, Cy"), 1u);
  const CardView& ann = cards.at("Lee, Ann");
  EXPECT_EQ(ann.file, files.contactsPath + "/ann.vcf");
  EXPECT_EQ(ann["User3"], "1");
  EXPECT_EQ(ann["MobileTelephoneNumber"], "312 555 0101");
  const CardView& bob = cards.at("Ray, Bob");
  EXPECT_EQ(bob["User2"], "No");
  EXPECT_EQ(bob["User3"], "");
  EXPECT_EQ(bob["MobileTelephoneNumber"], "312 555 0202");
  const CardView& cy = cards.at("Cole, Cy");
  EXPECT_EQ(cy["User3"], "3");
  EXPECT_EQ(cy["HomeTelephoneNumber"], "(312) 555-0303");

  const std::vector<PhoneBookRow> rows = files.PhoneBookRows();
  auto hasRow = [&rows](const PhoneBookRow& wanted) {
    return std::find(rows.begin(), rows.end(), wanted) != rows.end();
  };
  EXPECT_TRUE(hasRow({"1", "Lee, Ann", "3125550101", "4", "1", "6"}));
  EXPECT_TRUE(hasRow({"3", "Cole, Cy", "3125550303", "2", "2", "6"}));

  // Null and empty e-mail mean the same.
  std::vector<SyncRow> sync = files.SyncRows();
  for (SyncRow& row : sync) {
    if (row.Email == "<null>") {
      row.Email = "";
    }
  }
  auto hasSync = [&sync](const SyncRow& wanted) {
    return std::find(sync.begin(), sync.end(), wanted) != sync.end();
  };
  EXPECT_TRUE(hasSync({"1", "Lee, Ann", "", "", "", "", "3125550101", "", "", "", "", "M:1"}));
  EXPECT_TRUE(hasSync({"3", "Cole, Cy", "", "", "3125550303", "", "", "", "", "", "", "H:2"}));
}

std::string Expand(std::string text, const StoreFiles& files) {
  const std::pair<std::string, std::string> names[] = {{"$PB", files.phoneBookPath},
                                                       {"$SYNC", files.syncPath},
                                                       {"$CONTACTS", files.contactsPath},
                                                       {"$DATA", files.data}};
  for (const auto& [name, value] : names) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
      text.replace(at, name.size(), value);
      at += value.size();
    }
  }
  return text;
}

void ExpectSameFiles(const std::map<std::string, std::string>& now,
                     const std::map<std::string, std::string>& before, const std::string& what) {
  for (const auto& [file, bytes] : before) {
    auto found = now.find(file);
    if (found == now.end()) {
      ADD_FAILURE() << what << " removed " << file;
    } else if (found->second != bytes) {
      ADD_FAILURE() << what << " changed " << file;
    }
  }
  for (const auto& [file, bytes] : now) {
    if (before.count(file) == 0) {
      ADD_FAILURE() << what << " added " << file;
    }
  }
}

std::map<std::string, CardView> CardsByFileAs(const StoreFiles& files) {
  std::map<std::string, CardView> cards;
  for (CardView& card : files.Cards()) {
    std::string key = card["FileAs"];
    EXPECT_EQ(cards.count(key), 0u) << "two cards filed as " << key.substr(0, 80);
    cards.emplace(std::move(key), std::move(card));
  }
  return cards;
}

}  // namespace twinbook::testing
