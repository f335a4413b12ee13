#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexora {

// Local calendar date and time.
struct LocalDateTime {
    int year = 1;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// What the program needs from the operating system: clock, tone, tick counter and
// a few file-system calls. Tests derive from SystemPlatform to inject a clock or to
// observe tones and failing writes.
class PlatformServices {
public:
    virtual ~PlatformServices() = default;
    // Current local date and time.
    virtual LocalDateTime now() = 0;
    // Monotonic millisecond counter.
    virtual std::uint64_t tickMs() = 0;
    // Plays a tone and returns when it has sounded (best effort).
    virtual void beep(unsigned frequencyHz, unsigned durationMs) = 0;
    virtual bool fileExists(const std::string& path) = 0;
    virtual bool directoryExists(const std::string& path) = 0;
    // Creates a folder with its missing parents; hiddenSystem asks for the hidden and
    // system attributes (Windows only; ignored elsewhere).
    virtual bool createDirectories(const std::string& path, bool hiddenSystem) = 0;
    // Appends bytes to a file, creating it when missing.
    virtual bool appendToFile(const std::string& path, std::string_view bytes) = 0;
    virtual bool removeFile(const std::string& path) = 0;
};

// The real operating system.
class SystemPlatform : public PlatformServices {
public:
    LocalDateTime now() override;
    std::uint64_t tickMs() override;
    void beep(unsigned frequencyHz, unsigned durationMs) override;
    bool fileExists(const std::string& path) override;
    bool directoryExists(const std::string& path) override;
    bool createDirectories(const std::string& path, bool hiddenSystem) override;
    bool appendToFile(const std::string& path, std::string_view bytes) override;
    bool removeFile(const std::string& path) override;
};

// Folder of the running executable, with trailing separator.
std::string executableFolder();
// Full path of the running executable.
std::string executablePath();
// The path separator of this system as text.
std::string_view pathSeparator();
// Appends a separator unless the path already ends with one.
std::string withTrailingSeparator(std::string path);

}  // namespace vexora
