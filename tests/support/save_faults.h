#pragma once

// Real faults for the saves of the program's files (POSIX only): a disk that fills at a
// chosen byte, a small tmpfs that is full or read-only, and child processes killed in
// the middle of their saves.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexora::test {

// Names of the temporary files of interrupted or failed saves in a folder.
inline std::vector<std::string> temporaryFilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
            names.push_back(name);
    }
    return names;
}

// While it lives, no file this process writes grows past `bytes`: the write that would
// fails at exactly that byte (EFBIG), as on a disk that is full there. Root is held to
// it too, which permission bits cannot do.
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::size_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &oldAction_);
        rlimit limit = old_;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::sigaction(SIGXFSZ, &oldAction_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    struct sigaction oldAction_ {};
};

// A small tmpfs mounted on a folder, in a mount namespace of this process's own, so the
// mount goes with the process whatever happens. Needs root (CI runs as root); where the
// system refuses, available() is false and why() says why.
class ScratchDisk {
public:
    ScratchDisk(std::filesystem::path where, std::size_t bytes) : where_(std::move(where)) {
        std::filesystem::create_directories(where_);
        options_ = "size=" + std::to_string(bytes) + ",mode=0777";
        if (::geteuid() != 0) {
            why_ = "not running as root";
        } else if (::unshare(CLONE_NEWNS) != 0) {
            why_ = std::string("unshare: ") + std::strerror(errno);
        } else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            why_ = std::string("private mounts: ") + std::strerror(errno);
        } else if (::mount("tmpfs", where_.c_str(), "tmpfs", 0, options_.c_str()) != 0) {
            why_ = std::string("mount tmpfs: ") + std::strerror(errno);
        } else {
            mounted_ = true;
        }
    }
    ~ScratchDisk() {
        if (mounted_)
            ::umount2(where_.c_str(), MNT_DETACH);
    }
    ScratchDisk(const ScratchDisk&) = delete;
    ScratchDisk& operator=(const ScratchDisk&) = delete;

    bool available() const { return mounted_; }
    const std::string& why() const { return why_; }
    const std::filesystem::path& path() const { return where_; }

    // Takes every free byte with a filler file; unfill() gives them back.
    void fill() {
        const int fd = ::open((where_ / ".filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        static const char block[4096] = {};
        while (::write(fd, block, sizeof block) > 0) {
        }
        while (::write(fd, block, 1) > 0) {
        }
        ::close(fd);
    }
    void unfill() { ::unlink((where_ / ".filler").c_str()); }
    // Remounts the disk read-only or writable again; false when refused.
    bool setReadOnly(bool readOnly) {
        return ::mount(nullptr, where_.c_str(), nullptr, MS_REMOUNT | (readOnly ? MS_RDONLY : 0),
                       options_.c_str()) == 0;
    }

private:
    std::filesystem::path where_;
    std::string options_;
    std::string why_;
    bool mounted_ = false;
};

// What the kills did: rounds run, kills that fell inside a save, kills that fell while
// a temporary file existed (between its creation and its rename: counted, and removed,
// after the round), and whether the kill points were system calls.
struct KillTally {
    int rounds = 0;
    int midSave = 0;
    int leftTemporaries = 0;
    bool atSystemCalls = false;
    long systemCallsOfTwoSaves = 0;
};

namespace detail {

// The child of a kill round: saves without end, writing 'b' before and 'e' after each
// save. A traced child stops first, for its parent to take over.
[[noreturn]] inline void saveForever(int marks, bool traced, int round,
                                     const std::function<void(int)>& save) {
    if (traced && (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0 || ::raise(SIGSTOP) != 0))
        ::_exit(5);
    for (int i = 1;; ++i) {
        if (::write(marks, "b", 1) != 1)
            ::_exit(4);
        try {
            save(round * 1000 + i);
        } catch (...) {
            ::_exit(3);
        }
        if (::write(marks, "e", 1) != 1)
            ::_exit(4);
    }
}

// Runs a traced child (stopped at its start) up to the entry of its k-th system call,
// where it stays, the call not made. With k 0 it runs until `marks` holds two 'e': the
// number of system calls of two saves is returned. -1 when the child cannot be traced.
inline long runToSystemCall(pid_t child, long k, int marks) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFSTOPPED(status))
        return -1;
    if (::ptrace(PTRACE_SETOPTIONS, child, nullptr,
                 reinterpret_cast<void*>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL)) != 0)
        return -1;
    long entries = 0;
    int saves = 0;
    bool inCall = false;
    long deliver = 0;
    for (;;) {
        if (::ptrace(PTRACE_SYSCALL, child, nullptr, reinterpret_cast<void*>(deliver)) != 0 ||
            ::waitpid(child, &status, 0) != child || !WIFSTOPPED(status))
            return -1;
        deliver = 0;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            deliver = WSTOPSIG(status);  // a signal of the child's own: passed on
            continue;
        }
        inCall = !inCall;
        if (inCall && ++entries == k)
            return entries;
        if (k == 0 && !inCall) {
            char c = 0;
            while (::read(marks, &c, 1) == 1)
                saves += c == 'e';
            if (saves >= 2)
                return entries;
        }
    }
}

}  // namespace detail

// Runs `rounds` children one after the other. Each calls save(version) with growing
// versions without end and is killed (SIGKILL) within its first two saves: just before
// one of their system calls, the only points where files change, taken in random order
// until each has been used, when the child can be traced (ptrace); otherwise at a
// random moment. After every kill check() tells
// what is wrong with the files (empty when they are whole and readable); the first
// problem fails the test and ends the rounds.
inline KillTally killDuringSaves(int rounds, unsigned seed, const std::filesystem::path& folder,
                                 const std::function<void(int version)>& save,
                                 const std::function<std::string()>& check) {
    using Clock = std::chrono::steady_clock;
    // The first save may create the file and load what it needs; it is not measured.
    save(1);
    const auto t0 = Clock::now();
    for (int v = 2; v <= 4; ++v)
        save(v);
    const auto oneSave = (Clock::now() - t0) / 3;

    const auto start = [&](int round, bool traced, int marks[2]) {
        if (::pipe(marks) != 0)
            return pid_t{-1};
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(marks[0]);
            detail::saveForever(marks[1], traced, round, save);
        }
        ::close(marks[1]);
        return child;
    };
    const auto finish = [](pid_t child) {
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    };

    KillTally tally;
    // How many system calls two saves make, from one traced child run through them.
    long callsOfTwoSaves = 0;
    {
        int marks[2];
        const pid_t child = start(0, true, marks);
        if (child > 0) {
            ::fcntl(marks[0], F_SETFL, O_NONBLOCK);
            callsOfTwoSaves = detail::runToSystemCall(child, 0, marks[0]);
            finish(child);
            ::close(marks[0]);
        }
    }
    tally.atSystemCalls = callsOfTwoSaves > 0;
    tally.systemCallsOfTwoSaves = callsOfTwoSaves;

    // Every system call of the two saves is a kill point, in random order, before any
    // is used twice.
    std::mt19937 rng(seed);
    std::vector<long> points;
    for (long k = 1; k <= callsOfTwoSaves; ++k)
        points.push_back(k);
    std::shuffle(points.begin(), points.end(), rng);
    std::uniform_int_distribution<long long> delay(0, 2 * oneSave.count() + 1);
    for (int r = 1; r <= rounds; ++r) {
        int marks[2];
        const pid_t child = start(r, tally.atSystemCalls, marks);
        if (child < 0) {
            ADD_FAILURE() << "cannot start a saving child: " << std::strerror(errno);
            break;
        }
        std::string seen;
        if (tally.atSystemCalls) {
            const long k = points[static_cast<std::size_t>(r - 1) % points.size()];
            if (detail::runToSystemCall(child, k, marks[0]) < 0) {
                finish(child);
                ::close(marks[0]);
                ADD_FAILURE() << "round " << r << ": the traced child ended by itself";
                break;
            }
        } else {
            // The clock starts when the child begins its first save.
            char c = 0;
            if (::read(marks[0], &c, 1) == 1)
                seen += c;
            const auto killAt = Clock::now() + Clock::duration(delay(rng));
            while (Clock::now() < killAt) {
            }
        }
        const bool killed = finish(child);
        char buffer[256];
        for (ssize_t n; (n = ::read(marks[0], buffer, sizeof buffer)) > 0;)
            seen.append(buffer, static_cast<std::size_t>(n));
        ::close(marks[0]);
        if (!killed) {
            ADD_FAILURE() << "round " << r << ": the saving child ended by itself";
            break;
        }
        ++tally.rounds;
        if (!seen.empty() && seen.back() == 'b')
            ++tally.midSave;
        const std::string problem = check();
        if (!problem.empty()) {
            ADD_FAILURE() << "round " << r << " (killed after " << seen.size() / 2
                          << " saves): " << problem;
            break;
        }
        for (const std::string& name : temporaryFilesIn(folder)) {
            ++tally.leftTemporaries;
            std::filesystem::remove(folder / name);
        }
    }
    return tally;
}

// One kind of file the program rewrites, as the fault cases below drive it.
class SavedFile {
public:
    virtual ~SavedFile() = default;
    // The file, in the folder the kind was made for.
    virtual std::string file() const = 0;
    // Saves version v (1, 2, ...) the program's way: "" when it succeeded, otherwise the
    // message the user got.
    virtual std::string save(int v) = 0;
    // What is wrong with the files on disk: "" when they are whole, readable and each of
    // one version.
    virtual std::string check() = 0;
};
// Makes a kind's file (and what it needs) in a folder.
using SavedFileMaker = std::function<std::unique_ptr<SavedFile>(const std::filesystem::path&)>;

inline std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A save that failed: it said so naming the file, and left the file as it was.
inline void expectRefusedSave(SavedFile& f, const std::string& message, const std::string& before,
                              const std::filesystem::path& folder, const std::string& fault) {
    EXPECT_NE(message, "") << fault << ": the save reported success";
    // A renderer writes beside an existing output under a free name ("X (2).pdf"): the
    // message names the target's stem either way.
    const std::filesystem::path target(f.file());
    EXPECT_NE(message.find((target.parent_path() / target.stem()).string()), std::string::npos)
        << fault << ": the message does not name the file: " << message;
    EXPECT_EQ(bytesOf(f.file()), before) << fault << ": the file changed";
    EXPECT_EQ(temporaryFilesIn(folder), std::vector<std::string>{}) << fault;
}

// The disk full at sampled bytes of the new file (every byte of the first 64, then 64
// more spread over the file): every save that does not fit is refused.
inline int expectFullDiskAtAnyByteRefused(const SavedFileMaker& make,
                                          const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    auto f = make(folder);
    EXPECT_EQ(f->save(1), "");
    const std::string before = bytesOf(f->file());
    std::vector<std::size_t> limits;
    for (std::size_t b = 0; b < 64 && b < before.size(); ++b)
        limits.push_back(b);
    for (std::size_t k = 1; k <= 64; ++k)
        limits.push_back(before.size() * k / 66);
    int refused = 0;
    for (const std::size_t limit : limits) {
        std::string message;
        {
            const FileSizeLimit full(limit);
            message = f->save(2);
        }
        if (message.empty()) {
            // Only a version that fits may have been written.
            EXPECT_LE(bytesOf(f->file()).size(), limit);
            EXPECT_EQ(f->check(), "") << "limit " << limit;
            return refused;
        }
        ++refused;
        expectRefusedSave(*f, message, before, folder,
                          "disk full at byte " + std::to_string(limit));
        if (testing::Test::HasFailure())
            return refused;
    }
    EXPECT_EQ(f->save(3), "");
    EXPECT_EQ(f->check(), "");
    testing::Test::RecordProperty("refused_saves", refused);
    return refused;
}

// A real full disk: a tmpfs whose every byte is taken.
inline void expectFullScratchDiskRefused(const SavedFileMaker& make,
                                         const std::filesystem::path& folder) {
    ScratchDisk disk(folder, std::size_t{8} << 20);
    if (!disk.available())
        GTEST_SKIP() << "no tmpfs for a full disk: " << disk.why();
    auto f = make(folder);
    ASSERT_EQ(f->save(1), "");
    const std::string before = bytesOf(f->file());
    disk.fill();
    expectRefusedSave(*f, f->save(2), before, folder, "full tmpfs");
    disk.unfill();
    EXPECT_EQ(f->save(3), "");
    EXPECT_EQ(f->check(), "");
}

// A read-only folder: a tmpfs remounted read-only (as root), or the folder's write bits
// taken away (for other users).
inline void expectReadOnlyFolderRefused(const SavedFileMaker& make,
                                        const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    ScratchDisk disk(folder, std::size_t{8} << 20);
    if (!disk.available() && ::geteuid() == 0)
        GTEST_SKIP() << "running as root without a tmpfs: " << disk.why();
    auto f = make(folder);
    ASSERT_EQ(f->save(1), "");
    const std::string before = bytesOf(f->file());
    if (disk.available()) {
        ASSERT_TRUE(disk.setReadOnly(true)) << std::strerror(errno);
    } else {
        fs::permissions(folder,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    const std::string message = f->save(2);
    if (disk.available())
        disk.setReadOnly(false);
    else
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    expectRefusedSave(*f, message, before, folder, "read-only folder");
}

// A read-only file (no write bit: refused even for root).
inline void expectReadOnlyFileRefused(const SavedFileMaker& make,
                                      const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    auto f = make(folder);
    ASSERT_EQ(f->save(1), "");
    const std::string before = bytesOf(f->file());
    fs::permissions(f->file(), fs::perms::owner_read | fs::perms::group_read);
    const std::string message = f->save(2);
    fs::permissions(f->file(), fs::perms::owner_read | fs::perms::owner_write);
    expectRefusedSave(*f, message, before, folder, "read-only file");
    EXPECT_EQ(f->save(3), "");
}

// The folder gone (a network share lost, a stick pulled out): refused, not recreated,
// with a message naming the file (or `named`, when another file of the folder is the
// first the save misses).
inline void expectVanishedFolderRefused(const SavedFileMaker& make,
                                        const std::filesystem::path& folder,
                                        const std::string& named = {}) {
    std::filesystem::create_directories(folder);
    auto f = make(folder);
    ASSERT_EQ(f->save(1), "");
    std::filesystem::remove_all(folder);
    const std::string message = f->save(2);
    EXPECT_NE(message, "");
    EXPECT_NE(message.find(named.empty() ? f->file() : named), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(folder));
}

// Kills children in the middle of their saves; the file stays whole and readable.
inline void expectKilledSavesLeaveWholeFiles(const SavedFileMaker& make,
                                             const std::filesystem::path& folder, int rounds) {
    // A kill loses nothing the system has been given, synced or not: on a tmpfs, where
    // syncing costs nothing, the rounds take the same time on a busy disk as on an idle one.
    ScratchDisk disk(folder, std::size_t{64} << 20);
    auto f = make(folder);
    const KillTally tally = killDuringSaves(
        rounds, 2026, folder,
        [&](int v) {
            if (!f->save(v).empty())
                throw std::runtime_error("save failed");
        },
        [&] { return f->check(); });
    EXPECT_EQ(tally.rounds, rounds);
    // The kills must really fall inside saves, and while the new file is being written,
    // for the test to mean anything.
    EXPECT_GE(tally.midSave, rounds / 4) << "kills mid-save: " << tally.midSave;
    if (tally.atSystemCalls) {
        EXPECT_GT(tally.leftTemporaries, 0) << "no kill while the new file was written";
    }
    testing::Test::RecordProperty("system_calls_of_two_saves",
                                  static_cast<int>(tally.systemCallsOfTwoSaves));
    testing::Test::RecordProperty("killed_mid_save", tally.midSave);
    testing::Test::RecordProperty("killed_while_writing", tally.leftTemporaries);
}

}  // namespace vexora::test
