#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/platform.h"

namespace vexora::test {

// Whole file as bytes ("" when missing).
inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Writes bytes to a file, replacing it.
inline void writeBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Names of the entries of a folder, sorted.
inline std::vector<std::string> folderEntries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Real file system, fixed clock, recorded tones.
class FixedClockPlatform : public SystemPlatform {
public:
    LocalDateTime clock{2026, 3, 9, 17, 42, 3, 0};
    std::vector<std::pair<unsigned, unsigned>> tones;

    LocalDateTime now() override { return clock; }
    void beep(unsigned f, unsigned ms) override { tones.emplace_back(f, ms); }
};

}  // namespace vexora::test
