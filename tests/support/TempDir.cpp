#include "support/TempDir.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h> // mkdtemp on macOS

namespace cairnmoor::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "cairnmoor-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("mkdtemp failed");
}

fs::path TempDir::write(std::string_view relative, std::string_view contents) const {
    const fs::path target = path_ / relative;
    fs::create_directories(target.parent_path());
    return std::ofstream(target, std::ios::binary) << contents
               ? target
               : throw std::runtime_error("cannot write " + target.string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {})
              : throw std::runtime_error("cannot read " + path.string());
}

} // namespace cairnmoor::testing
