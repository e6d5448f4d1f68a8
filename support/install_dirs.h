// Folders of an installation, found from where the running program is, so
// that an install under any prefix (or one moved after installing) finds its
// own data.
#pragma once

#include <string>

// The folder holding the running program's executable, resolved through
// /proc/self/exe (links followed). Empty when it cannot be read.
std::string running_program_folder();

// FROM_BIN (a path relative to the program's folder, such as
// "../share/locale") when that names an existing folder, else FALLBACK, the
// folder fixed when the program was built.
std::string installed_folder(const char* from_bin, const char* fallback);
