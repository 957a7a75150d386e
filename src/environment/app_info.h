#pragma once

#include <string>

namespace twinbook {

inline constexpr const char* kAppTitle = "Twinbook";

// The notice that follows the title in the window caption and as the second
// line of the activity log and the inclusion report.
inline constexpr const char* kNotice =
    "Keeps your desktop contacts and your iDEN phone book in step";

// "Twinbook, version: 1.0.0", the first line of the log and of the report.
std::string TitleAndVersionLine();
// "1.0.0"
std::string VersionText();

}  // namespace twinbook
