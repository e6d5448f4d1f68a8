// Walking the members of ar archives (regular, thin and nested) and editing
// each member's ELF header in place.
#pragma once
#include <cstddef>
#include <cstdint>

#include "hdrpatch/edit_file.h"

inline constexpr size_t kArHeaderSize = 60;

struct ArchiveCursor {
  char* path = nullptr;        // owned copy
  EditFile* stream = nullptr;  // the stream walked
  EditFileOwner own_stream;    // set when the cursor opened that stream (a nested archive)
  char* long_names = nullptr;  // owned, NUL after the table's bytes
  uint64_t long_names_size = 0;
  uint64_t nested_member_offset = 0;
  bool nested_member_found = false;  // the current member's header was read in the nested archive
  uint64_t next_header_offset = 8;
  uint64_t file_size = 0;
  bool thin = false;
  char header[kArHeaderSize] = {};
};

int edit_archive(const char* path, EditFile* stream, bool thin);
int open_archive_cursor(ArchiveCursor* cursor, const char* path, EditFile* stream,
                        uint64_t file_size, bool thin);
void close_archive_cursor(ArchiveCursor* cursor);
bool skip_archive_index(ArchiveCursor* cursor);
char* resolve_member_name(ArchiveCursor* cursor, ArchiveCursor* nested);
char* resolve_member_name_at(ArchiveCursor* nested, uint64_t offset);
int open_nested_archive(ArchiveCursor* nested, const char* path);
char* thin_member_path(const char* archive_path, const char* name, size_t length);
char* member_display_name(const ArchiveCursor* cursor, const ArchiveCursor* nested,
                          const char* member);
