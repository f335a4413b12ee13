#pragma once

// Sample data for all fourteen quiz categories: master question files, topic lists and
// figure bitmaps shaped like the real ones. Everything follows from one seed, so tests,
// benchmarks and the demo get the same bytes on every machine (the bitmaps, rasterised by
// Qt, with the same Qt version).

#include <cstdint>
#include <filesystem>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/catalogue.h"
#include "data/table_data.h"

namespace vexora::sampledata {

// Seed used when the caller gives none.
inline constexpr std::uint64_t kDefaultSeed = 2016;

// Name of the figures folder inside the output folder.
inline constexpr std::string_view kFiguresFolderName = "PicSgn";

// Name of the settings file the tool writes when the output folder has none.
inline constexpr std::string_view kSettingsFileName = "Vexora.ini";

// Raised when a file cannot be written; the message names the file.
class SampleDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Random source whose results are fixed by the seed on every standard library:
// std::mt19937_64's output sequence is specified, the standard distributions are not,
// so ranges are reduced here.
class SampleRng {
public:
    explicit SampleRng(std::uint64_t seed) : engine_(seed) {}
    // Uniform integer in [lo, hi] (lo <= hi).
    std::int64_t between(std::int64_t lo, std::int64_t hi);
    // Uniform double in [0, 1).
    double unit();
    // True with probability p.
    bool chance(double p) { return unit() < p; }
    // Uniformly chosen element (the span must not be empty).
    template <typename T>
    const T& pick(std::span<const T> items) {
        return items[static_cast<std::size_t>(
            between(0, static_cast<std::int64_t>(items.size()) - 1))];
    }
    // Fisher-Yates shuffle driven by between().
    template <typename T>
    void shuffle(std::vector<T>& items) {
        for (std::size_t i = items.size(); i > 1; --i)
            std::swap(
                items[i - 1],
                items[static_cast<std::size_t>(between(0, static_cast<std::int64_t>(i) - 1))]);
    }

private:
    std::mt19937_64 engine_;
};

// Seed of an independent stream (one per category, one for the figures, ...), so that
// generating a subset of the categories gives the same bytes as generating all of them.
std::uint64_t streamSeed(std::uint64_t seed, std::uint64_t tag);

// How a category's master stores its columns: the three layouts together exercise every
// "read as" conversion the master loader needs (4- and 2-byte integers, an unsigned
// question number, long strings with a 2-byte length prefix, other column orders, an
// extra column the program does not use).
enum class ColumnLayout : std::uint8_t {
    Classic,       // AB, AM: Domanda 4-byte integer
    Compact,       // S1..S7: Domanda 2-byte integer, narrow codes
    Professional,  // C1..C5: other column order, Domanda 2-byte unsigned, extra "Note"
};

// Shape of one category's sample data.
struct CategoryPlan {
    TModalitaQuiz category;
    int questions;              // target size of the master
    std::string_view examPlan;  // chapter code of every exam-sheet slot, in slot order
    int topicRows;              // R: rows of the topic-sheet distribution table
    double figureShare;         // share of questions that have a figure
    ColumnLayout layout;
    bool tabsInTexts;  // some texts hold tab characters
};

// The fourteen plans in catalogue order.
std::span<const CategoryPlan, kWorkingCategoryCount> categoryPlans();
// Plan of a working category; throws std::out_of_range for any other value.
const CategoryPlan& categoryPlan(TModalitaQuiz m);
// Distinct chapter codes of the exam plan with the slots each fills on one sheet, in
// code order.
std::vector<std::pair<std::string, int>> chapterSlots(const CategoryPlan& plan);
// Fewest questions any topic gets: the quota of a one-topic sheet (Q + 1) with a third
// more on top, so a topic sheet never starts with a topic that must be reset at once.
int minimumTopicSize(TModalitaQuiz m);

// Which files a figure name has in the figures folder.
enum class FigureFiles : std::uint8_t {
    Plain,    // only name + ".bmp"
    SuffixN,  // only name + "n.bmp" (numbers from 800 up)
    Both,     // name + "n.bmp" and name + ".bmp", with different pictures
    Missing,  // referenced by a few questions, no file on purpose
};

// One figure name questions can refer to.
struct FigureName {
    std::string name;  // the Figura value: "123", "412b", "850"
    FigureFiles files = FigureFiles::Plain;
};

// Outline of a road-sign-like picture.
enum class SignShape : std::uint8_t {
    Triangle,
    Ring,
    Disc,
    Octagon,
    Diamond,
    Square,
    WidePanel,
    PoleSign,
};

// One bitmap file of the figures folder.
struct FigureBitmap {
    std::string fileName;  // "123.bmp", "850n.bmp"
    std::string label;     // what the picture shows: the file name without ".bmp"
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;  // 8 (palette), 24 or 32
    SignShape shape = SignShape::Square;
};

// Every figure name and bitmap of a seed. The folder is shared by all categories:
// AB and AM refer only to names below 800; S1..C5 also to names from 800 up, where the
// "n" variant rule applies.
struct FigureCatalogue {
    std::vector<FigureName> low;   // below 800, including a few with a letter suffix
    std::vector<FigureName> high;  // 800 and up
    std::vector<FigureBitmap> bitmaps;
};

// Builds the figure catalogue of a seed.
FigureCatalogue buildFigureCatalogue(std::uint64_t seed);

// Draws a figure and returns its BMP file bytes (uncompressed, bottom-up rows, 8-bit
// with a 256-colour palette, 24-bit or 32-bit as the bitmap says).
std::string renderFigureBmp(const FigureBitmap& bitmap);

// One entry of a topic list.
struct SampleTopic {
    std::string title;         // Testo0
    std::string indice;        // three characters, unique in the category
    std::string argomento;     // topic letter
    std::string subArgomento;  // two-digit sub-topic code
    std::string chapter;       // chapter all the topic's questions belong to
    int questions = 0;
};

// One category's generated data.
struct CategorySample {
    TModalitaQuiz category = mqNone;
    std::vector<SampleTopic> topics;  // in list order
    data::TableData master;           // rows in Id order
};

// Builds a category's topics and master (nothing is written).
CategorySample buildCategory(TModalitaQuiz m, std::uint64_t seed, const FigureCatalogue& figures);

// What generateSampleData should write.
struct GenerateOptions {
    std::uint64_t seed = kDefaultSeed;
    std::vector<TModalitaQuiz> categories;  // empty: all fourteen
    bool figures = true;                    // write the figures folder
    bool settingsFile = true;               // write Vexora.ini when the folder has none
};

// What generateSampleData wrote.
struct GenerateSummary {
    struct Category {
        TModalitaQuiz category = mqNone;
        int questions = 0;
        int topics = 0;
        int withFigure = 0;
    };
    std::vector<Category> categories;
    int figureFiles = 0;
    int staleFiguresRemoved = 0;
    bool settingsWritten = false;
    std::filesystem::path figuresFolder;  // absolute
};

// Writes into dir (created when missing) each chosen category's master file (binary
// table form) and topic list (XML key-value store) under the catalogue's names, the
// figure bitmaps into dir/PicSgn/, and Vexora.ini with Paths/Figure naming that folder
// when dir holds no settings file yet. Every file is replaced atomically. Bitmaps in the
// figures folder named like the generator's own but absent from this seed's catalogue
// are removed, so the figures missing on purpose stay missing. Throws SampleDataError.
GenerateSummary generateSampleData(const std::filesystem::path& dir,
                                   const GenerateOptions& options);

// The figures folder as the settings file names it: absolute, with a trailing separator.
std::string figuresFolderSetting(const std::filesystem::path& dir);

}  // namespace vexora::sampledata
