#include "query/module_dirs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "query/query.h"

namespace {

// Questions answered by stat before a directory is read whole: a small query
// costs a stat or two, a large one one pass over the directory.
constexpr int kQuestionsBeforeListing = 16;

struct DirIndex {
  int questions = 0;
  bool listed = false;
  bool unlistable = false;
  // Each ".mq" entry with its type from the directory (DT_UNKNOWN or a link
  // leaves the answer to stat).
  std::unordered_map<std::string, unsigned char, TextHash, std::equal_to<>> entries;
};

std::vector<DirIndex> dir_indexes;

void list_directory(DirIndex* index, const std::string& dir) {
  // The same folder the lookup's paths name: "dir/" + file.
  std::unique_ptr<DIR, int (*)(DIR*)> stream(opendir((dir + "/").c_str()), closedir);
  if (!stream) {
    index->unlistable = true;
    return;
  }
  while (const dirent* entry = readdir(stream.get())) {
    const std::string_view name(entry->d_name);
    if (name.size() > 3 && name.substr(name.size() - 3) == ".mq")
      index->entries.emplace(name, entry->d_type);
  }
  index->listed = true;
}

bool stat_says_regular(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool module_file_present(size_t dir_index, const std::string& path, std::string_view file_name) {
  // A name with a "/" reaches into a subdirectory: only stat can tell.
  if (file_name.find('/') != std::string_view::npos) return stat_says_regular(path);
  if (dir_indexes.size() < search_path.size()) dir_indexes.resize(search_path.size());
  DirIndex& index = dir_indexes[dir_index];
  if (!index.listed && !index.unlistable && ++index.questions > kQuestionsBeforeListing)
    list_directory(&index, search_path[dir_index]);
  if (!index.listed) return stat_says_regular(path);
  auto it = index.entries.find(file_name);
  if (it == index.entries.end()) return false;
  return it->second == DT_REG || stat_says_regular(path);
}
