#include "query/module_dirs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "query/query.h"

namespace {

// Questions answered by stat before a directory is read whole: a small query
// costs a stat or two, a large one one pass over the directory.
constexpr int kQuestionsBeforeListing = 16;

// The ".mq" entries of one directory: names packed in one buffer, found
// through an open-addressing table of their offsets.
struct DirIndex {
  int questions = 0;
  bool listed = false;
  bool unlistable = false;
  // Each entry: its type from the directory (DT_UNKNOWN or a link leaves the
  // answer to stat), the name's length, the name.
  std::string names;
  std::vector<uint32_t> slots;  // offset + 1 into `names`; 0 is empty

  std::string_view name_at(uint32_t offset) const {
    const auto length = static_cast<unsigned char>(names[offset + 1]) |
                        static_cast<size_t>(static_cast<unsigned char>(names[offset + 2])) << 8;
    return std::string_view(names).substr(offset + 3, length);
  }
  // The slot holding `name`, or the empty slot where it would go.
  uint32_t& slot_for(std::string_view name) {
    size_t i = std::hash<std::string_view>{}(name) & (slots.size() - 1);
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

bool stat_says_regular(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string module_file_path(size_t dir_index, std::string_view file_name) {
  std::string path;
  path.reserve(search_path[dir_index].size() + 1 + file_name.size());
  path.append(search_path[dir_index]).append("/").append(file_name);
  return path;
}

bool module_file_present(size_t dir_index, std::string_view file_name) {
  // A name with a "/" reaches into a subdirectory: only stat can tell.
  if (file_name.find('/') != std::string_view::npos)
    return stat_says_regular(module_file_path(dir_index, file_name));
  if (dir_indexes.size() < search_path.size()) dir_indexes.resize(search_path.size());
  DirIndex& index = dir_indexes[dir_index];
  if (!index.listed && !index.unlistable && ++index.questions > kQuestionsBeforeListing)
    list_directory(&index, search_path[dir_index]);
  if (!index.listed) return stat_says_regular(module_file_path(dir_index, file_name));
  const uint32_t slot = index.slot_for(file_name);
  if (slot == 0) return false;
  return static_cast<unsigned char>(index.names[slot - 1]) == DT_REG ||
         stat_says_regular(module_file_path(dir_index, file_name));
}
