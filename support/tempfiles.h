// Temporary files for intermediate pipeline output.
#pragma once

// The temporary directory, chosen once per process; ends in "/".
const char* temp_directory();
// A new empty file named directory + prefix + six random characters + suffix.
// Aborts when the file cannot be created.
char* temp_file_create(const char* prefix, const char* suffix);
char* temp_file_create_suffixed(const char* suffix);
