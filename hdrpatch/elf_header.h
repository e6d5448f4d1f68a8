// Checking and rewriting one ELF header in place.
#pragma once
#include <cstddef>
#include <cstdint>

#include "hdrpatch/edit_file.h"

uint64_t read_field_le(const unsigned char* field, int size);
uint64_t read_field_be(const unsigned char* field, int size);
void write_field_le(unsigned char* field, uint64_t value, int size);
void write_field_be(unsigned char* field, uint64_t value, int size);

// Edits the header at the file's position; at most `available` bytes from there
// belong to the ELF file (the member's size inside an archive). Returns 0 when
// the header needed no change or was rewritten, 1 on any failure.
int edit_header(const char* name, EditFile* file, uint64_t available);
