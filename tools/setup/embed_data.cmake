# Writes OUTPUT, a C++ source holding the bytes of the schema and sample
# files named on the command line (see CMakeLists.txt), behind the functions
# declared in embedded_data.h.

function(byte_array variable file)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
  file(SIZE ${file} size)
  # A trailing 0 keeps an empty file a valid array; it is not counted.
  set(${variable} "{\n    ${bytes}0x00}" PARENT_SCOPE)
  set(${variable}_SIZE ${size} PARENT_SCOPE)
endfunction()

set(source "// Generated from the data folder by embed_data.cmake; do not edit.\n")
string(APPEND source "#include \"embedded_data.h\"\n\nnamespace twinbook {\n\nnamespace {\n\n")

byte_array(bytes ${PHONEBOOK_SCHEMA})
string(APPEND source "const unsigned char kPhoneBookSchema[] = ${bytes};\n\n")
set(phonebook_schema_size ${bytes_SIZE})
byte_array(bytes ${SYNC_SCHEMA})
string(APPEND source "const unsigned char kSyncSchema[] = ${bytes};\n\n")
set(sync_schema_size ${bytes_SIZE})
byte_array(bytes ${SAMPLE_PHONEBOOK})
string(APPEND source "const unsigned char kSamplePhoneBook[] = ${bytes};\n\n")
set(sample_phonebook_size ${bytes_SIZE})

string(REPLACE "|" ";" cards "${SAMPLE_CARDS}")
set(entries "")
set(index 0)
foreach(card IN LISTS cards)
  byte_array(bytes ${card})
  get_filename_component(name ${card} NAME)
  string(APPEND source "const unsigned char kCard${index}[] = ${bytes};\n\n")
  string(APPEND entries "    {\"${name}\", Text(kCard${index}, ${bytes_SIZE})},\n")
  math(EXPR index "${index} + 1")
endforeach()

string(APPEND source "std::string_view Text(const unsigned char* bytes, size_t size) {
  return {reinterpret_cast<const char*>(bytes), size};
}

}  // namespace

std::string_view PhoneBookSchemaSql() { return Text(kPhoneBookSchema, ${phonebook_schema_size}); }
std::string_view SyncSchemaSql() { return Text(kSyncSchema, ${sync_schema_size}); }
std::string_view SamplePhoneBookSql() { return Text(kSamplePhoneBook, ${sample_phonebook_size}); }

const std::vector<EmbeddedFile>& SampleCards() {
  static const std::vector<EmbeddedFile> cards{
${entries}  };
  return cards;
}

}  // namespace twinbook
")

file(WRITE ${OUTPUT} "${source}")
