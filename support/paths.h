// Last component of a path; nothing is allocated.
#pragma once

const char* path_last_component(const char* path);
const char* path_last_component_dos(const char* path);
