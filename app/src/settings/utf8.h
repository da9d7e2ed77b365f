// Strict UTF-8 validation for text read from files.
#pragma once

#include <string_view>

namespace kadrovix {

// True when `bytes` is well-formed UTF-8: shortest-form sequences only, no
// encoded surrogates (U+D800..U+DFFF), nothing above U+10FFFF, and no
// sequence cut short by the end of the input.
bool is_valid_utf8(std::string_view bytes) noexcept;

}  // namespace kadrovix
