#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"

namespace vexora::compose {

// Topic that supplies slot 22 of the S3 and S6 rows for 21 selected topics. Those rows
// name a 22nd topic there, which a 21-topic selection does not have; topic 7 is the
// first topic that otherwise supplies a single slot, so the spread stays even.
inline constexpr int kSlot22TopicOfRow21 = 7;

// Highest topic number a selection can use: topic sets hold the numbers 1 to 31.
inline constexpr int kMaxTopicNumber = 31;

// Chapter code of every exam-sheet slot of a working category, in slot order (N
// entries); empty for any other value.
std::span<const std::string> examChapters(TModalitaQuiz m);

// Rows R of a category's topic distribution table (the most topics a topic sheet can
// take); 0 for a value that is not a working category.
int topicTableRows(TModalitaQuiz m);

// Row n of a category's topic distribution table: for every slot, the one-based position
// among the n selected topics of the topic that supplies it. Empty for n outside 1..R.
std::span<const int> topicTableRow(TModalitaQuiz m, int n);

}  // namespace vexora::compose
