// Atomic saves under injected faults: the system's save steps with one fault put in
// (a step that fails, a disk that fills at a chosen byte, writes cut short, the folder
// removed between two steps). After every failed save the old file is there byte for
// byte, no temporary file is left and the message names the file.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/file_util.h"
#include "support/temp_dir.h"

using namespace vexora;

namespace {

enum class Step { Create, Write, Flush, Close, Replace, SyncFolder };

int stepNumber(Step s) {
    return static_cast<int>(s);
}

// The system's steps with a fault put in.
class FaultySteps : public SaveSteps {
public:
    std::optional<Step> failAt;  // this step fails with the text "guasto iniettato"
    std::size_t diskBytes = std::numeric_limits<std::size_t>::max();  // then "disco pieno"
    std::size_t chunk = std::numeric_limits<std::size_t>::max();      // most bytes one write takes
    std::function<void(Step)> before;                                 // runs before every step

    std::string refusal(const std::string& target) override { return real_->refusal(target); }
    bool create(const std::string& temp, const std::string& target, std::string& why) override {
        return enter(Step::Create, why) && real_->create(temp, target, why);
    }
    std::size_t write(const char* data, std::size_t size, std::string& why) override {
        if (!enter(Step::Write, why))
            return 0;
        if (written_ >= diskBytes) {
            why = "disco pieno";
            return 0;
        }
        const std::size_t n =
            real_->write(data, std::min({size, chunk, diskBytes - written_}), why);
        written_ += n;
        return n;
    }
    bool flush(std::string& why) override { return enter(Step::Flush, why) && real_->flush(why); }
    bool close(std::string& why) override {
        // The real file is closed even when the step is made to fail.
        const bool ok = enter(Step::Close, why);
        std::string ignored;
        return real_->close(ok ? why : ignored) && ok;
    }
    bool replace(const std::string& from, const std::string& to, std::string& why) override {
        return enter(Step::Replace, why) && real_->replace(from, to, why);
    }
    bool syncFolder(const std::string& folder, std::string& why) override {
        return enter(Step::SyncFolder, why) && real_->syncFolder(folder, why);
    }
    void remove(const std::string& path) override { real_->remove(path); }

private:
    bool enter(Step s, std::string& why) {
        if (before)
            before(s);
        if (failAt == s) {
            why = "guasto iniettato";
            return false;
        }
        return true;
    }

    std::unique_ptr<SaveSteps> real_ = systemSaveSteps();
    std::size_t written_ = 0;
};

std::set<std::string> entryNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(utf8FromPath(e.path().filename()));
    return names;
}

// Every byte different from its neighbours, so a torn or shifted file shows.
std::string pattern(std::size_t size, int seed) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 31 + static_cast<std::size_t>(seed) * 7 + i / 251) & 0xff);
    return s;
}

struct SaveFolder {
    test::TempDir dir;
    std::filesystem::path folder = dir.path() / pathFromUtf8("Cartella \xc3\xa0");
    std::string file = utf8FromPath(folder / "storico.QXD");
    std::string old = pattern(300, 1);
    std::string fresh = pattern(300, 2);

    SaveFolder() {
        std::filesystem::create_directory(folder);
        EXPECT_TRUE(writeFileAtomically(file, old));
    }
    std::string onDisk() const { return readWholeFile(file, 1000).value_or("<missing>"); }
};

}  // namespace

TEST(FaultsAtomicSave, FullDiskAtEveryByteKeepsTheOldFile) {
    SaveFolder f;
    for (std::size_t room = 0; room < f.fresh.size(); ++room) {
        FaultySteps steps;
        steps.diskBytes = room;
        std::string error;
        ASSERT_FALSE(writeFileAtomically(f.file, f.fresh, &error, steps)) << room;
        EXPECT_EQ(error, "Impossibile scrivere il file " + f.file + ": disco pieno");
        ASSERT_EQ(f.onDisk(), f.old) << "disk full after " << room << " bytes";
        ASSERT_EQ(entryNames(f.folder), std::set<std::string>{"storico.QXD"}) << room;
    }
    // Exactly enough room, and writes the system cuts short: the new content, whole.
    FaultySteps exact;
    exact.diskBytes = f.fresh.size();
    exact.chunk = 7;
    ASSERT_TRUE(writeFileAtomically(f.file, f.fresh, nullptr, exact));
    EXPECT_EQ(f.onDisk(), f.fresh);
    EXPECT_EQ(entryNames(f.folder), std::set<std::string>{"storico.QXD"});
}

TEST(FaultsAtomicSave, EveryFailingStepIsReportedWithTheFileName) {
    const struct {
        Step step;
        const char* message;
        bool newContent;  // the rename had happened when the step failed
    } cases[] = {
        {Step::Create, "Impossibile creare il file ", false},
        {Step::Write, "Impossibile scrivere il file ", false},
        {Step::Flush, "Impossibile scrivere il file ", false},
        {Step::Close, "Impossibile scrivere il file ", false},
        {Step::Replace, "Impossibile sostituire il file ", false},
        {Step::SyncFolder, "Impossibile registrare sul disco il file ", true},
    };
    for (const auto& c : cases) {
        SaveFolder f;
        FaultySteps steps;
        steps.failAt = c.step;
        std::string error;
        EXPECT_FALSE(writeFileAtomically(f.file, f.fresh, &error, steps)) << stepNumber(c.step);
        EXPECT_EQ(error, c.message + f.file + ": guasto iniettato") << stepNumber(c.step);
        EXPECT_EQ(f.onDisk(), c.newContent ? f.fresh : f.old) << stepNumber(c.step);
        EXPECT_EQ(entryNames(f.folder), std::set<std::string>{"storico.QXD"}) << stepNumber(c.step);
    }
}

TEST(FaultsAtomicSave, ReadOnlyFileIsNotReplacedAndPermissionsSurviveASave) {
    namespace fs = std::filesystem;
    SaveFolder f;
    const fs::path p = pathFromUtf8(f.file);
    const fs::perms write =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(p, write, fs::perm_options::remove);
    std::string error;
    EXPECT_FALSE(writeFileAtomically(f.file, f.fresh, &error));
    EXPECT_EQ(error,
              "Impossibile sostituire il file " + f.file + ": il file \u00e8 di sola lettura");
    EXPECT_EQ(f.onDisk(), f.old);
    EXPECT_EQ(entryNames(f.folder), std::set<std::string>{"storico.QXD"});

    fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(writeFileAtomically(f.file, f.fresh, &error)) << error;
    EXPECT_EQ(f.onDisk(), f.fresh);
#ifndef _WIN32
    // The replacement keeps the permissions the user gave the file.
    EXPECT_EQ(fs::status(p).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
}

#ifndef _WIN32
// Windows does not let a folder go while a file in it is open.
TEST(FaultsAtomicSave, FolderRemovedBetweenAnyTwoStepsFailsWithoutRecreatingIt) {
    for (const Step gone :
         {Step::Create, Step::Write, Step::Flush, Step::Close, Step::Replace, Step::SyncFolder}) {
        SaveFolder f;
        FaultySteps steps;
        steps.before = [&](Step s) {
            if (s == gone)
                std::filesystem::remove_all(f.folder);
        };
        std::string error;
        EXPECT_FALSE(writeFileAtomically(f.file, f.fresh, &error, steps)) << stepNumber(gone);
        EXPECT_NE(error.find(f.file + ": "), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(f.folder)) << stepNumber(gone);
    }
}
#endif
