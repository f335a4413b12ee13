#include "core/platform.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

#include "core/file_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vexora {

LocalDateTime SystemPlatform::now() {
    const auto tp = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(tp);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(tp.time_since_epoch()) % 1000;
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
            static_cast<int>(ms.count())};
}

std::uint64_t SystemPlatform::tickMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void SystemPlatform::beep(unsigned frequencyHz, unsigned durationMs) {
#ifdef _WIN32
    ::Beep(frequencyHz, durationMs);
#else
    // No portable tone generator: keep the timing so callers behave the same.
    (void)frequencyHz;
    std::this_thread::sleep_for(std::chrono::milliseconds(durationMs));
#endif
}

bool SystemPlatform::fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(pathFromUtf8(path), ec);
}

bool SystemPlatform::directoryExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(pathFromUtf8(path), ec);
}

bool SystemPlatform::createDirectories(const std::string& path, bool hiddenSystem) {
    const std::filesystem::path folder = pathFromUtf8(path);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec))
        return false;
#ifdef _WIN32
    if (hiddenSystem) {
        // Attribute value 6; without it the folder is merely visible, so failure is ignored.
        ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    }
#else
    (void)hiddenSystem;
#endif
    return true;
}

bool SystemPlatform::appendToFile(const std::string& path, std::string_view bytes) {
    // Binary: the caller's CR LF line ends reach the file unchanged on every system.
    std::ofstream out(pathFromUtf8(path), std::ios::binary | std::ios::app);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

bool SystemPlatform::removeFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::remove(pathFromUtf8(path), ec);
}

std::string executablePath() {
#ifdef _WIN32
    wchar_t buf[32768];
    const DWORD n = ::GetModuleFileNameW(nullptr, buf, 32768);
    return utf8FromPath(std::filesystem::path(std::wstring(buf, n)));
#else
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
#endif
}

std::string_view pathSeparator() {
#ifdef _WIN32
    return "\\";
#else
    return "/";
#endif
}

std::string withTrailingSeparator(std::string path) {
    if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += pathSeparator();
    return path;
}

std::string executableFolder() {
    const std::string exe = executablePath();
    if (exe.empty())
        return withTrailingSeparator(utf8FromPath(std::filesystem::current_path()));
    return withTrailingSeparator(utf8FromPath(pathFromUtf8(exe).parent_path()));
}

}  // namespace vexora
