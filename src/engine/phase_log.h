#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "environment/activity_log.h"

namespace twinbook {

// The activity log as one phase holds it: open for appending from the phase's
// start to its end, and closed while a dialog that appends to it itself is
// open. Failures to open or write throw, naming the file (LogFile).
class PhaseLog {
 public:
  explicit PhaseLog(std::string path) : path_(std::move(path)) { Resume(); }

  void Write(const std::string& line) {
    if (!file_) {
      throw std::logic_error("The activity log " + path_ + " is closed while a dialog is open");
    }
    file_->WriteLine(line);
  }

  // Closes the file so that a dialog can append to it.
  void Suspend() {
    if (file_) {
      file_->Close();
      file_.reset();
    }
  }
  // Opens it again for appending after the dialog.
  void Resume() {
    if (!file_) {
      file_.emplace(path_, LogFile::Mode::Append);
    }
  }
  // The end of the phase: closes the file, reporting a failure to write.
  void Close() { Suspend(); }

 private:
  std::string path_;
  std::optional<LogFile> file_;
};

}  // namespace twinbook
