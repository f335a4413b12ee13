#include "sample_data.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <system_error>

#include "core/codepage.h"
#include "core/file_util.h"
#include "data/table_file.h"
#include "sample_text.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "settings/xml_ini.h"

namespace vexora::sampledata {
namespace {

// Sizes, exam plans (Capitolo of every exam-sheet slot), topic-table rows and figure
// shares of the fourteen categories. Masters are written with the chapters of the plan
// and no others.
constexpr std::array<CategoryPlan, kWorkingCategoryCount> kPlans = {{
    {mqAB, 7000,
     "01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 "
     "21 22 23 24 25 05 12 13 17 22",
     31, 0.30, ColumnLayout::Classic, false},
    {mqAM, 1800,
     "01 02 03 04 05 06 07 08 09 10 01 02 03 04 05 06 07 08 09 10 "
     "01 02 03 04 05 06 07 08 09 10",
     22, 0.26, ColumnLayout::Classic, false},
    {mqSuperC1, 1400, "01 01 02 02 02 03 03 03 04 05 05 05 06 07 07 07 08 09 10 10", 13, 0.27,
     ColumnLayout::Compact, true},
    {mqSuperC0, 600, "05 05 06 07 07 07 08 09 10 10", 8, 0.25, ColumnLayout::Compact, false},
    {mqSuperC, 2400,
     "01 01 02 02 02 03 03 03 03 04 05 05 06 07 07 07 08 09 10 10 "
     "11 11 11 11 11 12 13 13 13 13 14 14 14 15 15 15 16 16 16 17",
     27, 0.27, ColumnLayout::Compact, true},
    {mqSuperCx, 1000, "11 11 11 11 11 12 13 13 13 13 14 14 14 15 15 15 16 16 16 17", 14, 0.23,
     ColumnLayout::Compact, false},
    {mqSuperD1, 1300, "01 01 02 02 02 03 03 04 05 05 06 06 07 07 07 08 09 09 10 10", 12, 0.25,
     ColumnLayout::Compact, false},
    {mqSuperD, 2400,
     "01 01 02 02 02 03 03 03 04 05 05 05 06 06 07 07 07 08 09 09 "
     "10 10 11 11 11 11 11 12 13 13 13 13 14 14 15 15 15 16 16 16",
     25, 0.26, ColumnLayout::Compact, false},
    {mqSuperDx, 1000, "11 11 11 11 11 12 12 13 13 13 13 14 14 14 15 15 15 16 16 16", 13, 0.23,
     ColumnLayout::Compact, false},
    {mqCqc1M, 3200,
     "11 12 13 01 02 03 04 05 06 07 08 09 10 11 12 13 11 12 13 01 "
     "02 03 04 05 06 07 08 09 10 11 12 13 11 12 13 01 02 03 04 05 "
     "06 07 08 09 10 11 12 13 11 12 13 01 02 03 04 05 06 07 08 09 "
     "10 11 12 13 11 12 13 11 12 13",
     25, 0.20, ColumnLayout::Professional, false},
    {mqCqc2P, 3200,
     "14 15 16 01 02 03 04 05 06 07 08 09 10 14 15 16 14 15 16 01 "
     "02 03 04 05 06 07 08 09 10 14 15 16 14 15 16 01 02 03 04 05 "
     "06 07 08 09 10 14 15 16 14 15 16 01 02 03 04 05 06 07 08 09 "
     "10 14 15 16 14 15 16 14 15 16",
     27, 0.20, ColumnLayout::Professional, false},
    {mqCqc3M, 1200,
     "11 12 13 11 12 13 11 12 13 11 12 13 11 12 13 11 12 13 11 12 "
     "13 11 12 13 11 12 13 11 12 13",
     10, 0.18, ColumnLayout::Professional, false},
    {mqCqc4P, 1200,
     "14 15 16 14 15 16 14 15 16 14 15 16 14 15 16 14 15 16 14 15 "
     "16 14 15 16 14 15 16 14 15 16",
     12, 0.18, ColumnLayout::Professional, false},
    {mqCqc5B, 1600,
     "01 02 03 04 05 06 07 08 09 10 01 02 03 04 05 06 07 08 09 10 "
     "01 02 03 04 05 06 07 08 09 10 01 02 03 04 05 06 07 08 09 10",
     15, 0.24, ColumnLayout::Professional, false},
}};

constexpr int kMaxTopics = 31;
constexpr int kMinTextChars = 40;
constexpr int kMaxTextChars = 330;
// A chapter holds questions for at least this many exam sheets without repeats.
constexpr int kSheetsPerChapter = 6;

constexpr std::uint64_t kCategoryStream = 0x43415445'474F5259ull;

std::uint64_t splitMix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

TextFlavour flavourOf(ColumnLayout layout) {
    switch (layout) {
        case ColumnLayout::Classic:
            return TextFlavour::Licence;
        case ColumnLayout::Compact:
            return TextFlavour::Heavy;
        case ColumnLayout::Professional:
            return TextFlavour::Professional;
    }
    return TextFlavour::Licence;
}

data::FieldDef stringField(std::string name, int width) {
    data::FieldDef f;
    f.name = std::move(name);
    f.type = data::FieldType::String;
    f.size = width;
    return f;
}

data::FieldDef numberField(std::string name, data::FieldType type, int bytes) {
    data::FieldDef f;
    f.name = std::move(name);
    f.type = type;
    f.size = bytes;
    return f;
}

data::FieldDef booleanField(std::string name) {
    data::FieldDef f;
    f.name = std::move(name);
    f.type = data::FieldType::Boolean;
    f.size = 2;
    return f;
}

std::vector<data::FieldDef> masterFields(ColumnLayout layout) {
    using data::FieldType;
    switch (layout) {
        case ColumnLayout::Classic:
            return {numberField("Id", FieldType::Integer, 4),
                    stringField("Testo", 400),
                    booleanField("Risposta"),
                    stringField("Figura", 8),
                    stringField("Libro1", 12),
                    stringField("Libro2", 12),
                    stringField("Blocco", 5),
                    numberField("Domanda", FieldType::Integer, 4),
                    stringField("Indice", 3),
                    stringField("Capitolo", 2),
                    stringField("Difficolta", 2)};
        case ColumnLayout::Compact: {
            data::FieldDef text = stringField("Testo", kMaxTextChars);
            text.prefixSize = 2;
            return {numberField("Id", FieldType::Integer, 4),
                    stringField("Indice", 3),
                    stringField("Capitolo", 2),
                    stringField("Blocco", 5),
                    numberField("Domanda", FieldType::Integer, 2),
                    std::move(text),
                    booleanField("Risposta"),
                    stringField("Figura", 6),
                    stringField("Libro1", 10),
                    stringField("Libro2", 10),
                    stringField("Difficolta", 1)};
        }
        case ColumnLayout::Professional:
            return {numberField("Id", FieldType::Integer, 4),
                    stringField("Capitolo", 2),
                    stringField("Indice", 3),
                    stringField("Blocco", 5),
                    numberField("Domanda", FieldType::UnsignedInteger, 2),
                    stringField("Testo", 350),
                    booleanField("Risposta"),
                    stringField("Figura", 8),
                    stringField("Libro1", 16),
                    stringField("Libro2", 16),
                    stringField("Difficolta", 2),
                    stringField("Note", 40)};
    }
    return {};
}

// Text length to aim at: a broad spread that crosses both font thresholds of the sheet
// (200 characters with a figure, 265 without) in both directions.
int drawTextLength(SampleRng& rng) {
    const auto band = rng.between(0, 99);
    if (band < 45)
        return static_cast<int>(rng.between(kMinTextChars, 199));
    if (band < 75)
        return static_cast<int>(rng.between(200, 265));
    return static_cast<int>(rng.between(266, kMaxTextChars));
}

bool hasLetter(std::string_view s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Byte offset where the figure reference goes: the end of the main clause or the end
// of the sentence.
std::size_t referencePosition(SampleRng& rng, const std::string& text) {
    const std::size_t end = text.size() - 1;  // before the final period
    if (rng.chance(0.5)) {
        const std::size_t comma = text.find(',');
        if (comma != std::string::npos)
            return comma;
    }
    return end;
}

std::string twoDigits(int n) {
    std::string s = std::to_string(n);
    return s.size() < 2 ? "0" + s : s;
}

// Splits the counts into shares proportional to the weights (largest remainders first,
// ties to the lower index), so the total is exact.
std::vector<int> apportion(int total, const std::vector<double>& weights) {
    double sum = 0;
    for (double w : weights)
        sum += w;
    std::vector<int> out(weights.size(), 0);
    std::vector<std::pair<double, std::size_t>> remainders;
    int given = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const double exact = total * weights[i] / sum;
        out[i] = static_cast<int>(std::floor(exact));
        given += out[i];
        remainders.emplace_back(exact - out[i], i);
    }
    std::stable_sort(remainders.begin(), remainders.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t k = 0; given < total; ++k, ++given)
        ++out[remainders[k % remainders.size()].second];
    return out;
}

void writeTopicList(const std::filesystem::path& file, const std::vector<SampleTopic>& topics) {
    // A fresh document (a name that does not exist), saved under the real name: the store
    // replaces the file atomically and no section of an older list survives.
    std::filesystem::path fresh = file;
    for (int i = 0; std::filesystem::exists(fresh); ++i)
        fresh = file.string() + ".new" + std::to_string(i);
    try {
        settings::TXmlIni store(fresh.string());
        store.setBackup(false);
        store.WriteInteger("Lista_Argomenti", "Totale", static_cast<int>(topics.size()));
        for (std::size_t i = 0; i < topics.size(); ++i) {
            const std::string digits = "00" + std::to_string(i);
            const std::string section = "Argomento_" + digits.substr(digits.size() - 2);
            store.WriteString(section, "Testo0", topics[i].title);
            store.WriteString(section, "Indice", topics[i].indice);
            store.WriteString(section, "Argomento", topics[i].argomento);
            store.WriteString(section, "SubArgomento", topics[i].subArgomento);
        }
        store.Save(file.string());
    } catch (const std::exception& e) {
        throw SampleDataError("cannot write the topic list " + file.string() + ": " + e.what());
    }
}

void writeBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::string error;
    if (!writeFileAtomically(file.string(), bytes, &error))
        throw SampleDataError("cannot write " + file.string() + ": " + error);
}

// File names the generator gives bitmaps: digits, an optional letter, an optional "n".
bool generatorFigureName(const std::string& name) {
    static const std::regex pattern("[0-9]+[ab]?n?\\.bmp");
    return std::regex_match(name, pattern);
}

}  // namespace

std::int64_t SampleRng::between(std::int64_t lo, std::int64_t hi) {
    if (hi < lo)
        throw std::invalid_argument("SampleRng::between: empty range");
    const std::uint64_t span = static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo);
    if (span == UINT64_MAX)
        return static_cast<std::int64_t>(engine_());
    const std::uint64_t range = span + 1;
    // Reject the low values that would make some results more likely than others.
    const std::uint64_t threshold = (0 - range) % range;
    std::uint64_t x;
    do {
        x = engine_();
    } while (x < threshold);
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(lo) + x % range);
}

double SampleRng::unit() {
    return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
}

std::uint64_t streamSeed(std::uint64_t seed, std::uint64_t tag) {
    return splitMix64(splitMix64(seed) ^ tag);
}

std::span<const CategoryPlan, kWorkingCategoryCount> categoryPlans() {
    return kPlans;
}

const CategoryPlan& categoryPlan(TModalitaQuiz m) {
    for (const CategoryPlan& p : kPlans)
        if (p.category == m)
            return p;
    throw std::out_of_range("no sample-data plan for category " + std::to_string(int(m)));
}

std::vector<std::pair<std::string, int>> chapterSlots(const CategoryPlan& plan) {
    std::map<std::string, int> slots;
    std::size_t pos = 0;
    const std::string_view s = plan.examPlan;
    while (pos < s.size()) {
        const std::size_t end = std::min(s.find(' ', pos), s.size());
        if (end > pos)
            ++slots[std::string(s.substr(pos, end - pos))];
        pos = end + 1;
    }
    return {slots.begin(), slots.end()};
}

int minimumTopicSize(TModalitaQuiz m) {
    const int quota = questionsPerSheet(m) + 1;
    return (quota * 4 + 2) / 3;
}

CategorySample buildCategory(TModalitaQuiz m, std::uint64_t seed, const FigureCatalogue& figures) {
    const CategoryPlan& plan = categoryPlan(m);
    SampleRng rng(streamSeed(seed, kCategoryStream + static_cast<std::uint64_t>(m)));
    CategorySample out;
    out.category = m;

    // Size within two percent of the target.
    const int total = static_cast<int>(std::lround(plan.questions * (0.98 + 0.04 * rng.unit())));
    const auto chapters = chapterSlots(plan);
    const int chapterCount = static_cast<int>(chapters.size());
    const int minTopic = minimumTopicSize(m);

    // Topics: R .. R + 3, never more than 31, and few enough to leave room above the minimum.
    int maxTopics = std::min({kMaxTopics, plan.topicRows + 3, total * 10 / (minTopic * 11)});
    maxTopics = std::max(maxTopics, plan.topicRows);
    const int topicCount = static_cast<int>(rng.between(plan.topicRows, maxTopics));
    if (topicCount < chapterCount || topicCount * minTopic > total)
        throw std::logic_error("sample-data plan of " + std::string(categoryCode(m)) +
                               " cannot hold its topics");

    // Every chapter gets one topic; the others go where exam sheets draw most.
    std::vector<int> topicsPerChapter(chapters.size(), 1);
    for (int t = chapterCount; t < topicCount; ++t) {
        int r = static_cast<int>(rng.between(0, questionsPerSheet(m) - 1));
        std::size_t c = 0;
        while (c + 1 < chapters.size() && r >= chapters[c].second) {
            r -= chapters[c].second;
            ++c;
        }
        ++topicsPerChapter[c];
    }

    // Question counts: the minimum for every topic (and enough for several exam sheets
    // per chapter), the rest by chapter weight with some spread.
    std::vector<int> base;
    std::vector<double> weights;
    std::vector<std::size_t> chapterOfTopic;
    for (std::size_t c = 0; c < chapters.size(); ++c) {
        const int k = topicsPerChapter[c];
        const int chapterMin = std::max(k * minTopic, kSheetsPerChapter * chapters[c].second);
        for (int i = 0; i < k; ++i) {
            base.push_back(chapterMin / k + (i < chapterMin % k ? 1 : 0));
            weights.push_back(chapters[c].second / double(k) * (0.5 + rng.unit()));
            chapterOfTopic.push_back(c);
        }
    }
    int baseTotal = 0;
    for (int b : base)
        baseTotal += b;
    const std::vector<int> extra = apportion(std::max(0, total - baseTotal), weights);

    const std::vector<std::string> titles = topicTitles(rng, flavourOf(plan.layout), topicCount);
    std::vector<int> subCounter(chapters.size(), 0);
    for (int t = 0; t < topicCount; ++t) {
        const std::size_t c = chapterOfTopic[static_cast<std::size_t>(t)];
        SampleTopic topic;
        topic.title = titles[static_cast<std::size_t>(t)];
        topic.argomento = std::string(1, static_cast<char>('A' + c));
        topic.subArgomento = twoDigits(++subCounter[c]);
        topic.indice = topic.argomento + topic.subArgomento;
        topic.chapter = chapters[c].first;
        topic.questions = base[static_cast<std::size_t>(t)] + extra[static_cast<std::size_t>(t)];
        out.topics.push_back(std::move(topic));
    }
    int questionCount = 0;
    for (const SampleTopic& t : out.topics)
        questionCount += t.questions;

    // Which questions have a figure, and the few whose figure is missing on purpose.
    std::vector<char> hasFigure(static_cast<std::size_t>(questionCount));
    std::vector<std::size_t> figured;
    for (std::size_t q = 0; q < hasFigure.size(); ++q)
        if ((hasFigure[q] = rng.chance(plan.figureShare)))
            figured.push_back(q);
    const bool highNames = m != mqAB && m != mqAM;
    std::vector<const FigureName*> available;
    std::vector<const FigureName*> missing;
    const auto collect = [&](const std::vector<FigureName>& names) {
        for (const FigureName& f : names)
            (f.files == FigureFiles::Missing ? missing : available).push_back(&f);
    };
    collect(figures.low);
    const std::size_t lowAvailable = available.size();
    if (highNames) {
        missing.clear();  // S1..C5 miss figures from 800 up, where the variant rule applies
        collect(figures.high);
    }
    if (available.empty())
        throw std::logic_error("figure catalogue is empty");
    std::map<std::size_t, const FigureName*> missingAt;
    if (!missing.empty()) {
        rng.shuffle(figured);
        const std::size_t count =
            std::min(figured.size(), static_cast<std::size_t>(1 + questionCount / 1500));
        for (std::size_t i = 0; i < count; ++i)
            missingAt[figured[i]] = missing[i % missing.size()];
    }

    // Columns and rows.
    out.master.fields = masterFields(plan.layout);
    const auto col = [&](std::string_view name) {
        for (std::size_t i = 0; i < out.master.fields.size(); ++i)
            if (out.master.fields[i].name == name)
                return i;
        return out.master.fields.size();  // "Note" only in the professional layout
    };
    const std::size_t cId = col("Id"), cTesto = col("Testo"), cRisposta = col("Risposta"),
                      cFigura = col("Figura"), cLibro1 = col("Libro1"), cLibro2 = col("Libro2"),
                      cBlocco = col("Blocco"), cDomanda = col("Domanda"), cIndice = col("Indice"),
                      cCapitolo = col("Capitolo"), cDifficolta = col("Difficolta"),
                      cNote = col("Note");
    out.master.rows.reserve(static_cast<std::size_t>(questionCount));

    const TextFlavour flavour = flavourOf(plan.layout);
    std::int64_t nextId = 1;
    std::size_t q = 0;
    std::vector<int> blockCounter(chapters.size(), 0);
    for (const SampleTopic& topic : out.topics) {
        const std::size_t c = static_cast<std::size_t>(topic.argomento[0] - 'A');
        const int chapterNumber = std::stoi(topic.chapter);
        int blockLeft = 0;
        int domanda = 0;
        std::string blocco;
        for (int i = 0; i < topic.questions; ++i, ++q) {
            if (blockLeft == 0) {
                blockLeft = static_cast<int>(rng.between(6, 14));
                domanda = 0;
                blocco = std::to_string(chapterNumber) + twoDigits(++blockCounter[c]);
            }
            --blockLeft;
            ++domanda;

            std::vector<data::Value> row(out.master.fields.size());
            row[cId] = nextId;
            nextId += 1 + (rng.chance(0.01) ? rng.between(1, 3) : 0);
            row[cRisposta] = rng.chance(0.5);

            std::string figure;
            if (hasFigure[q]) {
                const auto hit = missingAt.find(q);
                if (hit != missingAt.end()) {
                    figure = hit->second->name;
                } else {
                    // S1..C5 draw half of their figures from 800 up.
                    const bool high =
                        highNames && available.size() > lowAvailable && rng.chance(0.5);
                    const auto idx =
                        high ? rng.between(static_cast<std::int64_t>(lowAvailable),
                                           static_cast<std::int64_t>(available.size()) - 1)
                             : rng.between(0, static_cast<std::int64_t>(lowAvailable) - 1);
                    figure = available[static_cast<std::size_t>(idx)]->name;
                }
            }

            // Text, with the figure reference " (" + figure + ")" in some of them.
            const bool withReference = !figure.empty() && rng.chance(0.35);
            std::string reference;
            if (withReference)
                reference =
                    " (" + (hasLetter(figure) && rng.chance(0.5) ? upper(figure) : figure) + ")";
            const int referenceChars = static_cast<int>(reference.size());
            const int maxChars = kMaxTextChars - referenceChars;
            const int target = std::min(drawTextLength(rng) - referenceChars, maxChars);
            std::string text = questionStatement(rng, flavour, !figure.empty() && rng.chance(0.7),
                                                 target, maxChars);
            if (plan.tabsInTexts && rng.chance(0.06)) {
                const std::size_t comma = text.find(", ");
                const std::size_t at = comma != std::string::npos ? comma + 1 : text.find(' ');
                if (at != std::string::npos)
                    text[at] = '\t';
            }
            if (withReference) {
                const std::size_t at = referencePosition(rng, text);
                text.insert(at, reference);
                // Now and then a second reference, which composition must leave in place.
                if (rng.chance(0.03) &&
                    static_cast<int>(utf8Length(text)) + referenceChars <= kMaxTextChars)
                    text.insert(text.size() - 1, reference);
            }

            row[cTesto] = text;
            row[cFigura] = figure;
            row[cBlocco] = blocco;
            row[cDomanda] = std::int64_t{domanda};
            row[cIndice] = topic.indice;
            row[cCapitolo] = topic.chapter;
            switch (plan.layout) {
                case ColumnLayout::Classic:
                    row[cLibro1] = "pag. " + std::to_string(rng.between(5, 320));
                    row[cLibro2] = rng.chance(0.7) ? "cap. " + std::to_string(chapterNumber) + "." +
                                                         std::to_string(rng.between(1, 9))
                                                   : std::string();
                    row[cDifficolta] = std::to_string(rng.between(1, 3));
                    break;
                case ColumnLayout::Compact:
                    row[cLibro1] = "p." + std::to_string(rng.between(5, 280));
                    row[cLibro2] = rng.chance(0.5) ? "§ " + std::to_string(chapterNumber) + "." +
                                                         std::to_string(rng.between(1, 6))
                                                   : std::string();
                    row[cDifficolta] = std::string(1, "FMD"[rng.between(0, 2)]);
                    break;
                case ColumnLayout::Professional:
                    row[cLibro1] = "Mod." + std::to_string(rng.between(1, 4)) + " p." +
                                   std::to_string(rng.between(3, 200));
                    row[cLibro2] = rng.chance(0.6)
                                       ? "art. " + std::to_string(rng.between(1, 240)) + " CdS"
                                       : std::string();
                    row[cDifficolta] = std::string(1, "BMA"[rng.between(0, 2)]);
                    if (rng.chance(0.1))
                        row[cNote] = std::string("rev. 2021");
                    break;
            }
            out.master.rows.push_back(std::move(row));
        }
    }
    return out;
}

std::string figuresFolderSetting(const std::filesystem::path& dir) {
    std::filesystem::path folder =
        (std::filesystem::absolute(dir) / std::string(kFiguresFolderName)).lexically_normal();
    std::string s = folder.string();
    if (s.empty() || s.back() != std::filesystem::path::preferred_separator)
        s += std::filesystem::path::preferred_separator;
    return s;
}

GenerateSummary generateSampleData(const std::filesystem::path& dir,
                                   const GenerateOptions& options) {
    GenerateSummary summary;
    const std::filesystem::path settingsPath = dir / std::string(kSettingsFileName);
    const std::string figuresSetting = figuresFolderSetting(dir);
    const bool writeSettings = options.settingsFile && !std::filesystem::exists(settingsPath);
    // The settings file is single-byte; a folder it cannot spell would point nowhere.
    if (writeSettings && !fitsCp1252(figuresSetting))
        throw SampleDataError("the figures folder " + figuresSetting + " cannot be written to " +
                              settingsPath.string() + " (characters outside Windows-1252)");
    for (TModalitaQuiz m : options.categories)
        if (!isWorkingCategory(m))
            throw SampleDataError("not a working category: " + std::to_string(int(m)));

    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir))
        throw SampleDataError("cannot create the folder " + dir.string() +
                              (ec ? ": " + ec.message() : std::string()));

    const FigureCatalogue figures = buildFigureCatalogue(options.seed);

    std::vector<TModalitaQuiz> categories = options.categories;
    if (categories.empty())
        categories.assign(workingCategories().begin(), workingCategories().end());
    for (TModalitaQuiz m : categories) {
        const CategorySample sample = buildCategory(m, options.seed, figures);
        // The ".QXD" name selects the binary form; the file is replaced atomically.
        const std::filesystem::path masterPath = dir / std::string(masterFile(m));
        try {
            data::saveTableFile(masterPath.string(), sample.master);
        } catch (const std::exception& e) {
            throw SampleDataError("cannot write the master " + masterPath.string() + ": " +
                                  e.what());
        }
        writeTopicList(dir / std::string(topicListFile(m)), sample.topics);

        GenerateSummary::Category c;
        c.category = m;
        c.questions = static_cast<int>(sample.master.rows.size());
        c.topics = static_cast<int>(sample.topics.size());
        std::size_t figureColumn = 0;
        while (sample.master.fields[figureColumn].name != "Figura")
            ++figureColumn;
        for (const auto& row : sample.master.rows)
            if (!std::get<std::string>(row[figureColumn]).empty())
                ++c.withFigure;
        summary.categories.push_back(c);
    }

    summary.figuresFolder = std::filesystem::path(figuresSetting);
    if (options.figures) {
        const std::filesystem::path folder = dir / std::string(kFiguresFolderName);
        std::filesystem::create_directories(folder, ec);
        if (ec || !std::filesystem::is_directory(folder))
            throw SampleDataError("cannot create the folder " + folder.string() +
                                  (ec ? ": " + ec.message() : std::string()));
        std::set<std::string> names;
        for (const FigureBitmap& b : figures.bitmaps) {
            writeBytes(folder / b.fileName, renderFigureBmp(b));
            names.insert(b.fileName);
            ++summary.figureFiles;
        }
        std::vector<std::filesystem::path> stale;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && generatorFigureName(name) && !names.count(name))
                stale.push_back(entry.path());
        }
        if (ec)
            throw SampleDataError("cannot list " + folder.string() + ": " + ec.message());
        for (const auto& path : stale) {
            if (!std::filesystem::remove(path, ec) || ec)
                throw SampleDataError("cannot remove the stale figure " + path.string() +
                                      (ec ? ": " + ec.message() : std::string()));
            ++summary.staleFiguresRemoved;
        }
    }

    if (writeSettings) {
        const settings::SettingKey& key = settings::settingsTable().figuresFolder;
        try {
            settings::IniFile ini(settingsPath.string());
            ini.writeString(key.section, key.key, figuresSetting);
        } catch (const std::exception& e) {
            throw SampleDataError(std::string("cannot write the settings file: ") + e.what());
        }
        summary.settingsWritten = true;
    }
    return summary;
}

}  // namespace vexora::sampledata
