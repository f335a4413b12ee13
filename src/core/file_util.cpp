#include "core/file_util.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexora {
namespace {

void setError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
}

std::string temporaryNameBeside(const std::string& path) {
    std::random_device rd;
    char suffix[16];
    // saveTargetOfTemporary recognises this form.
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", rd());
    return path + suffix;
}

}  // namespace

std::optional<std::string_view> saveTargetOfTemporary(std::string_view fileName) {
    constexpr std::size_t kSuffix = 1 + 8 + 4;  // ".%08x.tmp"
    if (fileName.size() <= kSuffix || fileName.substr(fileName.size() - 4) != ".tmp" ||
        fileName[fileName.size() - kSuffix] != '.')
        return std::nullopt;
    for (std::size_t i = fileName.size() - kSuffix + 1; i < fileName.size() - 4; ++i) {
        const char c = fileName[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    }
    return fileName.substr(0, fileName.size() - kSuffix);
}

namespace {

#ifdef _WIN32
// The system's text for a Windows error code, as UTF-8 without the trailing line end.
std::string windowsErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = n ? utf8FromPath(std::filesystem::path(std::wstring(buffer, n)))
                         : "error " + std::to_string(code);
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}
#endif

// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("\\/");
#else
    const std::size_t slash = path.rfind('/');
#endif
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

#ifndef _WIN32
std::string systemText(int code) {
    return std::strerror(code);
}

class PosixSaveSteps final : public SaveSteps {
public:
    ~PosixSaveSteps() override {
        if (fd_ >= 0)
            ::close(fd_);
    }

    std::string refusal(const std::string& target) override {
        struct stat st {};
        if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return {};
        // No write bit at all marks a file read-only even for root, who passes access().
        if ((st.st_mode & 0222) == 0)
            return "il file \u00e8 di sola lettura";
        if (::access(target.c_str(), W_OK) != 0)
            return systemText(errno);
        return {};
    }

    bool create(const std::string& temp, const std::string& target, std::string& why) override {
        fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            why = systemText(errno);
            return false;
        }
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::fchmod(fd_, st.st_mode & 07777) != 0) {
            // The new file keeps the default permissions; the content matters more.
        }
        return true;
    }

    std::size_t write(const char* data, std::size_t size, std::string& why) override {
        for (;;) {
            const ssize_t w = ::write(fd_, data, size);
            if (w > 0)
                return static_cast<std::size_t>(w);
            if (w < 0 && errno == EINTR)
                continue;
            why = w < 0 ? systemText(errno) : "nessun byte scritto";
            return 0;
        }
    }

    bool flush(std::string& why) override {
        if (::fsync(fd_) == 0)
            return true;
        why = systemText(errno);
        return false;
    }

    bool close(std::string& why) override {
        const int fd = fd_;
        fd_ = -1;
        if (fd < 0 || ::close(fd) == 0)
            return true;
        why = systemText(errno);
        return false;
    }

    bool replace(const std::string& from, const std::string& to, std::string& why) override {
        if (::rename(from.c_str(), to.c_str()) == 0)
            return true;
        why = systemText(errno);
        return false;
    }

    bool syncFolder(const std::string& folder, std::string& why) override {
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) {
            // A folder gone since the rename took the new file with it; one that only
            // cannot be opened for reading keeps it, unsynced.
            if (errno != ENOENT)
                return true;
            why = systemText(errno);
            return false;
        }
        bool ok = ::fsync(dir) == 0 || errno == EINVAL || errno == EROFS || errno == ENOTSUP;
        if (!ok)
            why = systemText(errno);
        ::close(dir);
        return ok;
    }

    void remove(const std::string& path) override { ::unlink(path.c_str()); }

private:
    int fd_ = -1;
};
#else
class WindowsSaveSteps final : public SaveSteps {
public:
    ~WindowsSaveSteps() override {
        if (h_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(h_);
    }

    std::string refusal(const std::string& target) override {
        const DWORD a = ::GetFileAttributesW(pathFromUtf8(target).c_str());
        if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) &&
            (a & FILE_ATTRIBUTE_READONLY))
            return "il file \u00e8 di sola lettura";
        return {};
    }

    bool create(const std::string& temp, const std::string&, std::string& why) override {
        h_ = ::CreateFileW(pathFromUtf8(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h_ != INVALID_HANDLE_VALUE)
            return true;
        why = windowsErrorText(::GetLastError());
        return false;
    }

    std::size_t write(const char* data, std::size_t size, std::string& why) override {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD w = 0;
        if (!::WriteFile(h_, data, chunk, &w, nullptr)) {
            why = windowsErrorText(::GetLastError());
            return 0;
        }
        if (w == 0)
            why = windowsErrorText(ERROR_WRITE_FAULT);
        return w;
    }

    // FlushFileBuffers is the fsync of Windows: the bytes are on disk before the rename.
    bool flush(std::string& why) override {
        if (::FlushFileBuffers(h_))
            return true;
        why = windowsErrorText(::GetLastError());
        return false;
    }

    bool close(std::string& why) override {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        if (h == INVALID_HANDLE_VALUE || ::CloseHandle(h))
            return true;
        why = windowsErrorText(::GetLastError());
        return false;
    }

    bool replace(const std::string& from, const std::string& to, std::string& why) override {
        if (::MoveFileExW(pathFromUtf8(from).c_str(), pathFromUtf8(to).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        why = windowsErrorText(::GetLastError());
        return false;
    }

    // MOVEFILE_WRITE_THROUGH has put the rename on the disk already.
    bool syncFolder(const std::string&, std::string&) override { return true; }

    void remove(const std::string& path) override { ::DeleteFileW(pathFromUtf8(path).c_str()); }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};
#endif

}  // namespace

std::unique_ptr<SaveSteps> systemSaveSteps() {
#ifdef _WIN32
    return std::make_unique<WindowsSaveSteps>();
#else
    return std::make_unique<PosixSaveSteps>();
#endif
}

std::filesystem::path pathFromUtf8(std::string_view utf8) {
#ifdef _WIN32
    if (utf8.empty() || utf8.size() > 0x7fffffff)
        return {};
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return std::filesystem::path(std::move(wide));
#else
    return std::filesystem::path(std::string(utf8));
#endif
}

std::string utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::wstring& wide = path.native();
    if (wide.empty() || wide.size() > 0x7fffffff)
        return {};
    const int size = static_cast<int>(wide.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
#else
    return path.native();
#endif
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    const std::unique_ptr<SaveSteps> steps = systemSaveSteps();
    return writeFileAtomically(path, bytes, error, *steps);
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         SaveSteps& steps) {
    const auto fail = [&](std::string_view what, const std::string& why) {
        setError(error, std::string(what) + path + ": " + why);
        return false;
    };
    if (const std::string refused = steps.refusal(path); !refused.empty())
        return fail("Impossibile sostituire il file ", refused);
    const std::string temp = temporaryNameBeside(path);
    std::string why;
    if (!steps.create(temp, path, why))
        return fail("Impossibile creare il file ", why);
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const std::size_t n = steps.write(bytes.data() + done, left, why);
        ok = n > 0;
        done += std::min(n, left);
    }
    if (ok && !steps.flush(why))
        ok = false;
    std::string closeWhy;
    if (!steps.close(closeWhy) && ok) {
        ok = false;
        why = closeWhy;
    }
    if (!ok) {
        steps.remove(temp);
        return fail("Impossibile scrivere il file ", why.empty() ? "scrittura interrotta" : why);
    }
    if (!steps.replace(temp, path, why)) {
        steps.remove(temp);
        return fail("Impossibile sostituire il file ", why);
    }
    if (!steps.syncFolder(folderOf(path), why))
        return fail("Impossibile registrare sul disco il file ", why);
    return true;
}

bool copyFileReplacing(const std::string& from, const std::string& to, std::size_t maxBytes) {
    const std::optional<std::string> bytes = readWholeFile(from, maxBytes);
    return bytes && writeFileAtomically(to, *bytes);
}

std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes,
                                         std::string* error) {
    const std::filesystem::path file = pathFromUtf8(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        setError(error, "File non trovato: " + path);
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) {
        setError(error, "Impossibile leggere il file " + path + ": " + ec.message());
        return std::nullopt;
    }
    if (size > maxBytes) {
        setError(error, "File troppo grande: " + path);
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        setError(error, "Impossibile aprire il file " + path);
        return std::nullopt;
    }
    std::string data(static_cast<std::size_t>(size), '\0');
    in.read(data.data(), static_cast<std::streamsize>(size));
    data.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        setError(error, "Impossibile leggere il file " + path);
        return std::nullopt;
    }
    return data;
}

}  // namespace vexora
