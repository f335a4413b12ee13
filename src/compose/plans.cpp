#include "compose/plans.h"

#include <array>
#include <map>
#include <stdexcept>

namespace vexora::compose {
namespace {

using Codes = std::vector<std::string>;

// Two-digit chapter code of a chapter number.
std::string chapterCode(int n) {
    std::string code = std::to_string(n);
    if (code.size() < 2)
        code.insert(code.begin(), '0');
    return code;
}

Codes chapters(std::initializer_list<int> numbers) {
    Codes out;
    for (int n : numbers)
        out.push_back(chapterCode(n));
    return out;
}

Codes chapterRun(int first, int last) {
    Codes out;
    for (int n = first; n <= last; ++n)
        out.push_back(chapterCode(n));
    return out;
}

Codes join(std::initializer_list<Codes> parts) {
    Codes out;
    for (const Codes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Codes repeat(const Codes& part, int times) {
    Codes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// C1 and C2 share one plan around their three own chapters.
Codes cqcPlan(const Codes& own) {
    const Codes common = chapterRun(1, 10);
    return join({own, repeat(join({common, own, own}), 3), common, repeat(own, 3)});
}

std::array<Codes, kWorkingCategoryCount> buildExamPlans() {
    const Codes c1Own = chapters({11, 12, 13});
    const Codes c2Own = chapters({14, 15, 16});
    return {{
        join({chapterRun(1, 25), chapters({5, 12, 13, 17, 22})}),                  // AB
        repeat(chapterRun(1, 10), 3),                                              // AM
        chapters({1, 1, 2, 2, 2, 3, 3, 3, 4, 5, 5, 5, 6, 7, 7, 7, 8, 9, 10, 10}),  // S1
        chapters({5, 5, 6, 7, 7, 7, 8, 9, 10, 10}),                                // S2
        chapters({1,  1,  2,  2,  2,  3,  3,  3,  3,  4,  5,  5,  6,  7,
                  7,  7,  8,  9,  10, 10, 11, 11, 11, 11, 11, 12, 13, 13,
                  13, 13, 14, 14, 14, 15, 15, 15, 16, 16, 16, 17}),  // S3
        chapters({11, 11, 11, 11, 11, 12, 13, 13, 13, 13,
                  14, 14, 14, 15, 15, 15, 16, 16, 16, 17}),                        // S4
        chapters({1, 1, 2, 2, 2, 3, 3, 4, 5, 5, 6, 6, 7, 7, 7, 8, 9, 9, 10, 10}),  // S5
        chapters(
            {1,  1,  2,  2,  2,  3,  3,  3,  4,  5,  5,  5,  6,  6,  7,  7,  7,  8,  9, 9, 10,
             10, 11, 11, 11, 11, 11, 12, 13, 13, 13, 13, 14, 14, 15, 15, 15, 16, 16, 16}),  // S6
        chapters({11, 11, 11, 11, 11, 12, 12, 13, 13, 13,
                  13, 14, 14, 14, 15, 15, 15, 16, 16, 16}),  // S7
        cqcPlan(c1Own),                                      // C1
        cqcPlan(c2Own),                                      // C2
        repeat(c1Own, 10),                                   // C3
        repeat(c2Own, 10),                                   // C4
        repeat(chapterRun(1, 10), 4),                        // C5
    }};
}

// A distribution table as written down: the sheet size, the row count, the extra
// topics of every row that has some ("n: topics; n: topics", "a-b" for a run, "t" for
// the slot-22 topic of the 21-topic rows) and the rows given whole.
struct TopicTableText {
    int q;
    int r;
    std::string_view extras;
    std::string_view wholeRows;
};

constexpr std::string_view kAbExtras =
    "4: 1 3; 7: 2 4; 8: 1-6; 9: 5 6 7; 11: 3-10; 12: 1 2 5 6 10 11; 13: 3 4 11 12; 14: 9 12; "
    "16: 1-14; 17: 3-15; 18: 6-17; 19: 8-18; 20: 10-19; 21: 12-20; 22: 14-21; "
    "23: 3 5 6 7 11 18 20; 24: 3 5 7 11 18 20; 25: 3 7 18 20 24; 26: 3 5 7 11; 27: 18 20 24; "
    "28: 3 7; 29: 24";
constexpr std::string_view kAbWhole = "31: 2-31";

constexpr std::string_view kS3Extras =
    "3: 2; 6: 2 3 4 5; 7: 1 2 3 4 6; 9: 2 3 4 6; 11: 2 3 4 6 7 8 9; 12: 4 6 9 10; 13: 11; "
    "14: 2-13; 16: 1 3 5 7 9 10 12 14; 17: 2 4 10 11 14 15; 18: 12 14 15 16; 19: 10 18; "
    "21: t 14-21 1-6 10 18 19 20; 22: 14-22 7 8 9 11 12 14 19 20 21";
constexpr std::string_view kS3Whole =
    "15: 1 1 2 2 3 3 4 4 5 5 6 6 7 7 8 8 9 9 10 10 11 11 12 12 13 13 14 14 15 2 3 4 6 7 8 9 10 "
    "12 13 14; "
    "23: 1-22 14-22 23 12 14 15 16 18 19 20 22; "
    "24: 1-22 14-22 23 24 15 16 18 19 20 22 23; "
    "25: 1-22 14-22 23 24 25 18 19 20 22 23 24; "
    "26: 1-22 14-22 23 24 25 26 21 22 23 24 25; "
    "27: 1-22 14-22 23 24 25 26 27 23 24 25 26";

constexpr std::string_view kS6Extras =
    "3: 2; 6: 2 3 4 5; 7: 1 2 3 4 6; 9: 2 3 4 6; 11: 2 3 4 6 7 8 9; 12: 4 6 9 10; 13: 11; "
    "14: 1-11 13; 16: 1 3 5 7 9 10 11 14; 17: 2 4 10 11 13 14; 18: 11 13 14 16; 19: 10 18; "
    "21: t 14-21 1-6 10 18 19 20; 22: 14-22 7 8 9 11 13 14 19 20 21";
constexpr std::string_view kS6Whole =
    "15: 1 1 2 2 3 3 4 4 5 5 6 6 7 7 8 8 9 9 10 10 11 11 12 12 13 13 14 14 15 2 3 4 6 7 8 9 10 "
    "11 13 14; "
    "23: 1-22 14-22 23 13 14 15 16 18 19 20 22; "
    "24: 1-22 14-22 23 24 15 16 18 19 20 22 23; "
    "25: 1-22 14-22 23 24 25 18 19 20 22 23 24";

constexpr std::string_view kCqcExtras =
    "3: 2; 4: 1 2; 6: 2 3 4 6; 8: 1-6; 9: 2-8; 11: 2 6 9 10; 12: 2-11; 13: 2 6 9 10 11; "
    "15: 2 6-14; 16: 2 6 10 13 14 15; 17: 13 16; 18: 1-16; 19: 2 6 8-18; "
    "20: 2 6 8 10 13 15 16 17 18 19; 21: 2 6 8 13 18 19 20; 22: 10 13 20 21; 23: 22; "
    "24: 2-23; 25: 2 3 7-24";
constexpr std::string_view kC2MoreExtras = "; 26: 2 3 7-14 18-25; 27: 2 3 9-15 20-26";

constexpr std::string_view kC5Whole =
    "15: 1 1 2 2 3 3 4 4 5 5 6 6 7 7 8 8 9 9 10 10 11 11 12 12 13 13 14 14 15 2 3 4 6 7 8 9 10 "
    "12 13 14";

// Reads "a b a-b t" into topic positions.
std::vector<int> parsePositions(std::string_view text) {
    std::vector<int> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        if (pos >= text.size())
            break;
        std::size_t end = text.find(' ', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string token(text.substr(pos, end - pos));
        pos = end;
        if (token == "t") {
            out.push_back(kSlot22TopicOfRow21);
            continue;
        }
        const std::size_t dash = token.find('-');
        if (dash == std::string::npos) {
            out.push_back(std::stoi(token));
        } else {
            const int first = std::stoi(token.substr(0, dash));
            const int last = std::stoi(token.substr(dash + 1));
            for (int p = first; p <= last; ++p)
                out.push_back(p);
        }
    }
    return out;
}

// Reads "n: positions; n: positions".
std::map<int, std::vector<int>> parseRows(std::string_view text) {
    std::map<int, std::vector<int>> rows;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(';', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view entry = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t colon = entry.find(':');
        if (colon == std::string_view::npos)
            continue;
        const int n = std::stoi(std::string(entry.substr(0, colon)));
        rows[n] = parsePositions(entry.substr(colon + 1));
    }
    return rows;
}

using TopicTable = std::vector<std::vector<int>>;  // index n - 1

TopicTable buildTopicTable(const TopicTableText& text) {
    const auto extras = parseRows(text.extras);
    const auto whole = parseRows(text.wholeRows);
    TopicTable table;
    for (int n = 1; n <= text.r; ++n) {
        if (const auto it = whole.find(n); it != whole.end()) {
            table.push_back(it->second);
            continue;
        }
        std::vector<int> row;
        const int b = text.q / n;
        for (int p = 1; p <= n; ++p)
            row.insert(row.end(), static_cast<std::size_t>(b), p);
        if (const auto it = extras.find(n); it != extras.end()) {
            row.insert(row.end(), it->second.begin(), it->second.end());
        }
        table.push_back(std::move(row));
    }
    return table;
}

std::array<TopicTable, kWorkingCategoryCount> buildTopicTables() {
    const std::string c2Extras = std::string(kCqcExtras) + std::string(kC2MoreExtras);
    return {{
        buildTopicTable({30, 31, kAbExtras, kAbWhole}),  // AB
        buildTopicTable({30, 22, kAbExtras, ""}),        // AM: the first 22 rows of AB
        buildTopicTable({20, 13,
                         "3: 1 3; 6: 2 3; 7: 1-6; 8: 2 3 5 7; 9: 9 1; 11: 1 2 3 5 7 8 9 10 11; "
                         "12: 2 3 5 8 9 10 11 12; 13: 2 3 8 9 10 11 12",
                         ""}),                                                       // S1
        buildTopicTable({10, 8, "3: 1; 4: 1 2; 6: 3 4 5 6; 7: 5 6 7; 8: 7 8", ""}),  // S2
        buildTopicTable({40, 27, kS3Extras, kS3Whole}),                              // S3
        buildTopicTable({20, 14,
                         "3: 1 3; 6: 2 3; 7: 1-6; 8: 2 3 5 7; 9: 9 1; 11: 1 2 4 5 7 8 9 10 11; "
                         "12: 2 4 5 8 9 10 11 12; 13: 2 4 8 9 10 11 12; 14: 8-13",
                         ""}),  // S4
        buildTopicTable({20, 12,
                         "3: 1 3; 6: 3 4; 7: 1-6; 8: 3 4 5 7; 9: 9 1; 11: 1 3 4 5 7 8 9 10 11; "
                         "12: 3 4 5 8 9 10 11 12",
                         ""}),                           // S5
        buildTopicTable({40, 25, kS6Extras, kS6Whole}),  // S6
        buildTopicTable({20, 13,
                         "3: 1 2; 6: 2 4; 7: 1-6; 8: 1 2 5 7; 9: 9 1; 11: 1 2 4 5 7 8 9 10 11; "
                         "12: 2 4 5 8 9 10 11 12; 13: 1 5 8 9 10 11 12",
                         ""}),                                                      // S7
        buildTopicTable({70, 25, kCqcExtras, ""}),                                  // C1
        buildTopicTable({70, 27, c2Extras, ""}),                                    // C2
        buildTopicTable({30, 10, "4: 1 3; 7: 1 4; 8: 1 2 3 4 5 7; 9: 1 4 7", ""}),  // C3
        buildTopicTable({30, 12,
                         "4: 1 3; 7: 1 3; 8: 1 2 3 5 6 7; 9: 3 5 7; 11: 3-10; 12: 1 3 5 7 10 11",
                         ""}),  // C4
        buildTopicTable({40, 15,
                         "3: 2; 6: 2 3 4 5; 7: 1 2 3 4 6; 9: 2 3 4 6; 11: 2 3 4 6 7 8 9; "
                         "12: 4 6 9 10; 13: 11; 14: 2-13",
                         kC5Whole}),  // C5
    }};
}

const std::array<Codes, kWorkingCategoryCount>& examPlans() {
    static const std::array<Codes, kWorkingCategoryCount> plans = buildExamPlans();
    return plans;
}

const std::array<TopicTable, kWorkingCategoryCount>& topicTables() {
    static const std::array<TopicTable, kWorkingCategoryCount> tables = buildTopicTables();
    return tables;
}

}  // namespace

std::span<const std::string> examChapters(TModalitaQuiz m) {
    if (!isWorkingCategory(m))
        return {};
    return examPlans()[m - 1];
}

int topicTableRows(TModalitaQuiz m) {
    if (!isWorkingCategory(m))
        return 0;
    return static_cast<int>(topicTables()[m - 1].size());
}

std::span<const int> topicTableRow(TModalitaQuiz m, int n) {
    if (!isWorkingCategory(m))
        return {};
    const TopicTable& table = topicTables()[m - 1];
    if (n < 1 || n > static_cast<int>(table.size()))
        return {};
    return table[static_cast<std::size_t>(n - 1)];
}

}  // namespace vexora::compose
