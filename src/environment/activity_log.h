#pragma once

#include <cstdio>
#include <string>

namespace twinbook {

// One of the program's text files (the activity log, the inclusion report):
// 8-bit text, each line ended by CR LF, written through as it goes so that a
// run that ends abruptly leaves every line written so far.
//
// Opening for appending creates the file when it is absent. Every failure to
// open or write throws std::runtime_error naming the file.
class LogFile {
 public:
  enum class Mode { Replace, Append };

  LogFile(const std::string& path, Mode mode);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  void WriteLine(const std::string& line);
  // Closes the file, reporting a failure to write what was buffered.
  // The destructor closes too, but cannot report.
  void Close();

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

}  // namespace twinbook
