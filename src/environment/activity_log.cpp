#include "environment/activity_log.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace twinbook {

namespace {

std::runtime_error FileError(const char* what, const std::string& path, int error) {
  return std::runtime_error(std::string(what) + " " + path + ": " + std::strerror(error));
}

}  // namespace

LogFile::LogFile(const std::string& path, Mode mode) : path_(path) {
  file_ = std::fopen(path.c_str(), mode == Mode::Replace ? "wb" : "ab");
  if (file_ == nullptr) {
    throw FileError("Cannot open", path, errno);
  }
}

LogFile::~LogFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

void LogFile::WriteLine(const std::string& line) {
  if (file_ == nullptr) {
    throw std::runtime_error("Cannot write to " + path_ + ": the file is closed");
  }
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
      std::fwrite("\r\n", 1, 2, file_) != 2 || std::fflush(file_) != 0) {
    throw FileError("Cannot write to", path_, errno);
  }
}

void LogFile::Close() {
  if (file_ == nullptr) {
    return;
  }
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) {
    throw FileError("Cannot write to", path_, errno);
  }
}

}  // namespace twinbook
