// vexora-sample-data DIR [--seed N]: writes sample master files, topic lists, figure
// bitmaps and, when missing, the settings file for all fourteen quiz categories.
// Runs headless: figures are drawn on QImage without a QGuiApplication and without fonts.

#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "core/catalogue.h"
#include "sample_data.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void printUsage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: vexora-sample-data DIR [--seed N]\n"
                 "\n"
                 "Writes sample data for the fourteen quiz categories into DIR (created when\n"
                 "missing), replacing files of the same names:\n"
                 "  - the master question file of each category (binary table form, e.g.\n"
                 "    NQM2016.QXD) and its topic list (XML key-value file, e.g. ARG2013.XML);\n"
                 "  - the figure bitmaps into DIR/%s/ (bitmaps named like the tool's own that\n"
                 "    the seed does not produce are removed, so the figures that are missing\n"
                 "    on purpose stay missing);\n"
                 "  - %s with [Paths] Figure=<absolute DIR/%s/>, only when DIR holds no\n"
                 "    %s yet.\n"
                 "\n"
                 "Options:\n"
                 "  --seed N    unsigned 64-bit seed (default %llu); the same seed always\n"
                 "              gives the same bytes.\n"
                 "  -h, --help  show this text.\n"
                 "\n"
                 "Exit status: 0 done, 1 a file could not be written, 2 bad arguments.\n",
                 std::string(vexora::sampledata::kFiguresFolderName).c_str(),
                 std::string(vexora::sampledata::kSettingsFileName).c_str(),
                 std::string(vexora::sampledata::kFiguresFolderName).c_str(),
                 std::string(vexora::sampledata::kSettingsFileName).c_str(),
                 static_cast<unsigned long long>(vexora::sampledata::kDefaultSeed));
}

std::optional<std::uint64_t> parseSeed(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "vexora-sample-data: %s\n\n", message.c_str());
    printUsage(stderr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> dir;
    std::optional<std::uint64_t> seed;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            return kExitOk;
        }
        std::optional<std::string_view> seedText;
        if (arg == "--seed") {
            if (i + 1 >= argc)
                return usageError("--seed needs a value");
            seedText = argv[++i];
        } else if (arg.starts_with("--seed=")) {
            seedText = arg.substr(7);
        } else if (arg.starts_with("-") && arg != "-") {
            return usageError("unknown option " + std::string(arg));
        } else {
            if (dir)
                return usageError("more than one folder given");
            if (arg.empty())
                return usageError("the folder name is empty");
            dir = std::string(arg);
            continue;
        }
        if (seed)
            return usageError("--seed given twice");
        seed = parseSeed(*seedText);
        if (!seed)
            return usageError("the seed must be an unsigned 64-bit integer, not \"" +
                              std::string(*seedText) + "\"");
    }
    if (!dir)
        return usageError("no output folder given");

    vexora::sampledata::GenerateOptions options;
    options.seed = seed.value_or(vexora::sampledata::kDefaultSeed);
    const auto start = std::chrono::steady_clock::now();
    try {
        const auto summary = vexora::sampledata::generateSampleData(*dir, options);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        for (const auto& c : summary.categories)
            std::printf("%s  %-15s %-12s %5d questions, %2d topics, %4d with a figure\n",
                        std::string(vexora::categoryCode(c.category)).c_str(),
                        std::string(vexora::masterFile(c.category)).c_str(),
                        std::string(vexora::topicListFile(c.category)).c_str(), c.questions,
                        c.topics, c.withFigure);
        std::printf("%d figure bitmaps in %s", summary.figureFiles,
                    summary.figuresFolder.string().c_str());
        if (summary.staleFiguresRemoved > 0)
            std::printf(" (%d left from another seed removed)", summary.staleFiguresRemoved);
        std::printf("\n%s %s\n", std::string(vexora::sampledata::kSettingsFileName).c_str(),
                    summary.settingsWritten ? "written" : "already present, left as it is");
        std::printf("seed %llu, %lld ms\n", static_cast<unsigned long long>(options.seed),
                    static_cast<long long>(ms));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexora-sample-data: %s\n", e.what());
        return kExitFailed;
    }
    return kExitOk;
}
