#pragma once

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/qt/qt_process_launcher.h"
#include "support/good_stores.h"
#include "support/store_files.h"

namespace twinbook::testing {

// Thrown while a case is being set up when this machine cannot give it what
// it needs; the test is then skipped with the reason.
class CaseSkipped : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// While alive, file permission bits bind the calling thread even when it runs
// as root: the capabilities that let root read, write and search past them
// are taken out of the thread's effective set (and put back afterwards).
// Throws CaseSkipped when they still do not bind.
class PermissionBitsBind {
 public:
  PermissionBitsBind();
  ~PermissionBitsBind();
  PermissionBitsBind(const PermissionBitsBind&) = delete;
  PermissionBitsBind& operator=(const PermissionBitsBind&) = delete;

 private:
  void Restore();
  bool dropped_ = false;
};

// Marks the file immutable (chattr +i): not even root may change, replace or
// remove it. Throws CaseSkipped when the file system or the process's
// capabilities do not allow it.
void SetImmutable(const std::string& path, bool immutable);

// Real stores in a temporary Data folder (StoreFiles) reached through a real
// process launcher, so that the PhoneBook Manager setting starts a real
// program. `undo` runs before the files go, to lift what would keep them
// from being removed (permissions, immutable files).
struct Scene {
  Scene();
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  void Run();
  // Every file of the Data folder but the log, with its bytes.
  std::map<std::string, std::string> StoreSnapshot() const;
  // The same with each database as its rows (types and values) rather than
  // its bytes, and without SQLite's journal files: what a run may not change
  // when it has nothing to do, though SQLite may rearrange a file's pages.
  std::map<std::string, std::string> StoreContent() const;

  StoreFiles files;
  QtProcessLauncher launcher;
  Platform platform{files.databases, files.contacts, files.settings, launcher};
  RunContext context{files.state, files.view, platform};
  std::vector<std::function<void()>> undo;
};

// What a completed run over the good stores (SeedGoodStores) leaves, whatever
// ran before: nothing lost, Cy carried to the desktop, Bob rewritten as excluded.
void ExpectGoodOutcome(const StoreFiles& files);

// `text` with "$PB", "$SYNC", "$DATA" and "$CONTACTS" replaced by the paths.
std::string Expand(std::string text, const StoreFiles& files);

// Fails the test naming every file that differs between the snapshots.
void ExpectSameFiles(const std::map<std::string, std::string>& now,
                     const std::map<std::string, std::string>& before, const std::string& what);

// Cards keyed by FileAs.
std::map<std::string, CardView> CardsByFileAs(const StoreFiles& files);

}  // namespace twinbook::testing
