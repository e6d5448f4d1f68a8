#include "query/module_file.h"

#include <errno.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "query/descriptor_batch.h"
#include "query/flag_words.h"
#include "query/module_dirs.h"
#include "query/requirements.h"
#include "query/variables.h"

namespace {

// Length of the run of ordinary line text at `p`: up to the first line feed,
// "#" or backslash (found with memchr, which scans many bytes per step).
size_t ordinary_run(const char* p, size_t length) {
  if (const void* lf = memchr(p, '\n', length)) length = static_cast<const char*>(lf) - p;
  if (const void* hash = memchr(p, '#', length)) length = static_cast<const char*>(hash) - p;
  if (const void* bs = memchr(p, '\\', length)) length = static_cast<const char*>(bs) - p;
  return length;
}

}  // namespace

bool LogicalLineReader::next_unplain(std::string_view* line, std::string* scratch) {
  // Most lines hold neither a comment nor a backslash: they are the text
  // itself up to the line feed.
  const size_t n = bytes_.size();
  if (pos_ < n) {
    const size_t run = ordinary_run(bytes_.data() + pos_, n - pos_);
    if (pos_ + run == n || bytes_[pos_ + run] == '\n') {
      *line = bytes_.substr(pos_, run);
      pos_ += run;
      if (pos_ < n) {
        ++pos_;  // the line feed
        if (pos_ < n && bytes_[pos_] == '\r') ++pos_;
      }
      return true;
    }
  }
  if (!next(scratch)) return false;
  *line = *scratch;
  return true;
}

bool LogicalLineReader::next(std::string* line) {
  line->clear();
  const size_t n = bytes_.size();
  const size_t line_start = pos_;
  bool escape_pending = false, in_comment = false;
  while (pos_ < n) {
    if (!escape_pending) {
      // Copy the run of ordinary bytes in one step.
      const size_t end = pos_ + ordinary_run(bytes_.data() + pos_, n - pos_);
      if (!in_comment) line->append(bytes_.data() + pos_, end - pos_);
      pos_ = end;
      if (pos_ == n) break;
    }
    const char c = bytes_[pos_++];
    if (escape_pending) {
      escape_pending = false;
      if (c == '\r') {
        if (pos_ < n && bytes_[pos_] == '\n') ++pos_;
      } else if (c == '\n') {
        if (pos_ < n && bytes_[pos_] == '\r') ++pos_;
      } else if (c == '#') {
        line->push_back('#');
      } else {
        line->push_back('\\');
        line->push_back(c);
      }
      continue;
    }
    switch (c) {
      case '#':
        in_comment = true;
        break;
      case '\\':
        if (!in_comment) escape_pending = true;
        break;
      default:  // line feed
        if (pos_ < n && bytes_[pos_] == '\r') ++pos_;
        return true;
    }
  }
  if (escape_pending) line->push_back('\\');
  return pos_ > line_start;
}

namespace {

// Bytes of a keyword or variable name: ASCII letters and digits, "_" and ".".
constexpr auto kTagByte = [] {
  std::array<uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c)
    table[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               c == '_' || c == '.';
  return table;
}();
uint8_t is_tag_byte(char c) {
  return kTagByte[static_cast<unsigned char>(c)];
}

struct Reader {
  PackageRecord* record;
  const char* path;
  bool skip_requires, skip_libs_private, skip_requires_private, skip_flags;
  bool text_has_nul;
  // A list or flags value, expanded; kept from file to file, as a query
  // reads hundreds.
  std::string* expanded;

  // The value expanded: a view of the line, or of `expanded`.
  std::string_view expand(std::string_view value) {
    return expanded_view(*record, value, path, expanded);
  }
  void expand(std::string_view value, std::optional<Text>* out) {
    *out = record->texts.keep(expand(value));
  }
  std::vector<VersionRequirement> module_list(std::string_view value) {
    return parse_module_list(record, expand(value), path, &record->texts);
  }

  // Adds a flags field's flags; false when it cannot be split.
  bool add_flags(const char* field, std::string_view value, bool link, std::vector<FlagItem>* out) {
    return add_flag_words(field, expand(value), link, out, &record->texts);
  }

  void duplicate(const char* field) {
    verbose_error("%s field occurs twice in '%s'\n", field, path);
    end_on_parse_error();
  }

  void keyword(std::string_view tag, std::string_view value) {
    PackageRecord& r = *record;
    if (tag == "Name") {
      if (r.display_name) return duplicate("Name");
      expand(value, &r.display_name);
    } else if (tag == "Description") {
      if (r.summary) return duplicate("Description");
      expand(value, &r.summary);
    } else if (tag == "Version") {
      if (r.version_text) return duplicate("Version");
      expand(value, &r.version_text);
    } else if (tag == "Requires.private") {
      if (skip_requires_private) return;
      if (!r.private_requirements.empty()) return duplicate("Requires.private");
      r.private_requirements = module_list(value);
    } else if (tag == "Requires") {
      if (skip_requires) return;
      if (!r.public_requirements.empty()) return duplicate("Requires");
      r.public_requirements = module_list(value);
    } else if (tag == "Libs.private") {
      if (skip_libs_private || skip_flags) return;
      if (r.libs_private_lines_seen > 0) return duplicate("Libs.private");
      if (!add_flags("Libs.private", value, true, &r.link_flags)) return;
      ++r.libs_private_lines_seen;
    } else if (tag == "Libs") {
      if (skip_flags) return;
      if (r.libs_lines_seen > 0) return duplicate("Libs");
      if (!add_flags("Libs", value, true, &r.link_flags)) return;
      ++r.libs_lines_seen;
    } else if (tag == "Cflags" || tag == "CFlags") {
      if (skip_flags) return;
      if (!r.compile_flags.empty()) return duplicate("Cflags");
      if (!add_flags("Cflags", value, false, &r.compile_flags)) return;
    } else if (tag == "Conflicts") {
      if (!r.conflicts_with.empty()) return duplicate("Conflicts");
      r.conflicts_with = module_list(value);
    } else if (tag == "URL") {
      if (r.home_url) return duplicate("URL");
      expand(value, &r.home_url);
    } else {
      const std::string t(tag);
      debug_spew("Unknown keyword '%s' in '%s'\n", t.c_str(), path);
    }
  }

  void variable(std::string_view name, std::string_view raw) {
    if (loader_switches.define_prefix) return variable_with_prefix(std::string(name), raw);
    define(name, raw);
  }

  // Defines the variable as its value expanded, unless it is defined already.
  void define(std::string_view name, std::string_view value) {
    PackageRecord& r = *record;
    if (r.variables.count(name)) {
      verbose_error("Duplicate definition of variable '%s' in '%s'\n", std::string(name).c_str(),
                    path);
      end_on_parse_error();
      return;
    }
    const std::string_view expanded_value = expand(value);
    debug_spew(" Variable declaration, '%s' has value '%s'\n", std::string(name).c_str(),
               std::string(expanded_value).c_str());
    r.variables.add_new(name, expanded_value);
  }

  // A definition when the prefix is taken from the file's location.
  void variable_with_prefix(const std::string& name, std::string_view raw) {
    PackageRecord& r = *record;
    std::string value(raw);
    if (name == loader_switches.prefix_variable) {
      char* base = g_path_get_basename(r.file_dir->c_str());
      const bool in_modquery_dir = g_ascii_strcasecmp(base, "modquery") == 0;
      g_free(base);
      if (in_modquery_dir) {
        r.file_prefix = r.texts.keep(value);
        char* up1 = g_path_get_dirname(r.file_dir->c_str());
        char* up2 = g_path_get_dirname(up1);
        std::string prefix(up2);
        g_free(up1);
        g_free(up2);
        for (char& c : prefix)
          if (c == '\\') c = '/';
        prefix = shell_escape(prefix);
        debug_spew(" Variable declaration, '%s' overridden with '%s'\n", name.c_str(),
                   prefix.c_str());
        r.variables.assign(name, prefix);
        return;
      }
    } else if (r.file_prefix && !r.file_prefix->empty() &&
               value.compare(0, r.file_prefix->size(), *r.file_prefix) == 0 &&
               value.size() > r.file_prefix->size() && value[r.file_prefix->size()] == '/') {
      auto current = r.variables.find(loader_switches.prefix_variable);
      std::string replaced(current != r.variables.end() ? current->second.view() : "");
      replaced.append(value, r.file_prefix->size(), std::string::npos);
      value = std::move(replaced);
    }
    define(name, value);
  }

  void line(std::string_view raw_line) {
    // The line is a C string: a NUL byte ends its usable text.
    const std::string_view raw = text_has_nul ? raw_line.substr(0, raw_line.find('\0')) : raw_line;
    debug_spew("  line>%s\n", std::string(raw).c_str());
    const std::string_view text = trim_view(raw);
    if (text.empty()) return;
    size_t i = 0;
    // Keywords and names are a few bytes long: four at a time while they last.
    while (i + 4 <= text.size() && (is_tag_byte(text[i]) & is_tag_byte(text[i + 1]) &
                                    is_tag_byte(text[i + 2]) & is_tag_byte(text[i + 3])))
      i += 4;
    while (i < text.size() && is_tag_byte(text[i])) ++i;
    const std::string_view tag = text.substr(0, i);
    while (i < text.size() && is_c_space(text[i])) ++i;
    if (i == text.size() || (text[i] != ':' && text[i] != '=')) return;
    const char kind = text[i++];
    while (i < text.size() && is_c_space(text[i])) ++i;
    const std::string_view value = std::string_view(text).substr(i);
    if (kind == ':')
      keyword(tag, value);
    else
      variable(tag, value);
  }
};

}  // namespace

PackageRecord* parse_module_text(const std::string& key, const char* path, std::string_view bytes,
                                 bool skip_requires, bool skip_libs_private,
                                 bool skip_requires_private, bool skip_flags) {
  auto* record = new PackageRecord;
  // A record's texts are mostly its file's, a few expanded or escaped (a
  // huge file's, as they come).
  record->texts.reserve(std::min<size_t>(bytes.size() + bytes.size() / 4 + 64, 16384));
  record->module_key = key;
  if (path) {
    record->file_dir = record->texts.keep(path_dir_name(path));
  } else {
    record->file_dir = "???????";
    debug_spew("No mqfiledir determined for package\n");
  }
  record->variables.add_new("mqfiledir", *record->file_dir);
  const char* shown_path = path ? path : "???????";
  static std::string expanded;
  Reader reader{record,
                shown_path,
                skip_requires,
                skip_libs_private,
                skip_requires_private,
                skip_flags,
                memchr(bytes.data(), '\0', bytes.size()) != nullptr,
                &expanded};
  LogicalLineReader lines(bytes);
  std::string scratch;
  std::string_view line;
  bool any_line = false;
  while (lines.next(&line, &scratch)) {
    any_line = true;
    reader.line(line);
  }
  if (!any_line) verbose_error("Package file '%s' appears to be empty\n", shown_path);
  return record;
}

namespace {

// Whether an open file may be read whole: only a regular file (a device
// such as /dev/zero would never end) of at most `max_size` bytes. Its size
// goes to `*file_size`.
FileRead check_file_status(int fd, off_t max_size, off_t* file_size) {
  struct stat st;
  if (fstat(fd, &st) != 0) return {FileRead::kOpenFailed, errno};
  if (!S_ISREG(st.st_mode)) return {FileRead::kNotRegular, S_ISDIR(st.st_mode) ? EISDIR : 0};
  if (st.st_size > max_size) return {FileRead::kTooLarge, EFBIG};
  *file_size = st.st_size;
  return {FileRead::kRead, 0};
}

}  // namespace

FileRead read_regular_file(const char* path, off_t max_size, std::string* buffer, size_t* size) {
  const int fd = open_module_file(path);
  if (fd < 0) return {FileRead::kOpenFailed, errno};
  off_t file_size = 0;
  const FileRead status = check_file_status(fd, max_size, &file_size);
  if (status.outcome != FileRead::kRead) {
    close(fd);
    return status;
  }
  return read_open_file(fd, file_size, max_size, buffer, size);
}

FileRead read_open_file(int fd, off_t expected_size, off_t max_size, std::string* buffer,
                        size_t* size) {
  FileRead result{FileRead::kRead, 0};
  *size = 0;
  const size_t limit = static_cast<size_t>(max_size);
  if (expected_size > max_size) {
    close(fd);
    return {FileRead::kTooLarge, EFBIG};
  }
  // An unknown size (-1) is asked for once the first read fills the buffer.
  bool size_known = expected_size >= 0;
  const size_t expected = static_cast<size_t>(std::max<off_t>(expected_size, 0));
  if (buffer->size() < expected + 1) buffer->resize(std::max<size_t>(expected + 1, 16384));
  for (;;) {
    if (*size == buffer->size()) {
      if (!size_known) {
        size_known = true;
        off_t file_size = 0;
        result = check_file_status(fd, max_size, &file_size);
        if (result.outcome != FileRead::kRead) break;
      }
      // A file that grows while it is read is still bounded: one byte past
      // the bound is enough to know.
      if (*size > limit) {
        result = {FileRead::kTooLarge, EFBIG};
        break;
      }
      buffer->resize(std::min(buffer->size() * 2, limit + 1));
    }
    const size_t wanted = buffer->size() - *size;
    const ssize_t got = read(fd, &(*buffer)[*size], wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      // A failed read is not the end of the file: half a file is no text.
      result = {FileRead::kReadFailed, errno};
      break;
    }
    *size += static_cast<size_t>(got);
    // A regular file returns less than asked only at its end: the buffer
    // holds more than the file's size, so one read usually suffices.
    if (static_cast<size_t>(got) < wanted) break;
  }
  close_later(fd);
  return result;
}

PackageRecord* ModuleFileReader::read(const std::string& key, const char* path, bool skip_requires,
                                      bool skip_libs_private, bool skip_requires_private,
                                      bool skip_flags) {
  size_t size = 0;
  const FileRead file = read_regular_file(path, kMaxModuleFileSize, &buffer_, &size);
  return parse_read(file, key, path, size, skip_requires, skip_libs_private, skip_requires_private,
                    skip_flags);
}

PackageRecord* ModuleFileReader::read_open(int fd, const std::string& key, const char* path,
                                           bool skip_requires, bool skip_libs_private,
                                           bool skip_requires_private, bool skip_flags) {
  size_t size = 0;
  const FileRead file = read_open_file(fd, -1, kMaxModuleFileSize, &buffer_, &size);
  return parse_read(file, key, path, size, skip_requires, skip_libs_private, skip_requires_private,
                    skip_flags);
}

PackageRecord* ModuleFileReader::parse_read(const FileRead& file, const std::string& key,
                                            const char* path, size_t size, bool skip_requires,
                                            bool skip_libs_private, bool skip_requires_private,
                                            bool skip_flags) {
  switch (file.outcome) {
    case FileRead::kRead:
      break;
    case FileRead::kReadFailed:
      verbose_error("Failed to read '%s': %s\n", path, g_strerror(file.error));
      return nullptr;
    default:
      // Whatever cannot be read whole as a module file is refused as unopenable.
      verbose_error("Failed to open '%s': %s\n", path,
                    file.error ? g_strerror(file.error) : "Not a regular file");
      return nullptr;
  }
  debug_spew("Parsing package file '%s'\n", path);
  return parse_module_text(key, path, std::string_view(buffer_.data(), size), skip_requires,
                           skip_libs_private, skip_requires_private, skip_flags);
}
