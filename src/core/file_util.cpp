#include "core/file_util.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#ifndef _WIN32
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

}  // namespace

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
#else
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            setError(error, "Impossibile scrivere il file " + path);
            return false;
        }
    }
#endif
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        setError(error, "Impossibile sostituire il file " + path + ": " + ec.message());
        return false;
    }
    return true;
}

std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes,
                                         std::string* error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        setError(error, "File non trovato: " + path);
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        setError(error, "Impossibile leggere il file " + path + ": " + ec.message());
        return std::nullopt;
    }
    if (size > maxBytes) {
        setError(error, "File troppo grande: " + path);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
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
