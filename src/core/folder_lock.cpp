#include "core/folder_lock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "core/file_util.h"
#include "core/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace vexora {
namespace {

// The holder writes its process id as decimal text at the start of the lock file.
long parseHolder(const char* text, std::size_t size) {
    long pid = 0;
    for (std::size_t i = 0; i < size && text[i] >= '0' && text[i] <= '9' && pid < 100000000; ++i)
        pid = pid * 10 + (text[i] - '0');
    return pid;
}

#ifdef _WIN32
// A byte far past the process id: the lock covers it alone, so the id stays readable.
constexpr DWORD kLockedByteHigh = 0;
constexpr DWORD kLockedByteLow = 0x40000000;
#endif

}  // namespace

std::vector<std::string> FolderLock::removeLeftoverTemporaries() const {
    std::vector<std::string> removed;
    if (!held())
        return removed;
    // What the program saves into its folder, by extension.
    static constexpr std::string_view kSaved[] = {".qxd", ".ini", ".xml", ".xmb",
                                                  ".pdf", ".txt", ".rav"};
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(pathFromUtf8(folder_), ec)) {
        const std::string name = utf8FromPath(entry.path().filename());
        const auto target = saveTargetOfTemporary(name);
        if (!target || target->size() < 5 || !entry.is_regular_file(ec))
            continue;
        std::string ext(target->substr(target->size() - 4));
        for (char& c : ext)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (std::find(std::begin(kSaved), std::end(kSaved), ext) == std::end(kSaved))
            continue;
        if (std::filesystem::remove(entry.path(), ec))
            removed.push_back(name);
    }
    return removed;
}

std::string folderInUseMessage(std::string_view folder, long holderProcess) {
    std::string text = "Vexora \u00e8 gi\u00e0 in uso su questa cartella: ";
    text += folder;
    if (holderProcess > 0)
        text += " (processo " + std::to_string(holderProcess) + ")";
    text += ". Chiudere l'altro programma Vexora e riprovare.";
    return text;
}

std::string FolderLock::refusalMessage() const {
    return folderInUseMessage(folder_, holder_);
}

#ifndef _WIN32

FolderLock::FolderLock(std::string folder) : folder_(std::move(folder)) {
    const std::string path = withTrailingSeparator(folder_) + std::string(kFolderLockFileName);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        detail_ = std::strerror(errno);
        return;
    }
#ifdef F_OFD_SETLK
    // An open-file-description lock: it belongs to this open file, so a second one in
    // the same process is refused too, and it reaches NFS servers as a POSIX lock.
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    const int r = ::fcntl(fd_, F_OFD_SETLK, &fl);
#else
    const int r = ::flock(fd_, LOCK_EX | LOCK_NB);
#endif
    if (r != 0) {
        const int e = errno;
        if (e == EAGAIN || e == EACCES || e == EWOULDBLOCK) {
            state_ = State::InUse;
            char text[24] = {};
            const ssize_t n = ::pread(fd_, text, sizeof text, 0);
            holder_ = n > 0 ? parseHolder(text, static_cast<std::size_t>(n)) : 0;
        } else {
            detail_ = std::strerror(e);
        }
        ::close(fd_);
        fd_ = -1;
        return;
    }
    state_ = State::Held;
    const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
    if (::ftruncate(fd_, 0) != 0 ||
        ::pwrite(fd_, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        // The id only helps the message of the program refused; the lock holds without it.
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0)
        ::close(fd_);  // releases the lock
}

#else

FolderLock::FolderLock(std::string folder) : folder_(std::move(folder)) {
    const std::string path = withTrailingSeparator(folder_) + std::string(kFolderLockFileName);
    const HANDLE h = ::CreateFileW(pathFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        detail_ = "errore " + std::to_string(::GetLastError());
        return;
    }
    OVERLAPPED at{};
    at.Offset = kLockedByteLow;
    at.OffsetHigh = kLockedByteHigh;
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) {
            state_ = State::InUse;
            char text[24] = {};
            DWORD n = 0;
            OVERLAPPED start{};
            if (::ReadFile(h, text, sizeof text, &n, &start))
                holder_ = parseHolder(text, n);
        } else {
            detail_ = "errore " + std::to_string(e);
        }
        ::CloseHandle(h);
        return;
    }
    handle_ = h;
    state_ = State::Held;
    const std::string pid = std::to_string(static_cast<long>(::GetCurrentProcessId())) + "\r\n";
    DWORD n = 0;
    OVERLAPPED start{};
    if (::WriteFile(h, pid.data(), static_cast<DWORD>(pid.size()), &n, &start)) {
        ::SetFilePointer(h, static_cast<LONG>(pid.size()), nullptr, FILE_BEGIN);
        ::SetEndOfFile(h);
    }
}

FolderLock::~FolderLock() {
    if (handle_)
        ::CloseHandle(static_cast<HANDLE>(handle_));  // releases the lock
}

#endif

}  // namespace vexora
