#include "query/module_dirs.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "query/descriptor_batch.h"
#include "query/query.h"

namespace {

// Questions answered by stat before a directory is read whole: a small query
// costs a stat or two, a large one one pass over the directory, after which
// a name it lacks (each module's "-uninstalled" form, for one) costs no
// system call and a regular file it has is opened at once.
constexpr int kQuestionsBeforeListing = 16;

// The ".mq" entries of one directory and their types, by name; the names
// are views into one buffer (a vector: moving the index keeps it in place),
// which is complete before the table is built.
struct DirIndex {
  int questions = 0;
  bool listed = false;
  bool unlistable = false;
  std::vector<char> names;
  ViewTable<unsigned char> types;
};

std::vector<DirIndex> dir_indexes;

void list_directory(DirIndex* index, const std::string& dir) {
  // The same folder the lookup's paths name: "dir/" + file.
  std::unique_ptr<DIR, int (*)(DIR*)> stream(opendir((dir + "/").c_str()), closedir);
  if (!stream) {
    index->unlistable = true;
    return;
  }
  struct Entry {
    size_t offset, length;
    unsigned char type;
  };
  std::vector<Entry> entries;
  while (const dirent* entry = readdir(stream.get())) {
    const std::string_view name(entry->d_name);
    if (name.size() <= 3 || name.substr(name.size() - 3) != ".mq") continue;
    entries.push_back({index->names.size(), name.size(), entry->d_type});
    index->names.insert(index->names.end(), name.begin(), name.end());
  }
  index->types.reserve(entries.size());
  for (const Entry& e : entries)
    index->types.insert(std::string_view(index->names.data() + e.offset, e.length), e.type);
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
  bool listed_regular = false;
  if (indexable) {
    if (dir_indexes.size() < search_path.size()) dir_indexes.resize(search_path.size());
    DirIndex& index = dir_indexes[dir_index];
    if (!index.listed && !index.unlistable && ++index.questions > kQuestionsBeforeListing)
      list_directory(&index, search_path[dir_index]);
    if (index.listed) {
      const unsigned char* type = index.types.find(file_name);
      if (type == nullptr) return false;
      listed_regular = *type == DT_REG;
    }
  }
  found->path = module_file_path(dir_index, file_name);
  if (listed_regular) {
    // The directory has said what the entry is: it is opened at once, with
    // no status call. Gone since (ENOENT): not found; otherwise the reader
    // opens it again and reports why it cannot.
    found->fd = open_module_file(found->path.c_str());
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
