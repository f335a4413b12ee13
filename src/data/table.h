#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.h"
#include "data/table_data.h"
#include "data/table_file.h"

namespace vexora::data {

class Table;

// What the table is doing: closed, browsing, editing the current row, or holding a
// new row that Post appends.
enum class TableState { Inactive, Browse, Edit, Insert };

// Options of a named index (a bit set).
enum IndexOption : unsigned {
    ixPrimary = 1,
    ixUnique = 2,
    ixDescending = 4,
    ixCaseInsensitive = 8,
};

// A named index: an order over ";"-separated fields.
struct IndexDef {
    std::string name;
    std::string fields;
    unsigned options = 0;
};

// Record filter: called with the table positioned on the candidate row (field reads
// see that row); `accept` arrives true. Its answers are kept until the filter is
// switched (Filtered set, callback replaced, Refresh) or the row changes, so a
// callback that depends on outside state must be re-applied through one of those.
using FilterRecordEvent = std::function<void(Table& table, bool& accept)>;

// One field of the current row (or of the row being edited or appended, or of the
// candidate row inside the record filter), read and written with conversions.
// Writing needs the table in Edit or Insert state.
class Field {
public:
    // The field's definition (name, type, size, flags).
    const FieldDef& Def() const;
    const std::string& FieldName() const;
    std::size_t Index() const { return index_; }

    bool IsNull() const;
    // The stored value (null when the field is null); valid until the table changes.
    const Value& AsVariant() const;
    // Reads: null gives 0, "", false, the zero date-time. A text read as an integer
    // must hold one, otherwise a TableError is raised.
    std::int64_t AsInteger() const;
    std::string AsString() const;
    bool AsBoolean() const;
    DateTimeValue AsDateTime() const;
    double AsFloat() const;

    // Writes, converted to the field's type. A text field written as an integer stores
    // its decimal text; an empty text written into any other field makes it null.
    void SetAsInteger(std::int64_t value);
    void SetAsString(std::string_view value);
    void SetAsBoolean(bool value);
    void SetAsDateTime(DateTimeValue value);
    void SetAsDateTime(const LocalDateTime& value);
    void SetAsFloat(double value);
    void SetAsVariant(const Value& value);
    // Makes the field null.
    void Clear();

private:
    friend class Table;
    Field(Table& table, std::size_t index) : table_(&table), index_(index) {}
    Table* table_;
    std::size_t index_;
};

// An in-memory table of typed fields with a cursor, orders, a range, a record filter,
// a change log and persistence to table files (binary or XML form).
//
// The rows visible under the current order, range and filter are computed once and
// kept until something that can change them happens; RecordCount, First and MoveBy
// are then O(1), and a range over an order costs a binary search plus its size.
class Table {
public:
    Table();
    // Closes the table: a table created or loaded successfully that has an associated
    // file writes itself there when the rule of Close says so (errors are swallowed).
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // ---- structure
    // Field definitions used by CreateDataSet; after a load, the file's fields.
    std::vector<FieldDef>& FieldDefs() { return fieldDefs_; }
    // Adds a field definition (name, type, string size, required flag).
    void AddFieldDef(std::string name, FieldType type, int size = 0, bool required = false);
    // Creates an empty open table with exactly the defined fields.
    void CreateDataSet();
    // Fields of the open table, in order.
    const std::vector<FieldDef>& Fields() const { return data_.fields; }
    // Index of a field, looked up without regard to case.
    std::optional<std::size_t> FindFieldIndex(std::string_view name) const;

    // ---- files
    // Closes the table, reads the whole file (either form, recognised by content) and
    // opens the table on its first row. The file's fields replace the definitions;
    // named indexes, the order and the range start afresh (the filter setting stays).
    // Throws TableError naming the file; the table then stays closed.
    void LoadFromFile(const std::string& path);
    // Writes all rows and metadata, replacing the file atomically; the form is XML for
    // an ".XML" extension in any case, binary otherwise (or as given).
    void SaveToFile(const std::string& path);
    void SaveToFile(const std::string& path, TableFileForm form);
    // The file the table belongs to. On Close, a table created or loaded successfully
    // writes itself there when it has rows and its data changed since it was last
    // loaded or saved there, or the file does not exist.
    void SetFileName(std::string path) { fileName_ = std::move(path); }
    const std::string& FileName() const { return fileName_; }

    // ---- open / close
    // Opens a closed table by loading its associated file; no-op when open.
    void Open();
    // Cancels a pending edit or append, writes to the associated file when the rule of
    // FileName applies (a failed write throws and leaves the table open), then drops
    // the rows.
    void Close();
    bool Active() const { return active_; }
    TableState State() const { return state_; }
    // True when the data changed since it was created, loaded or saved to FileName.
    bool DataChanged() const { return dataChanged_; }

    // ---- change log
    bool LogChanges() const { return logChanges_; }
    // Switching the log off makes every logged change final.
    void SetLogChanges(bool on);
    // Makes all logged changes final.
    void MergeChangeLog();
    // Number of logged changes (posts) not yet merged.
    std::size_t ChangeCount() const { return changeLog_.size(); }
    // Undoes every logged change: edited rows get their old values, appended rows go.
    void CancelUpdates();

    // ---- rows and cursor
    // Deletes every row.
    void EmptyDataSet();
    // Number of rows visible under the current range and filter.
    std::size_t RecordCount();
    void First();
    void Last();
    void Next();
    void Prior();
    // Moves by n visible rows, stopping on the last (setting Eof) or the first row
    // (setting Bof); returns how many rows it moved.
    int MoveBy(int n);
    bool Eof();
    bool Bof();
    // True when no row is visible.
    bool IsEmpty() { return RecordCount() == 0; }

    // ---- fields
    // The named field; throws TableError for an unknown name.
    Field FieldByName(std::string_view name);
    Field FieldByIndex(std::size_t index);
    // The named field's value on the current row as a variant (null when null).
    const Value& FieldValues(std::string_view name);

    // ---- editing
    // Starts a new row; Post appends it.
    void Append();
    // Starts editing the current row.
    void Edit();
    // Makes the new or edited row permanent (assigning autoincrement values); the
    // cursor stays on it while it is visible.
    void Post();
    // Drops the pending new row or edit.
    void Cancel();

    // ---- search, order, range, filter
    // Moves to the first visible row whose field equals the value exactly (texts
    // case-sensitively); when there is none returns false and leaves the cursor.
    bool Locate(std::string_view fieldName, const Value& value);
    const std::vector<IndexDef>& IndexDefs() const { return indexDefs_; }
    // Adds a named index over ";"-separated fields; throws when the name is taken.
    void AddIndex(std::string name, std::string fields, unsigned options = 0);
    // Makes a named index the current order ("" for the rows' own order).
    void SetIndexName(std::string_view name);
    const std::string& IndexName() const { return indexName_; }
    // Makes the ";"-separated fields the current order without a named index.
    void SetIndexFieldNames(std::string_view fields);
    const std::string& IndexFieldNames() const { return indexFieldNames_; }
    // Shows only the rows whose current-order fields lie between the start and end
    // keys (inclusive), keys given as text and converted to the fields' types; an
    // empty key matches null (and, for text fields, the empty text). Goes to the first
    // row of the range.
    void SetRange(const std::vector<std::string>& startKeys,
                  const std::vector<std::string>& endKeys);
    // Same with values.
    void SetRangeValues(const std::vector<Value>& startKeys, const std::vector<Value>& endKeys);
    void CancelRange();
    bool RangeActive() const { return rangeActive_; }
    bool Filtered() const { return filtered_; }
    // Switches the record filter on or off and goes to the first visible row.
    void SetFiltered(bool on);
    void SetOnFilterRecord(FilterRecordEvent handler);
    // Asks the filter again for every row (after its outside state changed).
    void Refresh();

    // ---- display refresh (nested; no meaning for the data)
    void DisableControls() { ++controlsDisabled_; }
    void EnableControls() {
        if (controlsDisabled_ > 0)
            --controlsDisabled_;
    }
    bool ControlsDisabled() const { return controlsDisabled_ > 0; }

    // The posted rows and metadata as the file forms see them.
    const TableData& Data() const { return data_; }

private:
    friend class Field;
    struct OrderKey {
        std::vector<std::size_t> fields;
        bool descending = false;
        bool caseInsensitive = false;
        friend bool operator==(const OrderKey&, const OrderKey&) = default;
    };
    // Rows sorted by an order (ties by row number) and each row's position in it.
    struct OrderCache {
        OrderKey key;
        std::vector<std::uint32_t> perm;
        std::vector<std::uint32_t> rank;
    };
    struct ChangeEntry {
        std::uint32_t row;
        bool inserted;
        std::vector<Value> original;  // values before the edit (edits only)
    };
    static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;

    void checkActive() const;
    void checkNotInFilter() const;
    void checkBrowseMode();
    void adopt(TableData data);
    void resetViewState();
    std::size_t fieldIndexOrThrow(std::string_view name) const;
    OrderKey resolveOrder(std::string_view fields, unsigned options) const;

    const Value& valueAt(std::size_t index);
    void setValue(std::size_t index, Value value);

    int compareRows(const OrderKey& key, std::uint32_t a, std::uint32_t b) const;
    int compareToKeys(const OrderKey& key, std::uint32_t row, const std::vector<Value>& keys) const;
    OrderCache& currentOrder();
    void placeRow(OrderCache& cache, std::uint32_t row, bool isNew);
    void rowsChanged(std::uint32_t row, bool isNew, const std::vector<std::size_t>& changed);
    bool accepts(std::uint32_t row);
    void computeBounds();
    void ensureVisible();
    void invalidateView(bool goFirst);
    std::size_t visibleCount() const;
    std::uint32_t visibleRow(std::size_t pos) const;
    std::optional<std::size_t> visiblePosition(std::uint32_t row) const;
    void placeCursor();
    bool shouldWriteOnClose() const;

    std::vector<FieldDef> fieldDefs_;
    TableData data_;
    bool active_ = false;
    bool valid_ = false;  // created or loaded successfully
    bool dataChanged_ = false;
    std::string fileName_;
    TableState state_ = TableState::Inactive;

    std::vector<Value> buffer_;  // row being edited or appended
    std::uint32_t editRow_ = kNoRow;

    bool logChanges_ = true;
    std::vector<ChangeEntry> changeLog_;

    std::vector<IndexDef> indexDefs_;
    std::string indexName_;
    std::string indexFieldNames_;
    OrderKey order_;
    std::vector<std::unique_ptr<OrderCache>> caches_;
    OrderCache* cur_ = nullptr;  // cache of order_, once built

    bool rangeActive_ = false;
    std::vector<Value> rangeStart_;
    std::vector<Value> rangeEnd_;

    bool filtered_ = false;
    FilterRecordEvent onFilter_;
    std::vector<std::int8_t> accept_;  // per row: -1 not asked yet, 0 rejected, 1 accepted
    bool inFilter_ = false;
    std::uint32_t filterRow_ = kNoRow;

    // Visible rows: perm[lo_, hi_) of the current order, or (filtering) visRows_.
    bool visValid_ = false;
    bool visUsesList_ = false;
    std::size_t lo_ = 0;
    std::size_t hi_ = 0;
    std::vector<std::uint32_t> visRows_;

    std::size_t curPos_ = 0;
    std::uint32_t curRow_ = kNoRow;
    bool eof_ = true;
    bool bof_ = true;
    bool pendingFirst_ = true;

    int controlsDisabled_ = 0;
};

}  // namespace vexora::data
