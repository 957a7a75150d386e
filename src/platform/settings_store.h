#pragma once

#include <optional>
#include <string>

namespace twinbook {

// The per-user settings store: string values addressed by section and key
// under the program's own name.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The stored text, or nullopt when the key is absent.
  virtual std::optional<std::string> Read(const std::string& section, const std::string& key) = 0;
  // Stores the text under the key, replacing any earlier value.
  virtual void Write(const std::string& section, const std::string& key,
                     const std::string& value) = 0;
};

}  // namespace twinbook
