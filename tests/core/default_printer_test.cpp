#include "core/default_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace vexora;

// The checks below run against the two CUPS queues of scripts/test-printer.sh.
#ifndef _WIN32

namespace {

const std::string kFirstQueue = "VexoraPDF";
const std::string kSecondQueue = "SecondPrinter";

std::optional<std::string> commandOutput(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    return ::pclose(pipe) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

bool printerRequired() {
    const char* value = std::getenv("VEXORA_REQUIRE_PRINTER");
    return value && std::string(value) == "1";
}

// Why the test queues cannot be used, or empty when they can.
std::string queuesUnavailable() {
    const auto status = commandOutput("LC_ALL=C lpstat -r 2>/dev/null");
    if (!status || status->rfind("scheduler is running", 0) != 0)
        return "no CUPS scheduler is running";
    const auto names = installedPrinterNames();
    for (const auto& queue : {kFirstQueue, kSecondQueue}) {
        if (std::find(names.begin(), names.end(), queue) == names.end())
            return "the CUPS queue " + queue + " does not exist";
    }
    return {};
}

#define REQUIRE_TEST_QUEUES()                                                                 \
    do {                                                                                      \
        const std::string why = queuesUnavailable();                                          \
        if (!why.empty()) {                                                                   \
            if (printerRequired())                                                            \
                FAIL() << why << " (VEXORA_REQUIRE_PRINTER=1)";                               \
            GTEST_SKIP() << why << "; start the queues as root with scripts/test-printer.sh"; \
        }                                                                                     \
    } while (false)

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The files libcups rewrites when the default changes (the user's lpoptions; some
// versions write the system one for root), put back byte for byte afterwards.
struct LpoptionsSnapshot {
    std::vector<std::pair<std::string, std::optional<std::string>>> files;
    LpoptionsSnapshot() {
        std::vector<std::string> paths{"/etc/cups/lpoptions"};
        if (const char* home = std::getenv("HOME"))
            paths.push_back(std::string(home) + "/.cups/lpoptions");
        for (const auto& path : paths)
            files.emplace_back(path, readFile(path));
    }
    ~LpoptionsSnapshot() {
        for (const auto& [path, bytes] : files) {
            std::error_code ec;
            if (readFile(path) == bytes)
                continue;
            if (bytes)
                std::ofstream(path, std::ios::binary | std::ios::trunc) << *bytes;
            else
                std::filesystem::remove(path, ec);
        }
    }
    bool unchanged() const {
        return std::all_of(files.begin(), files.end(),
                           [](const auto& f) { return readFile(f.first) == f.second; });
    }
};

}  // namespace

TEST(DefaultPrinter, EachQueueInTurnBecomesTheDefaultOtherProgramsSee) {
    REQUIRE_TEST_QUEUES();
    const LpoptionsSnapshot restoreAfterwards;
    const auto names = installedPrinterNames();
    // The second queue sorts first: the default may be the first printer of the list.
    ASSERT_EQ(names.front(), kSecondQueue);

    for (const auto& queue : {kSecondQueue, kFirstQueue}) {
        ASSERT_TRUE(ImpostaStampantePredefinita(queue)) << queue;
        EXPECT_EQ(GetDefaultPrinter(), queue);
        // The choice is stored for the user, not just in this process.
        EXPECT_EQ(commandOutput("LC_ALL=C lpstat -d 2>/dev/null"),
                  "system default destination: " + queue + "\n");
    }
}

TEST(DefaultPrinter, NameNotInstalledChangesNothing) {
    REQUIRE_TEST_QUEUES();
    const LpoptionsSnapshot restoreAfterwards;
    const std::string before = GetDefaultPrinter();
    ASSERT_FALSE(before.empty());
    for (const std::string name : {"NoSuchPrinter", "secondprinter", "SecondPrinter ", ""}) {
        EXPECT_FALSE(ImpostaStampantePredefinita(name)) << '"' << name << '"';
        EXPECT_EQ(GetDefaultPrinter(), before);
    }
    EXPECT_TRUE(restoreAfterwards.unchanged());
}

#endif
