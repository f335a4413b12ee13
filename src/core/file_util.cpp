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
#include <unistd.h>
#endif

namespace vexora {
namespace {

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string temporaryNameBeside(const std::string& path) {
    std::random_device rd;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", rd());
    return path + suffix;
}

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

}  // namespace

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
    const std::string tmp = temporaryNameBeside(path);
#ifndef _WIN32
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        setError(error, "Impossibile creare il file " + tmp + ": " + std::strerror(errno));
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            setError(error, "Impossibile scrivere il file " + path + ": " + std::strerror(e));
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int e = errno;
        ::unlink(tmp.c_str());
        setError(error, "Impossibile scrivere il file " + path + ": " + std::strerror(e));
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        setError(error, "Impossibile sostituire il file " + path + ": " + ec.message());
        return false;
    }
#else
    const std::filesystem::path target = pathFromUtf8(path);
    const std::filesystem::path temp = pathFromUtf8(tmp);
    const HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        setError(error,
                 "Impossibile creare il file " + tmp + ": " + windowsErrorText(::GetLastError()));
        return false;
    }
    std::size_t done = 0;
    bool written = true;
    while (written && done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD w = 0;
        written = ::WriteFile(h, bytes.data() + done, chunk, &w, nullptr) && w > 0;
        done += w;
    }
    // FlushFileBuffers is the fsync of Windows: the bytes are on disk before the rename.
    written = written && ::FlushFileBuffers(h);
    DWORD writeError = written ? 0 : ::GetLastError();
    if (!::CloseHandle(h) && written)
        writeError = ::GetLastError();
    if (writeError || !written) {
        ::DeleteFileW(temp.c_str());
        setError(error, "Impossibile scrivere il file " + path + ": " +
                            windowsErrorText(writeError ? writeError : ERROR_WRITE_FAULT));
        return false;
    }
    if (!::MoveFileExW(temp.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD e = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        setError(error, "Impossibile sostituire il file " + path + ": " + windowsErrorText(e));
        return false;
    }
#endif
    return true;
}

bool copyFileReplacing(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return ::CopyFileW(pathFromUtf8(from).c_str(), pathFromUtf8(to).c_str(), FALSE);
#else
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    return !ec;
#endif
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
