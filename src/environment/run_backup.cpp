#include "environment/run_backup.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <sstream>

#include "environment/recording_platform.h"
#include "platform/fingerprint.h"

namespace twinbook {

namespace {

constexpr const char* kRecordFile = "Record.txt";
constexpr const char* kUndoneFile = "Undone.txt";
constexpr const char* kRecordHead = "Twinbook backup";
constexpr const char* kCardsFolder = "Cards";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A value on a line of the record: tabs, line ends and backslashes escaped,
// so any file name fits.
std::string Escape(const std::string& value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char c = value[++i];
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    } else {
      out += value[i];
    }
  }
  return out;
}

std::string Line(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) {
    if (!line.empty()) {
      line += '\t';
    }
    line += Escape(field);
  }
  return line + "\n";
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(Unescape(line.substr(start, tab - start)));
    if (tab == std::string::npos) {
      return fields;
    }
    start = tab + 1;
  }
}

// The local time now, for a folder name ("2026-12-07_16-13-16.123") and
// for people ("2026-12-07 16:13:16").
struct Stamp {
  std::string name;
  std::string shown;
};

Stamp StampOf(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char name[64];
  char shown[64];
  std::strftime(shown, sizeof shown, "%Y-%m-%d %H:%M:%S", &local);
  std::strftime(name, sizeof name, "%Y-%m-%d_%H-%M-%S", &local);
  char withMillis[80];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03d", name, static_cast<int>(millis));
  return {withMillis, shown};
}

// A backup folder's name: a stamp, so that the user's own files beside
// them are never taken for one.
bool IsBackupName(const std::string& name) {
  return name.size() == 23 && name[4] == '-' && name[10] == '_' && name[19] == '.' &&
         std::all_of(name.begin(), name.begin() + 4, [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> BackupNames(FileSystem& files, const std::string& backups) {
  std::vector<std::string> names = files.List(backups);
  std::erase_if(names, [](const std::string& name) { return !IsBackupName(name); });
  return names;
}

}  // namespace

std::string BackupsFolderFor(const std::string& syncPath) {
  return FolderOf(syncPath) + "/Backups";
}

std::string LockPathFor(const std::string& syncPath) {
  return syncPath + ".lock";
}

std::string CardFingerprint(FileSystem& files, const std::string& path) {
  if (!files.Exists(path)) {
    return "";
  }
  return FingerprintOf(files.Read(path));
}

std::optional<std::string> NewestBackup(FileSystem& files, const std::string& syncPath) {
  const std::string backups = BackupsFolderFor(syncPath);
  const std::vector<std::string> names = BackupNames(files, backups);
  if (names.empty()) {
    return std::nullopt;
  }
  return backups + "/" + names.back();
}

BackupRecord ReadBackupRecord(FileSystem& files, const std::string& folder) {
  const std::string path = folder + "/" + kRecordFile;
  std::istringstream in(files.Read(path));
  std::string line;
  if (!std::getline(in, line) || line != kRecordHead) {
    throw FileError("The backup record " + path + " is not one that Twinbook wrote");
  }
  BackupRecord record;
  record.folder = folder;
  std::map<std::string, size_t> index;
  auto card = [&](const std::string& name) -> CardChange& {
    auto [it, added] = index.emplace(name, record.cards.size());
    if (added) {
      record.cards.push_back(CardChange{name});
    }
    return record.cards[it->second];
  };
  while (std::getline(in, line)) {
    const std::vector<std::string> f = Fields(line);
    const std::string& key = f[0];
    const std::string value = f.size() > 1 ? f[1] : "";
    if (key == "Started") {
      record.started = value;
    } else if (key == "PhoneBook") {
      record.phoneBookPath = value;
    } else if (key == "Sync") {
      record.syncPath = value;
    } else if (key == "Contacts") {
      record.contactsPath = value;
    } else if (key == "Changed") {
      card(value).changed = true;
    } else if (key == "Created") {
      card(value).created = true;
    } else if (key == "Deleted") {
      card(value).deletedAs = f.size() > 2 ? f[2] : "";
    } else if (key == "Finished") {
      record.finished = value;
    } else if (key == "PhoneBook after") {
      record.phoneBookAfter = value;
    } else if (key == "Sync after") {
      record.syncAfter = value;
    } else if (key == "Card after" && f.size() > 2) {
      record.cardsAfter[value] = f[2];
    }
  }
  if (record.phoneBookPath.empty() || record.syncPath.empty() || record.contactsPath.empty()) {
    throw FileError("The backup record " + path + " lacks the paths of the stores");
  }
  for (CardChange& change : record.cards) {
    change.copied = !change.created;
  }
  record.undone = files.Exists(folder + "/" + kUndoneFile);
  return record;
}

void MarkBackupUndone(FileSystem& files, const std::string& folder) {
  files.Write(folder + "/" + kUndoneFile,
              Line({"Undone", StampOf(std::chrono::system_clock::now()).shown}));
}

RunBackup::RunBackup(Platform& platform, const Settings& settings)
    : inner_(platform),
      files_(*platform.files),
      phoneBookPath_(settings.PhoneBookPath),
      syncPath_(settings.SyncPath),
      contactsPath_(settings.ContactsPath),
      recordingDatabases_(RecordingDatabases(platform.databases, *this)),
      recordingContacts_(RecordingContacts(platform.contacts, *this)),
      recording_{*recordingDatabases_, *recordingContacts_, platform.settings, platform.launcher,
                 platform.files} {}

RunBackup::~RunBackup() = default;

void RunBackup::Start() {
  const std::string backups = BackupsFolderFor(syncPath_);
  auto now = std::chrono::system_clock::now();
  Stamp stamp = StampOf(now);
  // Two runs within one millisecond: the later one takes the next free one.
  while (files_.Exists(backups + "/" + stamp.name)) {
    now += std::chrono::milliseconds(1);
    stamp = StampOf(now);
  }
  const std::string folder = backups + "/" + stamp.name;
  try {
    files_.MakeFolder(folder + "/" + kCardsFolder);
    inner_.databases.OpenDatabase(phoneBookPath_)->CopyTo(folder + "/PhoneBook.mdb");
    inner_.databases.OpenDatabase(syncPath_)->CopyTo(folder + "/Twinbook.mdb");
    folder_ = folder;
    started_ = stamp.shown;
    WriteRecordHead();
  } catch (const std::exception& error) {
    folder_.clear();
    try {
      files_.RemoveAll(folder);
    } catch (const std::exception&) {
      // The message below names the folder; what is left of it is harmless.
    }
    throw FileError("Cannot make the backup of this synchronization in " + folder + ": " +
                    error.what());
  }
}

void RunBackup::BeforeDatabaseWrite() {
  if (folder_.empty()) {
    Start();
  }
}

std::string RunBackup::PlaceToKeep(const std::string& name) {
  if (folder_.empty()) {
    Start();
  }
  return folder_ + "/" + kCardsFolder + "/" + name;
}

void RunBackup::BeforeCardWrite(const std::string& name) {
  const std::string keepAs = PlaceToKeep(name);
  if (files_.Exists(keepAs)) {
    return;
  }
  try {
    files_.Write(keepAs, files_.Read(contactsPath_ + "/" + name));
  } catch (const std::exception& error) {
    throw FileError("Cannot make the backup of " + contactsPath_ + "/" + name + " in " + folder_ +
                    ": " + error.what());
  }
}

std::string RunBackup::CardAfter(const std::string& relative) {
  return Line({"Card after", relative, CardFingerprint(files_, contactsPath_ + "/" + relative)});
}

void RunBackup::CardWritten(const std::string& name, bool created) {
  if (folder_.empty()) {
    Start();
  }
  AddToRecord(Line({created ? "Created" : "Changed", name}) + CardAfter(name));
}

void RunBackup::CardDeleted(const std::string& name, const std::string& deletedAs) {
  std::string lines = Line({"Deleted", name, deletedAs}) + CardAfter(name);
  if (!deletedAs.empty()) {
    lines += CardAfter(std::string(kDeletedCardsFolder) + "/" + deletedAs);
  }
  AddToRecord(lines);
}

void RunBackup::AddToRecord(const std::string& lines) {
  files_.Append(folder_ + "/" + kRecordFile, lines);
}

void RunBackup::WriteRecordHead() {
  files_.Write(folder_ + "/" + kRecordFile,
               std::string(kRecordHead) + "\n" + Line({"Started", started_}) +
                   Line({"PhoneBook", phoneBookPath_}) + Line({"Sync", syncPath_}) +
                   Line({"Contacts", contactsPath_}));
}

void RunBackup::WriteRecordTail() {
  AddToRecord(Line({"PhoneBook after",
                    inner_.databases.OpenDatabase(phoneBookPath_)->ContentFingerprint()}) +
              Line({"Sync after", inner_.databases.OpenDatabase(syncPath_)->ContentFingerprint()}) +
              Line({"Finished", StampOf(std::chrono::system_clock::now()).shown}));
}

void RunBackup::Seal() {
  if (folder_.empty() || sealed_) {
    return;
  }
  sealed_ = true;
  WriteRecordTail();
  // Only now that the new backup is complete may the oldest go.
  const std::string backups = BackupsFolderFor(syncPath_);
  std::vector<std::string> names = BackupNames(files_, backups);
  for (size_t i = 0; i + kBackupsKept < names.size(); ++i) {
    try {
      files_.RemoveAll(backups + "/" + names[i]);
    } catch (const FileError&) {
      // An old backup that cannot be removed costs space, not safety; the
      // next run tries again.
    }
  }
}

}  // namespace twinbook
