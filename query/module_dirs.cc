#include "query/module_dirs.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "query/query.h"

namespace {

// Questions answered by opening before a directory is read whole: a small
// query costs an open or two, a large one one pass over the directory, after
// which a name it lacks (each module's "-uninstalled" form, for one) costs
// no system call.
constexpr int kQuestionsBeforeListing = 16;

// The ".mq" entries of one directory: names packed in one buffer, found
// through an open-addressing table of their offsets.
struct DirIndex {
  int questions = 0;
  bool listed = false;
  bool unlistable = false;
  // Each entry: its type from the directory, the name's length in two
  // bytes, then the name.
  std::string names;
  std::vector<uint32_t> slots;  // offset + 1 into `names`; 0 is empty

  std::string_view name_at(uint32_t offset) const {
    const auto length = static_cast<unsigned char>(names[offset + 1]) |
                        static_cast<size_t>(static_cast<unsigned char>(names[offset + 2])) << 8;
    return std::string_view(names).substr(offset + 3, length);
  }
  // The slot holding `name`, or the empty slot where it would go.
  uint32_t& slot_for(std::string_view name) {
    size_t i = TextHash{}(name) & (slots.size() - 1);
    while (slots[i] != 0 && name_at(slots[i] - 1) != name) i = (i + 1) & (slots.size() - 1);
    return slots[i];
  }
};

std::vector<DirIndex> dir_indexes;

void list_directory(DirIndex* index, const std::string& dir) {
  // The same folder the lookup's paths name: "dir/" + file.
  std::unique_ptr<DIR, int (*)(DIR*)> stream(opendir((dir + "/").c_str()), closedir);
  if (!stream) {
    index->unlistable = true;
    return;
  }
  std::vector<uint32_t> offsets;
  while (const dirent* entry = readdir(stream.get())) {
    const std::string_view name(entry->d_name);
    if (name.size() <= 3 || name.substr(name.size() - 3) != ".mq" || name.size() > 0xFFFF) continue;
    offsets.push_back(static_cast<uint32_t>(index->names.size()));
    index->names.push_back(static_cast<char>(entry->d_type));
    index->names.push_back(static_cast<char>(name.size() & 0xFF));
    index->names.push_back(static_cast<char>(name.size() >> 8));
    index->names.append(name);
  }
  size_t size = 16;
  while (size < offsets.size() * 2) size *= 2;
  index->slots.assign(size, 0);
  for (uint32_t offset : offsets) {
    uint32_t& slot = index->slot_for(index->name_at(offset));
    if (slot == 0) slot = offset + 1;
  }
  index->listed = true;
}

// Without blocking, and never as a controlling terminal, in case the entry
// was replaced by something else since the directory was read.
int open_module_file(const char* path) {
  return open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

}  // namespace

int open_listed_module_file(const char* path) {
  return open_module_file(path);
}

std::string module_file_path(size_t dir_index, std::string_view file_name) {
  std::string path;
  path.reserve(search_path[dir_index].size() + 1 + file_name.size());
  path.append(search_path[dir_index]).append("/").append(file_name);
  return path;
}

bool find_module_file(size_t dir_index, std::string_view file_name, FoundModuleFile* found) {
  *found = {};
  // A name with a "/" reaches into a subdirectory, which the index does not hold.
  const bool indexable = file_name.find('/') == std::string_view::npos;
  bool listed_regular = false;
  if (indexable) {
    if (dir_indexes.size() < search_path.size()) dir_indexes.resize(search_path.size());
    DirIndex& index = dir_indexes[dir_index];
    if (!index.listed && !index.unlistable && ++index.questions > kQuestionsBeforeListing)
      list_directory(&index, search_path[dir_index]);
    if (index.listed) {
      const uint32_t slot = index.slot_for(file_name);
      if (slot == 0) return false;
      listed_regular = static_cast<unsigned char>(index.names[slot - 1]) == DT_REG;
    }
  }
  const std::string path = module_file_path(dir_index, file_name);
  if (listed_regular) {
    // The directory has said what the entry is: it is opened at once, with
    // no status call. Gone since (ENOENT): not found; otherwise the reader
    // opens it again and reports why it cannot.
    found->fd = open_module_file(path.c_str());
    return found->fd >= 0 || errno != ENOENT;
  }
  // Anything else is looked at before it is opened: a device or a FIFO
  // named like a module file is never opened by a search.
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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
