#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/settings_store.h"

class QSettings;

namespace twinbook {

// The settings in QSettings under organisation and application "Twinbook":
// on Linux the INI file $XDG_CONFIG_HOME/Twinbook/Twinbook.conf. Values are
// stored as plain texts.
class QtSettingsStore : public SettingsStore {
 public:
  QtSettingsStore();
  // A store in the INI file at `iniPath`, for tests and tools.
  explicit QtSettingsStore(const std::string& iniPath);
  ~QtSettingsStore() override;

  std::optional<std::string> Read(const std::string& section, const std::string& key) override;
  void Write(const std::string& section, const std::string& key, const std::string& value) override;

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace twinbook
