#include "data/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "table_test_support.h"

namespace vexora::data {
namespace {

using testing::appendPrintRow;
using testing::at;
using testing::definePrintLikeFields;
using testing::visibleIds;

class PrintLikeTable : public ::testing::Test {
protected:
    void SetUp() override {
        definePrintLikeFields(t);
        t.CreateDataSet();
        t.SetLogChanges(false);
    }
    // Rows 1..n with chapters cycling "1".."5" and topics "A".."C".
    void fill(int n) {
        for (int i = 1; i <= n; ++i)
            appendPrintRow(t, i, std::to_string((i - 1) % 5 + 1), std::string(1, 'A' + i % 3));
    }
    void markExam(std::int64_t id, DateTimeValue when) {
        ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{id}));
        t.Edit();
        t.FieldByName("dtEsame").SetAsDateTime(when);
        t.FieldByName("rsEsame").SetAsBoolean(true);
        t.Post();
    }
    Table t;
};

// ---------------------------------------------------------------- creation, fields

TEST_F(PrintLikeTable, Post_AssignsAutoIncrementInOrder) {
    fill(4);
    t.First();
    for (int expected = 1; expected <= 4; ++expected, t.Next())
        EXPECT_EQ(t.FieldByName("nRec").AsInteger(), expected);
    EXPECT_EQ(t.Data().autoIncValue, 5);
}

TEST_F(PrintLikeTable, FieldByName_IgnoresCaseAndRejectsUnknownNames) {
    fill(1);
    t.First();
    EXPECT_EQ(t.FieldByName("idmaster").AsInteger(), 1);
    EXPECT_EQ(t.FieldByName("IDMASTER").AsInteger(), 1);
    EXPECT_THROW(t.FieldByName("IdMastr"), TableError);
}

TEST_F(PrintLikeTable, StringFieldWrittenAsInteger_StoresDecimalText) {
    t.Append();
    t.FieldByName("Domanda").SetAsInteger(7);
    t.FieldByName("Capitolo").SetAsInteger(-3);
    t.Post();
    EXPECT_EQ(std::get<std::string>(t.FieldByName("Domanda").AsVariant()), "7");
    EXPECT_EQ(t.FieldByName("Capitolo").AsString(), "-3");
}

TEST_F(PrintLikeTable, StringReadAsInteger_ParsesOrRaisesConversionError) {
    t.Append();
    t.FieldByName("Domanda").SetAsString("12");
    t.FieldByName("Indice").SetAsString("x1");
    t.Post();
    EXPECT_EQ(t.FieldByName("Domanda").AsInteger(), 12);
    EXPECT_THROW(t.FieldByName("Indice").AsInteger(), TableError);
}

TEST_F(PrintLikeTable, EmptyStringIntoDateTimeOrBoolean_MakesNull) {
    t.Append();
    t.FieldByName("dtNormali").SetAsDateTime(at(2024, 3, 3, 14, 5, 9, 250));
    t.FieldByName("rsNormali").SetAsBoolean(true);
    t.Post();
    t.Edit();
    t.FieldByName("dtNormali").SetAsString("");
    t.FieldByName("rsNormali").SetAsString("");
    t.Post();
    EXPECT_TRUE(t.FieldByName("dtNormali").IsNull());
    EXPECT_TRUE(t.FieldByName("rsNormali").IsNull());
    EXPECT_EQ(t.FieldByName("dtNormali").AsString(), "");
    EXPECT_FALSE(t.FieldByName("rsNormali").AsBoolean());
}

TEST_F(PrintLikeTable, StringLongerThanWidth_IsCut) {
    t.Append();
    t.FieldByName("Indice").SetAsString("ABCDE");
    t.FieldByName("Capitolo").SetAsString("èàò");  // characters, not bytes
    t.Post();
    EXPECT_EQ(t.FieldByName("Indice").AsString(), "ABC");
    EXPECT_EQ(t.FieldByName("Capitolo").AsString(), "èà");
}

TEST_F(PrintLikeTable, DateTimeReadsAsTextOnlyWhenSet) {
    t.Append();
    t.FieldByName("dtEsame").SetAsDateTime(LocalDateTime{2024, 3, 3, 14, 5, 9, 250});
    t.FieldByName("dtNormali").SetAsDateTime(at(2024, 3, 3));
    t.Post();
    EXPECT_EQ(t.FieldByName("dtEsame").AsDateTime(), at(2024, 3, 3, 14, 5, 9, 250));
    EXPECT_EQ(t.FieldByName("dtEsame").AsString(), "03/03/2024 14:05:09");
    EXPECT_EQ(t.FieldByName("dtNormali").AsString(), "03/03/2024");
    t.Edit();
    t.FieldByName("dtNormali").SetAsString("04/03/2024 10:00");
    t.Post();
    EXPECT_EQ(t.FieldByName("dtNormali").AsDateTime(), at(2024, 3, 4, 10));
}

TEST_F(PrintLikeTable, WritingOutsideEditOrAppend_IsRefused) {
    fill(1);
    t.First();
    EXPECT_THROW(t.FieldByName("Indice").SetAsString("Z"), TableError);
    EXPECT_EQ(t.FieldByName("Indice").AsString(), "B");
}

TEST_F(PrintLikeTable, IntegerOutOfFieldRange_IsRefused) {
    t.Append();
    EXPECT_THROW(t.FieldByName("IdMaster").SetAsInteger(std::int64_t{1} << 40), TableError);
    t.Cancel();
}

TEST_F(PrintLikeTable, Cancel_DropsTheNewRow) {
    fill(2);
    t.Append();
    t.FieldByName("IdMaster").SetAsInteger(99);
    t.Cancel();
    EXPECT_EQ(t.RecordCount(), 2u);
    EXPECT_FALSE(t.Locate("IdMaster", std::int64_t{99}));
}

TEST(Table, CreateDataSet_RejectsDuplicateOrEmptyNames) {
    Table t;
    t.AddFieldDef("Id", FieldType::Integer);
    t.AddFieldDef("ID", FieldType::String, 3);
    EXPECT_THROW(t.CreateDataSet(), TableError);
    EXPECT_FALSE(t.Active());
    t.FieldDefs().clear();
    t.AddFieldDef("", FieldType::Integer);
    EXPECT_THROW(t.CreateDataSet(), TableError);
}

TEST(Table, RequiredFieldWithoutValue_CannotBePosted) {
    Table t;
    t.AddFieldDef("Id", FieldType::Integer, 0, true);
    t.CreateDataSet();
    t.Append();
    EXPECT_THROW(t.Post(), TableError);
    t.FieldByName("Id").SetAsInteger(1);
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1u);
}

TEST(Table, OperationsOnClosedTable_Raise) {
    Table t;
    EXPECT_FALSE(t.Active());
    EXPECT_THROW(t.RecordCount(), TableError);
    EXPECT_THROW(t.First(), TableError);
    EXPECT_THROW(t.Append(), TableError);
    EXPECT_THROW(t.Open(), TableError);
}

// ---------------------------------------------------------------- navigation

TEST_F(PrintLikeTable, MoveByPastTheLastRow_StopsOnLastWithEof) {
    fill(5);
    t.First();
    EXPECT_FALSE(t.Eof());
    EXPECT_EQ(t.MoveBy(4), 4);
    EXPECT_FALSE(t.Eof());  // on the last row, not past it
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 5);
    t.First();
    EXPECT_EQ(t.MoveBy(9), 4);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 5);
    EXPECT_EQ(t.MoveBy(-10), -4);
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 1);
}

TEST_F(PrintLikeTable, PickerPattern_FirstThenMoveByDrawsEachRowAndLastTwice) {
    fill(6);
    std::vector<std::int64_t> drawn;
    for (int r = 0; r <= 6; ++r) {
        t.First();
        t.MoveBy(r);
        drawn.push_back(t.FieldByName("IdMaster").AsInteger());
    }
    EXPECT_EQ(drawn, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 6}));
}

TEST_F(PrintLikeTable, EmptyTable_IsAtEofAndReadsNull) {
    t.First();
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecordCount(), 0u);
    EXPECT_TRUE(t.FieldByName("IdMaster").IsNull());
    EXPECT_THROW(t.Edit(), TableError);
}

TEST_F(PrintLikeTable, Locate_FindsExactValueAndLeavesCursorOnMiss) {
    fill(8);
    ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{6}));
    EXPECT_EQ(t.FieldByName("nRec").AsInteger(), 6);
    EXPECT_FALSE(t.Locate("IdMaster", std::int64_t{60}));
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 6);
    // Exact and case-sensitive on texts.
    EXPECT_FALSE(t.Locate("Indice", std::string("a")));
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 6);
    ASSERT_TRUE(t.Locate("Indice", std::string("A")));
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 3);
    // An integer given as text is converted to the field's type.
    ASSERT_TRUE(t.Locate("IdMaster", std::string("2")));
    EXPECT_EQ(t.FieldByName("nRec").AsInteger(), 2);
}

TEST_F(PrintLikeTable, EmptyDataSet_DeletesEveryRow) {
    fill(3);
    t.EmptyDataSet();
    EXPECT_EQ(t.RecordCount(), 0u);
    t.First();
    EXPECT_TRUE(t.Eof());
    appendPrintRow(t, 10, "1", "A");
    EXPECT_EQ(t.RecordCount(), 1u);
}

// ---------------------------------------------------------------- order and range

TEST_F(PrintLikeTable, RangeWithEmptyKey_OverChapterAndExamDate_ShowsUnmarkedRowsOfChapter) {
    appendPrintRow(t, 1, "3", "A");
    appendPrintRow(t, 2, "30", "A");
    appendPrintRow(t, 3, "3", "B");
    appendPrintRow(t, 4, "03", "A");
    appendPrintRow(t, 5, "3", "C");
    appendPrintRow(t, 6, "4", "A");
    appendPrintRow(t, 7, "", "A");
    markExam(3, at(2024, 5, 1, 9));
    t.SetIndexFieldNames("Capitolo;dtEsame");
    t.SetRange({"3", ""}, {"3", ""});
    EXPECT_EQ(t.RecordCount(), 2u);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{1, 5}));
    t.CancelRange();
    EXPECT_EQ(t.RecordCount(), 7u);
}

TEST_F(PrintLikeTable, RangeOnOneKey_ShowsTheWholeChapterInOrder) {
    fill(10);
    markExam(8, at(2024, 1, 1));
    t.SetIndexFieldNames("Capitolo;dtEsame");
    t.SetRange({"3"}, {"3"});
    // Nulls sort first: row 3 (no exam date) before row 8.
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{3, 8}));
}

TEST_F(PrintLikeTable, RangeWithoutOrder_IsRefused) {
    fill(2);
    EXPECT_THROW(t.SetRange({"1"}, {"1"}), TableError);
}

TEST_F(PrintLikeTable, OrderChange_CancelsRangeAndKeepsCurrentRow) {
    fill(10);
    t.SetIndexFieldNames("Capitolo");
    t.SetRange({"2"}, {"2"});
    ASSERT_EQ(t.RecordCount(), 2u);
    ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{7}));
    t.SetIndexFieldNames("Indice;IdMaster");
    EXPECT_FALSE(t.RangeActive());
    EXPECT_EQ(t.RecordCount(), 10u);
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 7);
}

TEST_F(PrintLikeTable, NamedIndex_AddedOnceAndUsableAsOrder) {
    fill(6);
    t.AddIndex("Indice_nRec", "nRec", ixPrimary);
    EXPECT_THROW(t.AddIndex("indice_nrec", "IdMaster"), TableError);
    t.AddIndex("ByIdDesc", "IdMaster", ixDescending);
    ASSERT_EQ(t.IndexDefs().size(), 2u);
    EXPECT_EQ(t.IndexDefs()[0].name, "Indice_nRec");
    t.SetIndexName("ByIdDesc");
    EXPECT_EQ(t.IndexName(), "ByIdDesc");
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{6, 5, 4, 3, 2, 1}));
    t.SetIndexName("Indice_nRec");
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_THROW(t.SetIndexName("Missing"), TableError);
    EXPECT_THROW(t.AddIndex("Bad", "NoSuchField"), TableError);
}

TEST_F(PrintLikeTable, CaseInsensitiveIndex_RangesIgnoreCase) {
    appendPrintRow(t, 1, "1", "ab");
    appendPrintRow(t, 2, "1", "AB");
    appendPrintRow(t, 3, "1", "ac");
    t.AddIndex("ByTopic", "Indice", ixCaseInsensitive);
    t.SetIndexName("ByTopic");
    t.SetRange({"Ab"}, {"aB"});
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{1, 2}));
}

// ---------------------------------------------------------------- filter

class FilteredPrintTable : public PrintLikeTable {
protected:
    void SetUp() override {
        PrintLikeTable::SetUp();
        fill(12);
        // Rows of the chosen topic whose dtNormali is not set, as topic sheets need.
        t.SetOnFilterRecord([this](Table& table, bool& accept) {
            ++calls;
            accept = isNull(table.FieldValues("dtNormali")) &&
                     table.FieldByName("Indice").AsString() == topic;
        });
    }
    void markTopic(std::int64_t id) {
        ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{id}));
        t.Edit();
        t.FieldByName("dtNormali").SetAsDateTime(at(2024, 6, 1, 8));
        t.FieldByName("rsNormali").SetAsBoolean(true);
        t.Post();
    }
    std::string topic = "A";
    int calls = 0;
};

TEST_F(FilteredPrintTable, RecordCount_CountsOnlyAcceptedRows) {
    EXPECT_EQ(t.RecordCount(), 12u);
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 4u);  // ids 3, 6, 9, 12
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{3, 6, 9, 12}));
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 12u);
}

TEST_F(FilteredPrintTable, FilterAndRange_Combine) {
    t.SetIndexFieldNames("Capitolo");
    t.SetRange({"1"}, {"1"});  // ids 1, 6, 11
    t.SetFiltered(true);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{6}));
    t.CancelRange();
    EXPECT_EQ(t.RecordCount(), 4u);
}

TEST_F(FilteredPrintTable, RejectedRows_AreInvisibleToLocate) {
    t.SetFiltered(true);
    EXPECT_FALSE(t.Locate("IdMaster", std::int64_t{4}));
    EXPECT_TRUE(t.Locate("IdMaster", std::int64_t{9}));
}

TEST_F(FilteredPrintTable, MarkingARow_RemovesItFromTheVisibleRows) {
    t.SetFiltered(true);
    ASSERT_EQ(t.RecordCount(), 4u);
    markTopic(6);
    EXPECT_EQ(t.RecordCount(), 3u);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{3, 9, 12}));
    for (int r = 0; r <= 3; ++r) {
        t.First();
        t.MoveBy(r);
        EXPECT_NE(t.FieldByName("IdMaster").AsInteger(), 6);
    }
}

TEST_F(FilteredPrintTable, ClearingAMark_BringsTheRowBackInOrder) {
    t.SetFiltered(true);
    markTopic(6);
    ASSERT_EQ(t.RecordCount(), 3u);
    // Clear it with the filter off, as the topic reset does, then filter again.
    t.SetFiltered(false);
    ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{6}));
    t.Edit();
    t.FieldByName("dtNormali").SetAsString("");
    t.Post();
    t.SetFiltered(true);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{3, 6, 9, 12}));
}

TEST_F(FilteredPrintTable, EditThatRejectsTheCurrentRow_MovesCursorToTheNextVisible) {
    t.SetOnFilterRecord(
        [](Table& table, bool& accept) { accept = table.FieldByName("Indice").AsString() == "B"; });
    t.SetFiltered(true);
    ASSERT_EQ(visibleIds(t), (std::vector<std::int64_t>{1, 4, 7, 10}));
    ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{4}));
    t.Edit();
    t.FieldByName("Indice").SetAsString("C");
    t.Post();
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 7);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{1, 7, 10}));
    // An edit that keeps the row accepted keeps it and the cursor in place.
    ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{7}));
    t.Edit();
    t.FieldByName("Domanda").SetAsString("99");
    t.Post();
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 7);
    EXPECT_EQ(t.RecordCount(), 3u);
}

TEST_F(FilteredPrintTable, AppendedRow_IsFilteredAndCounted) {
    t.SetFiltered(true);
    ASSERT_EQ(t.RecordCount(), 4u);
    appendPrintRow(t, 100, "1", "A");
    appendPrintRow(t, 101, "1", "B");
    EXPECT_EQ(t.RecordCount(), 5u);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{3, 6, 9, 12, 100}));
}

TEST_F(FilteredPrintTable, SwitchingFilterOn_AsksAgainAfterOutsideStateChanged) {
    t.SetFiltered(true);
    ASSERT_EQ(t.RecordCount(), 4u);
    topic = "C";
    t.SetFiltered(false);
    t.SetFiltered(true);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{2, 5, 8, 11}));
}

TEST_F(FilteredPrintTable, Post_AsksTheFilterOnlyForThePostedRow) {
    t.SetFiltered(true);
    ASSERT_EQ(t.RecordCount(), 4u);
    const int before = calls;
    markTopic(3);
    EXPECT_EQ(calls - before, 1);
    EXPECT_EQ(t.RecordCount(), 3u);
}

TEST_F(FilteredPrintTable, FilterCallback_CannotMoveTheTable) {
    t.SetOnFilterRecord([](Table& table, bool&) { table.Next(); });
    t.SetFiltered(true);
    EXPECT_THROW(t.RecordCount(), TableError);
}

TEST_F(FilteredPrintTable, FilterWithoutCallback_ShowsAllRows) {
    t.SetOnFilterRecord(nullptr);
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 12u);
}

// ---------------------------------------------------------------- cached view

TEST_F(PrintLikeTable, MarkingUnderExamRange_LeavesTheRangeAtOnce) {
    fill(20);
    t.SetIndexFieldNames("Capitolo;dtEsame");
    t.SetRange({"2", ""}, {"2", ""});
    ASSERT_EQ(visibleIds(t), (std::vector<std::int64_t>{2, 7, 12, 17}));
    t.First();
    t.MoveBy(1);
    ASSERT_EQ(t.FieldByName("IdMaster").AsInteger(), 7);
    t.Edit();
    t.FieldByName("dtEsame").SetAsDateTime(at(2024, 2, 2, 10));
    t.Post();
    EXPECT_EQ(t.RecordCount(), 3u);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{2, 12, 17}));
    // Whole chapter, order "Capitolo;dtEsame": the marked row now sorts last.
    t.SetRange({"2"}, {"2"});
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{2, 12, 17, 7}));
}

TEST_F(PrintLikeTable, AppendUnderRange_JoinsTheRangeInOrder) {
    fill(10);
    t.SetIndexFieldNames("Capitolo;IdMaster");
    t.SetRange({"4"}, {"4"});
    ASSERT_EQ(t.RecordCount(), 2u);  // ids 4, 9
    appendPrintRow(t, 0, "4", "A");
    appendPrintRow(t, 5000, "5", "A");
    EXPECT_EQ(t.RecordCount(), 3u);
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{0, 4, 9}));
}

TEST_F(PrintLikeTable, EditOfOrderKey_MovesTheRowAndCursorFollowsIt) {
    fill(6);
    t.SetIndexFieldNames("IdMaster");
    ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{2}));
    t.Edit();
    t.FieldByName("IdMaster").SetAsInteger(50);
    t.Post();
    EXPECT_EQ(t.FieldByName("IdMaster").AsInteger(), 50);
    EXPECT_FALSE(t.Eof());
    t.Next();
    EXPECT_TRUE(t.Eof());  // it is the last row now
    EXPECT_EQ(visibleIds(t), (std::vector<std::int64_t>{1, 3, 4, 5, 6, 50}));
}

// Random edits, appends, orders, ranges and filter switches; after each step the
// table's visible rows must equal a view computed from scratch.
TEST(TableView, RandomOperations_MatchAFreshComputation) {
    Table t;
    definePrintLikeFields(t);
    t.CreateDataSet();
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int i = 0; i < 60; ++i)
        appendPrintRow(t, i, std::to_string(pick(4)), "A");

    struct ModelRow {
        std::int64_t id;
        std::string chapter;
        std::optional<std::int64_t> exam;
        bool topic;  // dtNormali set
    };
    std::vector<ModelRow> model;
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{i}));
        model.push_back({i, t.FieldByName("Capitolo").AsString(), std::nullopt, false});
    }
    bool filtered = false;
    std::string order;
    std::optional<std::string> rangeChapter;
    bool rangeNullExam = false;
    t.SetOnFilterRecord(
        [](Table& table, bool& accept) { accept = isNull(table.FieldValues("dtNormali")); });
    std::int64_t nextId = 1000;

    auto expected = [&]() {
        std::vector<const ModelRow*> rows;
        for (const auto& r : model) {
            if (filtered && r.topic)
                continue;
            if (rangeChapter && r.chapter != *rangeChapter)
                continue;
            if (rangeNullExam && r.exam)
                continue;
            rows.push_back(&r);
        }
        // Ties keep creation order, which the model's vector order is.
        if (order == "Capitolo;dtEsame") {
            std::stable_sort(rows.begin(), rows.end(), [](const ModelRow* a, const ModelRow* b) {
                if (a->chapter != b->chapter)
                    return a->chapter < b->chapter;
                if (a->exam.has_value() != b->exam.has_value())
                    return !a->exam.has_value();
                return a->exam.value_or(0) < b->exam.value_or(0);
            });
        } else if (order == "IdMaster") {
            std::stable_sort(rows.begin(), rows.end(),
                             [](const ModelRow* a, const ModelRow* b) { return a->id < b->id; });
        }
        std::vector<std::int64_t> ids;
        for (const auto* r : rows)
            ids.push_back(r->id);
        return ids;
    };

    for (int step = 0; step < 400; ++step) {
        const int op = pick(10);
        const auto visible = visibleIds(t);
        if (op <= 3 && !visible.empty()) {
            // Edit a visible row: exam mark, topic mark, chapter or id.
            t.First();
            t.MoveBy(pick(static_cast<int>(visible.size()) + 1));
            const std::int64_t id = t.FieldByName("IdMaster").AsInteger();
            auto& m = *std::find_if(model.begin(), model.end(),
                                    [&](const ModelRow& r) { return r.id == id; });
            t.Edit();
            switch (pick(4)) {
                case 0: {
                    const std::int64_t when = pick(2) ? 0 : 1 + pick(50);
                    if (when == 0) {
                        t.FieldByName("dtEsame").SetAsString("");
                        m.exam.reset();
                    } else {
                        t.FieldByName("dtEsame").SetAsDateTime(DateTimeValue{when * kMsPerDay});
                        m.exam = when;
                    }
                    break;
                }
                case 1:
                    m.topic = !m.topic;
                    if (m.topic)
                        t.FieldByName("dtNormali").SetAsDateTime(at(2024, 1, 1));
                    else
                        t.FieldByName("dtNormali").Clear();
                    break;
                case 2:
                    m.chapter = std::to_string(pick(4));
                    t.FieldByName("Capitolo").SetAsString(m.chapter);
                    break;
                default:
                    m.id = nextId++;
                    t.FieldByName("IdMaster").SetAsInteger(m.id);
                    break;
            }
            t.Post();
        } else if (op == 4) {
            const std::string chapter = std::to_string(pick(4));
            appendPrintRow(t, nextId, chapter, "A");
            model.push_back({nextId++, chapter, std::nullopt, false});
        } else if (op == 5) {
            filtered = !filtered;
            t.SetFiltered(filtered);
        } else if (op == 6) {
            const char* orders[] = {"", "Capitolo;dtEsame", "IdMaster"};
            const std::string next = orders[pick(3)];
            t.SetIndexFieldNames(next);
            // Setting the order it already has changes nothing, range included.
            if (next != order) {
                order = next;
                rangeChapter.reset();
                rangeNullExam = false;
            }
        } else if (op == 7 && order == "Capitolo;dtEsame") {
            rangeChapter = std::to_string(pick(4));
            rangeNullExam = pick(2) == 0;
            if (rangeNullExam)
                t.SetRange({*rangeChapter, ""}, {*rangeChapter, ""});
            else
                t.SetRange({*rangeChapter}, {*rangeChapter});
        } else if (op == 8) {
            t.CancelRange();
            rangeChapter.reset();
            rangeNullExam = false;
        }
        const auto want = expected();
        ASSERT_EQ(t.RecordCount(), want.size()) << "step " << step;
        ASSERT_EQ(visibleIds(t), want) << "step " << step;
    }
}

// ---------------------------------------------------------------- change log, controls

TEST_F(PrintLikeTable, ChangeLog_CountsMergesAndCancels) {
    fill(2);
    EXPECT_EQ(t.ChangeCount(), 0u);  // switched off while filling
    t.SetLogChanges(true);
    markExam(1, at(2024, 1, 2));
    appendPrintRow(t, 3, "1", "A");
    EXPECT_EQ(t.ChangeCount(), 2u);
    t.CancelUpdates();
    EXPECT_EQ(t.ChangeCount(), 0u);
    EXPECT_EQ(t.RecordCount(), 2u);
    ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{1}));
    EXPECT_TRUE(t.FieldByName("dtEsame").IsNull());

    markExam(2, at(2024, 1, 3));
    t.MergeChangeLog();
    EXPECT_EQ(t.ChangeCount(), 0u);
    t.CancelUpdates();
    ASSERT_TRUE(t.Locate("IdMaster", std::int64_t{2}));
    EXPECT_EQ(t.FieldByName("dtEsame").AsDateTime(), at(2024, 1, 3));
}

TEST_F(PrintLikeTable, DisableControls_Nests) {
    t.DisableControls();
    t.DisableControls();
    t.EnableControls();
    EXPECT_TRUE(t.ControlsDisabled());
    t.EnableControls();
    EXPECT_FALSE(t.ControlsDisabled());
    t.EnableControls();  // an extra resume does not go negative
    t.DisableControls();
    EXPECT_TRUE(t.ControlsDisabled());
}

}  // namespace
}  // namespace vexora::data
