#include "query/module_dirs.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "query/descriptor_batch.h"
#include "query/query.h"
#include "query/text_hash.h"

namespace {

// Questions answered by stat before a directory is read whole: a small query
// costs a stat or two, a large one one pass over the directory, after which
// a name it lacks (each module's "-uninstalled" form, for one) costs no
// system call and a regular file it has is opened at once, relative to the
// directory, without walking its path again.
constexpr int kQuestionsBeforeListing = 16;

// The ".mq" entries of one directory and their types, by name. Each entry is
// stored as its type, its length and its bytes in one buffer; the table
// holds an entry's offset + 1 (0: free).
struct DirIndex {
  int questions = 0;
  bool listed = false;
  bool unlistable = false;
  int fd = -1;  // the directory, while descriptors suffice
  std::vector<unsigned char> entries;
  std::vector<uint32_t> slots;  // a power of two, at most half full

  // The type of the entry `name`, or -1 when the directory has none.
  int find(std::string_view name) const {
    const size_t mask = slots.size() - 1;
    for (size_t i = TextHash{}(name)&mask; slots[i] != 0; i = (i + 1) & mask) {
      const unsigned char* entry = &entries[slots[i] - 1];
      if (entry[1] == name.size() &&
          same_text(std::string_view(reinterpret_cast<const char*>(entry + 2), entry[1]), name))
        return entry[0];
    }
    return -1;
  }
  void index_entries(size_t count) {
    size_t capacity = 64;
    while (capacity < count * 2) capacity *= 2;
    slots.assign(capacity, 0);
    const size_t mask = capacity - 1;
    for (size_t offset = 0; offset < entries.size(); offset += 2 + entries[offset + 1]) {
      const std::string_view name(reinterpret_cast<const char*>(&entries[offset + 2]),
                                  entries[offset + 1]);
      size_t i = TextHash{}(name)&mask;
      while (slots[i] != 0) i = (i + 1) & mask;
      slots[i] = static_cast<uint32_t>(offset + 1);
    }
  }
};

std::vector<DirIndex> dir_indexes;

void list_directory(DirIndex* index, const std::string& dir) {
  // The same folder the lookup's paths name: "dir/" + file.
  const std::string folder = dir + "/";
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && errno == EMFILE && close_held_descriptors())
    fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    index->unlistable = true;
    return;
  }
  // Read in large steps: the system's work per entry is the same, its calls fewer.
  constexpr size_t kBufferSize = 64 * 1024;
  const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
  size_t count = 0;
  for (;;) {
    const ssize_t got = getdents64(fd, buffer.get(), kBufferSize);
    if (got < 0 && errno == EINTR) continue;
    // A listing cut short would deny names the directory has; so would one
    // that cannot hold a name (longer than any Linux name) or its offset.
    bool whole = got >= 0 && index->entries.size() < UINT32_MAX / 2;
    for (ssize_t at = 0; whole && at < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + at);
      at += entry->d_reclen;
      const std::string_view name(entry->d_name);
      if (name.size() <= 3 || name.substr(name.size() - 3) != ".mq") continue;
      if (name.size() > UINT8_MAX) {
        whole = false;
        break;
      }
      index->entries.push_back(entry->d_type);
      index->entries.push_back(static_cast<unsigned char>(name.size()));
      index->entries.insert(index->entries.end(), name.begin(), name.end());
      ++count;
    }
    if (!whole) {
      close(fd);
      index->entries = {};
      index->unlistable = true;
      return;
    }
    if (got == 0) break;
  }
  index->index_entries(count);
  index->fd = fd;
  index->listed = true;
}

}  // namespace

std::string module_file_path(size_t dir_index, std::string_view file_name) {
  std::string path;
  path.reserve(search_path[dir_index].size() + 1 + file_name.size());
  path.append(search_path[dir_index]).append("/").append(file_name);
  return path;
}

bool find_module_file(size_t dir_index, std::string_view file_name, FoundModuleFile* found) {
  found->fd = -1;
  // A name with a "/" reaches into a subdirectory, which the index does not hold.
  const bool indexable = file_name.find('/') == std::string_view::npos;
  DirIndex* listing = nullptr;
  if (indexable) {
    if (dir_indexes.size() < search_path.size()) dir_indexes.resize(search_path.size());
    DirIndex& index = dir_indexes[dir_index];
    if (!index.listed && !index.unlistable && ++index.questions > kQuestionsBeforeListing)
      list_directory(&index, search_path[dir_index]);
    if (index.listed) listing = &index;
  }
  bool listed_regular = false;
  if (listing != nullptr) {
    // A name longer than any entry's cannot be in it.
    const int type = file_name.size() > UINT8_MAX ? -1 : listing->find(file_name);
    if (type < 0) return false;
    listed_regular = type == DT_REG;
  }
  found->path = module_file_path(dir_index, file_name);
  if (listed_regular) {
    // The directory has said what the entry is: it is opened at once, with
    // no status call. Gone since (ENOENT): not found; otherwise the reader
    // opens it again and reports why it cannot.
    const char* name = found->path.c_str() + found->path.size() - file_name.size();
    found->fd = listing->fd >= 0 ? open_module_file(listing->fd, name)
                                 : open_module_file(found->path.c_str());
    if (found->fd < 0 && errno == EMFILE && listing->fd >= 0) {
      // Short of descriptors: the directory's own gives way, its listing stays.
      close(listing->fd);
      listing->fd = -1;
      found->fd = open_module_file(found->path.c_str());
    }
    return found->fd >= 0 || errno != ENOENT;
  }
  // Anything else is looked at before it is opened: a device or a FIFO
  // named like a module file is never opened by a search.
  struct stat st;
  return stat(found->path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void join_entry_path(std::string_view dir, std::string_view name, std::string* out) {
  size_t lead = 0;
  while (lead < dir.size() && dir[lead] == '/') ++lead;
  size_t end = dir.size();
  while (end > lead && dir[end - 1] == '/') --end;
  out->assign(dir.substr(0, lead));
  if (end > lead) out->append(dir.substr(lead, end - lead)).push_back('/');
  out->append(name);
}

std::string_view path_base_name(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string path_dir_name(std::string_view path) {
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  while (slash > 0 && path[slash] == '/') --slash;
  return std::string(path.substr(0, slash + 1));
}
