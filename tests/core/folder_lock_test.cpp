#include "core/folder_lock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/file_util.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#endif

using namespace vexora;

namespace {

long thisProcess() {
#ifdef _WIN32
    return static_cast<long>(::GetCurrentProcessId());
#else
    return static_cast<long>(::getpid());
#endif
}

}  // namespace

TEST(FolderLock, SecondHolderInTheSameProcessIsRefusedUntilTheFirstGoes) {
    test::TempDir dir;
    const std::string folder = dir.folder();
    auto first = std::make_unique<FolderLock>(folder);
    ASSERT_EQ(first->state(), FolderLock::State::Held) << first->detail();
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "Vexora.lock"));

    FolderLock second(folder);
    EXPECT_EQ(second.state(), FolderLock::State::InUse);
    EXPECT_EQ(second.holderProcess(), thisProcess());
    EXPECT_EQ(second.refusalMessage(), "Vexora \u00e8 gi\u00e0 in uso su questa cartella: " +
                                           folder + " (processo " + std::to_string(thisProcess()) +
                                           "). Chiudere l'altro programma Vexora e riprovare.");
    // The folder written without its trailing separator is the same folder.
    EXPECT_EQ(FolderLock(utf8FromPath(dir.path())).state(), FolderLock::State::InUse);

    first.reset();
    FolderLock third(folder);
    EXPECT_TRUE(third.held());
    // Another folder is another lock.
    test::TempDir other;
    EXPECT_TRUE(FolderLock(other.folder()).held());
}

TEST(FolderLock, FolderThatCannotHoldTheLockFileIsUnavailableNotInUse) {
    test::TempDir dir;
    const FolderLock lock(dir.folder() + "manca/");
    EXPECT_EQ(lock.state(), FolderLock::State::Unavailable);
    EXPECT_FALSE(lock.detail().empty());
    EXPECT_EQ(folderInUseMessage("C:\\Vexora\\", 0),
              "Vexora \u00e8 gi\u00e0 in uso su questa cartella: C:\\Vexora\\. Chiudere l'altro "
              "programma Vexora e riprovare.");
}

#ifndef _WIN32
TEST(FolderLock, HolderProcessKilledReleasesTheLock) {
    test::TempDir dir;
    const std::string folder = dir.folder();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        const FolderLock lock(folder);
        const char c = lock.held() ? 'h' : 'n';
        if (::write(ready[1], &c, 1) != 1)
            ::_exit(2);
        for (;;)
            ::pause();  // holds the lock until killed
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(c, 'h');

    const FolderLock refused(folder);
    EXPECT_EQ(refused.state(), FolderLock::State::InUse);
    EXPECT_EQ(refused.holderProcess(), static_cast<long>(child));
    EXPECT_NE(refused.refusalMessage().find(folder), std::string::npos);

    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // No stale lock: the system dropped it with the process.
    const FolderLock after(folder);
    EXPECT_TRUE(after.held());
}
#endif

TEST(FolderLock, LeftoverTemporariesOfTheProgramsSavesGoOnlyWhileTheLockIsHeld) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    const std::vector<std::string> own = {
        "NQP2016.QXD.0a1b2c3d.tmp",    "Vexora.ini.deadbeef.tmp",
        "ARG2013.XML.00000000.tmp",    "Correttore AB E001-E004.txt.9f8e7d6c.tmp",
        "AB_ESAE001.pdf.12345678.tmp", "Vexora.rav.abcdef01.tmp"};
    // Names that differ from the own ones by more than letter case: Windows folders do not
    // tell case apart.
    const std::vector<std::string> others = {
        "appunti.tmp",           "NQP2016.QXD.tmp",         "NQP2016.QXD.0A1B2C3E.tmp",
        "foto.jpg.0a1b2c3d.tmp", "NQP2016.QXD.0a1b2c3.tmp", "NQP2016.QXD.0a1b2c3d.tmp.bak"};
    for (const auto& name : own)
        std::ofstream(dir.file(name)) << "x";
    for (const auto& name : others)
        std::ofstream(dir.file(name)) << "x";
    fs::create_directory(dir.path() / "Vexora.ini.11111111.tmp");  // a folder is not a save

    const FolderLock holder(dir.folder());
    ASSERT_TRUE(holder.held());
    // Another program's saves may be under way while it holds the folder.
    const FolderLock refused(dir.folder());
    EXPECT_EQ(refused.removeLeftoverTemporaries(), std::vector<std::string>{});
    for (const auto& name : own)
        EXPECT_TRUE(fs::exists(dir.path() / name)) << name;

    std::vector<std::string> removed = holder.removeLeftoverTemporaries();
    std::sort(removed.begin(), removed.end());
    std::vector<std::string> expected = own;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);
    for (const auto& name : own)
        EXPECT_FALSE(fs::exists(dir.path() / name)) << name;
    for (const auto& name : others)
        EXPECT_TRUE(fs::exists(dir.path() / name)) << name;
    EXPECT_TRUE(fs::is_directory(dir.path() / "Vexora.ini.11111111.tmp"));
}
