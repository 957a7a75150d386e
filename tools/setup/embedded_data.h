#pragma once

#include <string_view>
#include <vector>

namespace twinbook {

// The schemas and sample data of the data folder, compiled in by
// embed_data.cmake.

struct EmbeddedFile {
  std::string_view name;     // the file name, such as "<uid>.vcf"
  std::string_view content;  // the bytes as in the source tree
};

// The SQL creating tblContactList, and SyncContacts.
std::string_view PhoneBookSchemaSql();
std::string_view SyncSchemaSql();
// The SQL adding the sample contacts to tblContactList.
std::string_view SamplePhoneBookSql();
// The sample vCard files, by file name.
const std::vector<EmbeddedFile>& SampleCards();

}  // namespace twinbook
