// A flags field's value ("Libs", "Libs.private", "Cflags") as classified,
// shell-escaped flags.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "query/query.h"

std::string shell_escape(std::string_view text);

// Classify split flags arguments (not yet escaped) and add them, escaped,
// their texts kept in `texts`.
void classify_compile_args(const std::vector<std::string_view>& args, std::vector<FlagItem>* out,
                           TextStore* texts);
void classify_link_args(const std::vector<std::string_view>& args, std::vector<FlagItem>* out,
                        TextStore* texts);

// Splits an expanded flags value into words by the shell's rules, then
// classifies and adds them as above. False, after the message (through
// end_on_parse_error), when the value cannot be split; `field` names it.
bool add_flag_words(const char* field, std::string_view value, bool link,
                    std::vector<FlagItem>* out, TextStore* texts);
