#include "hdrpatch/archive.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hdrpatch/elf_header.h"
#include "hdrpatch/hdrpatch.h"
#include "support/alloc.h"

namespace {

constexpr char kSymbolIndex[] = "/               ";
constexpr char kSymbolIndex64[] = "/SYM64/         ";
constexpr char kLongNames[] = "//              ";
constexpr size_t kNameSize = 16, kSizeOffset = 48, kTerminatorOffset = 58;

bool name_field_is(const char* header, const char* name) {
  return memcmp(header, name, kNameSize) == 0;
}

bool has_terminator(const char* header) {
  return header[kTerminatorOffset] == '\x60' && header[kTerminatorOffset + 1] == '\n';
}

// Unsigned decimal from `offset` up to the first non-digit; the terminator is
// hidden meanwhile, so a number never runs into it. Saturates instead of wrapping.
uint64_t header_number(char* header, size_t offset, size_t* end = nullptr) {
  const char saved = header[kTerminatorOffset];
  header[kTerminatorOffset] = '\0';
  uint64_t value = 0;
  size_t i = offset;
  for (; header[i] >= '0' && header[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(header[i] - '0');
    value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
  }
  header[kTerminatorOffset] = saved;
  if (end) *end = i;
  return value;
}

uint64_t round_up_even(uint64_t n) {
  return n + (n & 1);
}

// Bytes of the archive left after the stream's position: every size read
// from a header is checked against this before it moves the cursor.
uint64_t bytes_left(const ArchiveCursor* cursor) {
  const uint64_t pos = cursor->stream->pos;
  return pos < cursor->file_size ? cursor->file_size - pos : 0;
}

bool read_header(ArchiveCursor* cursor, size_t* got) {
  *got = edit_file_read(cursor->stream, cursor->header, kArHeaderSize);
  return *got == kArHeaderSize;
}

bool load_long_names(ArchiveCursor* cursor) {
  const uint64_t size = header_number(cursor->header, kSizeOffset);
  // An empty table is no table; any other size is possible (a one-member thin
  // archive with a short name has a table of six bytes).
  if (size == 0) {
    report_error(_("%s: long name table is too small, (size = %lld)\n"), cursor->path,
                 static_cast<long long>(size));
    return false;
  }
  if (size > bytes_left(cursor) || size >= (uint64_t{1} << 31)) {
    report_error(_("%s: long name table is too big, (size = %#llx)\n"), cursor->path,
                 static_cast<unsigned long long>(size));
    return false;
  }
  cursor->next_header_offset += kArHeaderSize + round_up_even(size);
  char* table = static_cast<char*>(malloc(size + 1));
  if (table == nullptr) {
    report_error(_("Out of memory reading long symbol names in archive\n"));
    return false;
  }
  if (edit_file_read(cursor->stream, table, size) != size) {
    free(table);
    report_error(_("%s: failed to read long symbol name string table\n"), cursor->path);
    return false;
  }
  if (size & 1) {
    char padding;
    edit_file_read(cursor->stream, &padding, 1);
  }
  table[size] = '\0';
  cursor->long_names = table;
  cursor->long_names_size = size;
  return true;
}

}  // namespace

int open_archive_cursor(ArchiveCursor* cursor, const char* path, EditFile* stream,
                        uint64_t file_size, bool thin) {
  cursor->path = checked_strdup(path);
  cursor->stream = stream;
  cursor->long_names = nullptr;
  cursor->long_names_size = 0;
  cursor->nested_member_offset = 0;
  cursor->next_header_offset = 8;
  cursor->file_size = file_size;
  cursor->thin = thin;
  if (!edit_file_seek(stream, 8)) {
    report_error(_("%s: failed to seek to first archive header\n"), path);
    return 1;
  }
  size_t got;
  if (!read_header(cursor, &got)) {
    if (got == 0) return 0;  // an empty archive
    report_error(_("%s: failed to read archive header\n"), path);
    return 1;
  }
  if (name_field_is(cursor->header, kSymbolIndex) ||
      name_field_is(cursor->header, kSymbolIndex64)) {
    if (!skip_archive_index(cursor)) return 1;
  }
  if (name_field_is(cursor->header, kLongNames) && !load_long_names(cursor)) return 1;
  return 0;
}

// Frees what the cursor owns, its own stream included, and empties it.
void close_archive_cursor(ArchiveCursor* cursor) {
  free(cursor->path);
  free(cursor->long_names);
  *cursor = ArchiveCursor();
}

bool skip_archive_index(ArchiveCursor* cursor) {
  const uint64_t size = header_number(cursor->header, kSizeOffset);
  if (static_cast<int32_t>(size) < 0) {
    report_error(_("%s: invalid archive header size: %ld\n"), cursor->path,
                 static_cast<long>(static_cast<int32_t>(size)));
    return false;
  }
  // The signed view above is the traditional check; the full number must
  // also fit in what is left, or the walk would silently end past the file.
  if (size > bytes_left(cursor)) {
    report_error(_("%s: archive symbol table runs past the end of the file, (size = %#llx)\n"),
                 cursor->path, static_cast<unsigned long long>(size));
    return false;
  }
  const uint64_t extent = round_up_even(size);
  cursor->next_header_offset += kArHeaderSize + extent;
  if (!edit_file_seek(cursor->stream, cursor->stream->pos + extent)) {
    report_error(_("%s: failed to skip archive symbol table\n"), cursor->path);
    return false;
  }
  size_t got;
  if (!read_header(cursor, &got) && got != 0) {
    report_error(_("%s: failed to read archive header following archive index\n"), cursor->path);
    return false;
  }
  return true;
}

char* resolve_member_name(ArchiveCursor* cursor, ArchiveCursor* nested) {
  cursor->nested_member_offset = 0;
  cursor->nested_member_found = false;
  char* header = cursor->header;
  if (header[0] != '/') {
    char* slash = static_cast<char*>(memchr(header, '/', kNameSize));
    if (slash) {
      *slash = '\0';
      return checked_strdup(header);
    }
    char* name = static_cast<char*>(checked_alloc(kNameSize + 1));
    memcpy(name, header, kNameSize);
    name[kNameSize] = '\0';
    return name;
  }
  if (cursor->long_names == nullptr || cursor->long_names_size == 0) {
    report_error(_("Archive member uses long names, but no longname table found\n"));
    return nullptr;
  }
  size_t end_of_number;
  const uint64_t index = header_number(header, 1, &end_of_number);
  if (cursor->thin && header[end_of_number] == ':')
    cursor->nested_member_offset = header_number(header, end_of_number + 1);
  if (index > cursor->long_names_size) {
    report_error(_("Found long name index (%ld) beyond end of long name table\n"),
                 static_cast<long>(index));
    return nullptr;
  }
  char* table = cursor->long_names;
  uint64_t end = index;
  while (end < cursor->long_names_size && table[end] != '\0' && table[end] != '\n') ++end;
  if (end != 0 && table[end - 1] == '/') --end;
  table[end] = '\0';
  const char* text = table + index;

  if (cursor->thin && cursor->nested_member_offset != 0) {
    if (end <= index) {
      report_error(_("Invalid Thin archive member name\n"));
      return nullptr;
    }
    char* nested_path = thin_member_path(cursor->path, text, static_cast<size_t>(end - index));
    char* result = nullptr;
    struct stat st;
    if (nested_path && stat(nested_path, &st) == 0 && open_nested_archive(nested, nested_path) == 0)
      result = resolve_member_name_at(nested, cursor->nested_member_offset);
    free(nested_path);
    if (result) {
      cursor->nested_member_found = true;
      return result;
    }
  }
  return checked_strdup(text);
}

char* resolve_member_name_at(ArchiveCursor* nested, uint64_t offset) {
  if (!edit_file_seek(nested->stream, offset)) {
    report_error(_("%s: failed to seek to next file name\n"), nested->path);
    return nullptr;
  }
  size_t got;
  if (!read_header(nested, &got)) {
    report_error(_("%s: failed to read archive header\n"), nested->path);
    return nullptr;
  }
  if (!has_terminator(nested->header)) {
    report_error(_("%s: did not find a valid archive header\n"), nested->path);
    return nullptr;
  }
  return resolve_member_name(nested, nullptr);
}

int open_nested_archive(ArchiveCursor* nested, const char* path) {
  if (nested->path && strcmp(nested->path, path) == 0) return 0;
  close_archive_cursor(nested);
  EditFileOwner stream(edit_file_open(path));
  uint64_t size;
  if (!stream || !edit_file_size(stream.get(), &size)) return 1;
  if (open_archive_cursor(nested, path, stream.get(), size, false) != 0) {
    // A nested archive that cannot be walked is not kept for later members.
    close_archive_cursor(nested);
    return 1;
  }
  nested->own_stream = std::move(stream);
  return 0;
}

char* thin_member_path(const char* archive_path, const char* name, size_t length) {
  const char* slash = strrchr(archive_path, '/');
  const size_t dir_length =
      slash == nullptr || name[0] == '/' ? 0 : static_cast<size_t>(slash - archive_path) + 1;
  if (length > SIZE_MAX - dir_length - 1) {
    report_error(_("Abnormal length of thin archive member name: %lx\n"),
                 static_cast<unsigned long>(length));
    return nullptr;
  }
  char* path = static_cast<char*>(malloc(dir_length + length + 1));
  if (path == nullptr) {
    report_error(_("Out of memory\n"));
    return nullptr;
  }
  memcpy(path, archive_path, dir_length);
  memcpy(path + dir_length, name, length);
  path[dir_length + length] = '\0';
  return path;
}

char* member_display_name(const ArchiveCursor* cursor, const ArchiveCursor* nested,
                          const char* member) {
  // Built by hand: this runs for every member, and formatting twice to size
  // the buffer would cost more than the header edit itself.
  const char* parts[6];
  size_t count = 0;
  parts[count++] = cursor->path;
  if (!cursor->thin) {
    parts[count++] = "(";
    parts[count++] = member;
    parts[count++] = ")";
  } else if (cursor->nested_member_offset != 0) {
    parts[count++] = "[";
    parts[count++] = nested->path ? nested->path : _("<corrupt>");
    parts[count++] = "(";
    parts[count++] = member;
    parts[count++] = ")]";
  } else {
    parts[count++] = "[";
    parts[count++] = member;
    parts[count++] = "]";
  }
  size_t lengths[6], total = 1;
  for (size_t i = 0; i < count; ++i) total += lengths[i] = strlen(parts[i]);
  char* name = static_cast<char*>(malloc(total));
  if (name == nullptr) {
    report_error(_("Out of memory\n"));
    return nullptr;
  }
  char* end = name;
  for (size_t i = 0; i < count; ++i)
    end = static_cast<char*>(memcpy(end, parts[i], lengths[i])) + lengths[i];
  *end = '\0';
  return name;
}

int edit_archive(const char* path, EditFile* stream, bool thin) {
  uint64_t file_size;
  if (!edit_file_size(stream, &file_size)) return 1;
  ArchiveCursor archive, nested;
  int result = 0;
  if (open_archive_cursor(&archive, path, stream, file_size, thin) != 0) {
    close_archive_cursor(&archive);
    return 1;
  }
  for (;;) {
    if (!edit_file_seek(stream, archive.next_header_offset)) {
      report_error(_("%s: failed to seek to next archive header\n"), path);
      result = 1;
      break;
    }
    size_t got;
    if (!read_header(&archive, &got)) {
      if (got != 0) {
        report_error(_("%s: failed to read archive header\n"), path);
        result = 1;
      }
      break;
    }
    if (!has_terminator(archive.header)) {
      report_error(_("%s: did not find a valid archive header\n"), path);
      result = 1;
      break;
    }
    archive.next_header_offset += kArHeaderSize;
    const uint64_t data_size = header_number(archive.header, kSizeOffset);
    // A thin archive's own members carry no data here: their size is the
    // size of a file elsewhere.
    if (!thin && data_size > bytes_left(&archive)) {
      report_error(_("%s: archive member runs past the end of the file, (size = %#llx)\n"), path,
                   static_cast<unsigned long long>(data_size));
      result = 1;
      break;
    }
    const uint64_t member_size = round_up_even(data_size);

    const OwnedCString name(resolve_member_name(&archive, &nested));
    const OwnedCString display(name ? member_display_name(&archive, &nested, name.get()) : nullptr);
    if (!display) {
      report_error(_("%s: bad archive file name\n"), path);
      result = 1;
      break;
    }

    int member_result = 0;
    bool stop = false;
    if (!thin) {
      archive.next_header_offset += member_size;
      member_result = edit_header(display.get(), stream, data_size);
    } else if (archive.nested_member_offset != 0) {
      // Edit inside the nested archive only when this very member's header
      // was found there; otherwise nothing is touched at that offset.
      if (!archive.nested_member_found) {
        report_error(_("%s: cannot read the nested archive member %s\n"), path, display.get());
        result = 1;
        stop = true;
      } else if (!edit_file_seek(nested.stream, archive.nested_member_offset + kArHeaderSize)) {
        report_error(_("%s: failed to seek to archive member\n"), nested.path);
        result = 1;
        stop = true;
      } else if (const uint64_t nested_size = header_number(nested.header, kSizeOffset);
                 nested_size > bytes_left(&nested)) {
        report_error(_("%s: archive member runs past the end of the file, (size = %#llx)\n"),
                     nested.path, static_cast<unsigned long long>(nested_size));
        result = 1;
        stop = true;
      } else {
        member_result = edit_header(display.get(), nested.stream, nested_size);
      }
    } else {
      const OwnedCString member_path(thin_member_path(path, name.get(), strlen(name.get())));
      const EditFileOwner member(member_path ? edit_file_open(member_path.get()) : nullptr);
      uint64_t member_file_size = 0;
      if (!member_path) {
        result = 1;
        stop = true;
      } else if (!member) {
        report_error(_("Input file '%s' is not readable\n"), member_path.get());
        result = 1;
        stop = true;
      } else {
        edit_file_size(member.get(), &member_file_size);
        member_result = edit_header(display.get(), member.get(), member_file_size);
      }
    }
    if (member_result != 0) result = 1;
    if (stop) break;
  }
  close_archive_cursor(&nested);
  close_archive_cursor(&archive);
  return result;
}
