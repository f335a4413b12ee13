#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexora {

// Name of the lock file in the program folder.
inline constexpr std::string_view kFolderLockFileName = "Vexora.lock";

// Keeps a second Vexora program off a program folder while this object lives, so that
// two programs never interleave their saves of the same files. The lock is the system's
// own on the file "Vexora.lock" in the folder (an open-file-description lock on Linux,
// LockFileEx on Windows): the system drops it when the holder ends, however it ends, so
// a crash never leaves a stale lock. The file itself stays in the folder.
class FolderLock {
public:
    enum class State {
        Held,        // this object holds the folder
        InUse,       // another program (or another FolderLock) holds it
        Unavailable  // the lock file cannot be opened (a read-only folder, say)
    };

    // Tries to take the lock of folder (a path with or without trailing separator).
    explicit FolderLock(std::string folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    const std::string& folder() const { return folder_; }
    // The process id written by the holder into the lock file; 0 when unknown.
    long holderProcess() const { return holder_; }
    // The system's reason when Unavailable.
    const std::string& detail() const { return detail_; }

    // Removes the temporary files that saves killed mid-way (a crash, a power cut) left in
    // the folder: only names of the program's own saves (saveTargetOfTemporary of a
    // settings, table, XML, PDF, text or template file), and only while this object holds
    // the lock, so no save of a running program can be hit. The names removed.
    std::vector<std::string> removeLeftoverTemporaries() const;

    // The message for the user of a program that found the folder InUse.
    std::string refusalMessage() const;

private:
    std::string folder_;
    State state_ = State::Unavailable;
    long holder_ = 0;
    std::string detail_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// "Vexora è già in uso su questa cartella: <folder>" with the holder's process id when
// known, then what to do.
std::string folderInUseMessage(std::string_view folder, long holderProcess);

}  // namespace vexora
