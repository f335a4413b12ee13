#include "core/file_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/platform.h"
#include "core/program_state.h"
#include "support/temp_dir.h"

using namespace vexora;

namespace {

// Greek and Cyrillic need more than any single-byte code page; the third has blanks
// and accents of Windows-1252.
const std::string kGreek =
    "\xce\x91\xcf\x85\xcf\x84\xce\xbf\xcf\x83\xcf\x87\xce\xbf\xce\xbb\xce\xae";
const std::string kCyrillic =
    "\xd0\x90\xd0\xb2\xd1\x82\xd0\xbe\xd1\x88\xd0\xba\xd0\xbe\xd0\xbb\xd0\xb0";
const std::string kAccents = "Citt\xc3\xa0 di Forl\xc3\xac";

std::set<std::string> entryNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(utf8FromPath(e.path().filename()));
    return names;
}

}  // namespace

TEST(PathText, Utf8RoundTripsThroughTheNativeForm) {
    for (const std::string& s : {kGreek, kCyrillic, kAccents})
        EXPECT_EQ(utf8FromPath(pathFromUtf8(s)), s);
#ifdef _WIN32
    // The wide form holds the letters themselves, not bytes read in the ANSI code page.
    EXPECT_EQ(pathFromUtf8(kGreek).native(),
              L"\u0391\u03c5\u03c4\u03bf\u03c3\u03c7\u03bf\u03bb\u03ae");
    EXPECT_EQ(pathFromUtf8(kAccents).native(), L"Citt\u00e0 di Forl\u00ec");
#else
    EXPECT_EQ(pathFromUtf8(kGreek).native(), kGreek);
#endif
    EXPECT_TRUE(pathFromUtf8("").empty());
}

TEST(AtomicWrite, ReplacesAFileInAFolderOfAnyNameLeavingNothingElse) {
    test::TempDir dir;
    for (const std::string& name : {kGreek, kCyrillic, kAccents}) {
        const std::filesystem::path folder = dir.path() / pathFromUtf8(name);
        std::filesystem::create_directory(folder);
        const std::string file = utf8FromPath(folder) + "/" + name + ".txt";
        const std::string bytes("riga uno\r\nriga\0due\r\n", 20);
        ASSERT_TRUE(writeFileAtomically(file, "vecchio"));
        std::string error;
        ASSERT_TRUE(writeFileAtomically(file, bytes, &error)) << error;
        EXPECT_EQ(readWholeFile(file, 100), bytes);
        EXPECT_EQ(entryNames(folder), std::set<std::string>{name + ".txt"});

        const std::string copy = utf8FromPath(folder) + "/copia.txt";
        ASSERT_TRUE(writeFileAtomically(copy, "older"));
        EXPECT_TRUE(copyFileReplacing(file, copy));
        EXPECT_EQ(readWholeFile(copy, 100), bytes);
    }
    EXPECT_EQ(entryNames(dir.path()), (std::set<std::string>{kAccents, kCyrillic, kGreek}));
}

TEST(AtomicWrite, RefusedReplaceKeepsTheTargetAndNamesIt) {
    test::TempDir dir;
    const std::string target = utf8FromPath(dir.path() / pathFromUtf8(kGreek));
    std::filesystem::create_directory(pathFromUtf8(target));  // a folder cannot be replaced
    std::string error;
    EXPECT_FALSE(writeFileAtomically(target, "x", &error));
    EXPECT_EQ(error.rfind("Impossibile sostituire il file " + target + ": ", 0), 0u) << error;
    EXPECT_TRUE(std::filesystem::is_directory(pathFromUtf8(target)));
    EXPECT_EQ(entryNames(dir.path()), std::set<std::string>{kGreek});
}

TEST(PlatformPaths, RunningProgramAndFixedPathsFollowTheSystem) {
    const std::string exe = executablePath();
    EXPECT_TRUE(std::filesystem::is_regular_file(pathFromUtf8(exe))) << exe;
    EXPECT_EQ(executableFolder(),
              withTrailingSeparator(utf8FromPath(pathFromUtf8(exe).parent_path())));
#ifdef _WIN32
    EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
    EXPECT_EQ(defaultFiguresFolder(), "C:\\Plarn\\PicSgn\\");
    EXPECT_EQ(classroomFilePath(), "C:\\Plarn\\Program\\Plarn.ini");
#else
    EXPECT_EQ(defaultFiguresFolder(), "/opt/Plarn/PicSgn/");
    EXPECT_EQ(classroomFilePath(), "/opt/Plarn/Program/Plarn.ini");
#endif
}
