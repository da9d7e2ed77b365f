// Whole files as bytes, for tests that check what was written.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kadrovix::testing {

// The file's bytes; empty when it cannot be read.
inline std::string read_bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace kadrovix::testing
