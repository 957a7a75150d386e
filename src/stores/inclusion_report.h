#pragma once

#include <string>

#include "environment/run_context.h"

namespace twinbook {

inline constexpr const char* kStatusCreatingReport = "Status: Creating Inclusion Report . . .";

// Where the report goes: `folder` followed by "/InclusionReport.txt"; a run
// writes it into RunState::DataFolder().
std::string InclusionReportPath(const std::string& folder);

// Lists which contacts of the contacts folder (settings ContactsPath) take
// part in synchronisation and which do not, under the names they are
// synchronised by (settings NameField), and tells the user where the report
// is. Distribution lists appear in neither list. Nothing in the folder is
// changed. The file replaces any earlier report; it is CR LF text:
//
//   Twinbook, version: 1.0.0
//   <notice>
//   Inclusion Report
//
//   Included Contacts:
//        <name of each included contact, in folder order>
//
//   Excluded Contacts:
//        <name of each excluded contact>
//
// An empty folder writes no file and shows nothing. Every failure (the
// folder missing, a card that cannot be read, the file not writable) throws
// an exception naming the culprit; the folder is read completely before the
// file is opened, so a bad card leaves an earlier report as it was.
void WriteInclusionReport(RunContext& context);

}  // namespace twinbook
