// @file arguments: expansion, and the argument-vector helpers it is built from.
#pragma once
#include <cstdio>

// A null-terminated array of separately allocated strings.
using ArgVector = char**;

void expand_response_files(int* argc, char*** argv);
ArgVector split_into_arguments(const char* text);
ArgVector copy_argument_vector(const char* const* vector);
void free_argument_vector(ArgVector vector);
int count_arguments(const char* const* vector);
int write_argument_vector(const char* const* vector, FILE* stream);
