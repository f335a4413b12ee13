#include "data/table.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <numeric>
#include <system_error>

#include "core/file_util.h"
#include "data/date_time.h"
#include "data/table_values.h"
#include "data/type_words.h"

namespace vexora::data {
namespace {

const Value kNullValue{};

// Orders kept besides the current one, so switching back and forth between a few
// orders does not sort again.
constexpr std::size_t kMaxOrderCaches = 4;

std::vector<std::string_view> splitFieldList(std::string_view list) {
    std::vector<std::string_view> out;
    while (!list.empty()) {
        const std::size_t semi = list.find(';');
        std::string_view part = list.substr(0, semi);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ')
            part.remove_suffix(1);
        if (!part.empty())
            out.push_back(part);
        if (semi == std::string_view::npos)
            break;
        list.remove_prefix(semi + 1);
    }
    return out;
}

bool isTextField(const FieldDef& f) {
    return f.type == FieldType::String || f.type == FieldType::WideString;
}

// Checks field definitions before they become a table.
void validateFields(const std::vector<FieldDef>& fields) {
    if (fields.empty())
        throw TableError("a table needs at least one field");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        if (f.name.empty())
            throw TableError("field " + std::to_string(i + 1) + " has no name");
        if (f.size < 0)
            throw TableError("field \"" + f.name + "\" has a negative size");
        for (std::size_t j = 0; j < i; ++j) {
            if (equalsIgnoreCase(fields[j].name, f.name))
                throw TableError("two fields are named \"" + f.name + "\"");
        }
    }
}

}  // namespace

// ---------------------------------------------------------------- Field

const FieldDef& Field::Def() const {
    // A Field kept across Close or a load of another file must not reach past the
    // fields the table now has.
    if (index_ >= table_->data_.fields.size())
        throw TableError("the field no longer belongs to an open table");
    return table_->data_.fields[index_];
}
const std::string& Field::FieldName() const {
    return Def().name;
}
bool Field::IsNull() const {
    return isNull(table_->valueAt(index_));
}
const Value& Field::AsVariant() const {
    return table_->valueAt(index_);
}
std::int64_t Field::AsInteger() const {
    return valueToInteger(Def(), table_->valueAt(index_));
}
std::string Field::AsString() const {
    return valueToString(Def(), table_->valueAt(index_));
}
bool Field::AsBoolean() const {
    return valueToBoolean(Def(), table_->valueAt(index_));
}
DateTimeValue Field::AsDateTime() const {
    return valueToDateTime(Def(), table_->valueAt(index_));
}
double Field::AsFloat() const {
    return valueToFloat(Def(), table_->valueAt(index_));
}
void Field::SetAsInteger(std::int64_t value) {
    table_->setValue(index_, integerToValue(Def(), value));
}
void Field::SetAsString(std::string_view value) {
    table_->setValue(index_, stringToValue(Def(), value));
}
void Field::SetAsBoolean(bool value) {
    table_->setValue(index_, booleanToValue(Def(), value));
}
void Field::SetAsDateTime(DateTimeValue value) {
    table_->setValue(index_, dateTimeToValue(Def(), value));
}
void Field::SetAsDateTime(const LocalDateTime& value) {
    DateTimeValue dt;
    try {
        dt = fromLocalDateTime(value);
    } catch (const std::out_of_range& e) {
        throw TableError("field \"" + FieldName() + "\": " + e.what());
    }
    SetAsDateTime(dt);
}
void Field::SetAsFloat(double value) {
    table_->setValue(index_, floatToValue(Def(), value));
}
void Field::SetAsVariant(const Value& value) {
    table_->setValue(index_, variantToValue(Def(), value));
}
void Field::Clear() {
    table_->setValue(index_, std::monostate{});
}

// ---------------------------------------------------------------- life cycle

Table::Table() = default;

Table::~Table() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the data stays as it was on disk.
    }
}

void Table::checkActive() const {
    if (!active_)
        throw TableError("the table is not open");
}

void Table::checkNotInFilter() const {
    if (inFilter_)
        throw TableError("the record filter cannot move, change or reorder the table");
}

void Table::checkBrowseMode() {
    checkActive();
    checkNotInFilter();
    if (state_ == TableState::Edit || state_ == TableState::Insert)
        Post();
}

void Table::AddFieldDef(std::string name, FieldType type, int size, bool required) {
    FieldDef f;
    f.name = std::move(name);
    f.type = type;
    f.size = size;
    f.required = required;
    fieldDefs_.push_back(std::move(f));
}

void Table::resetViewState() {
    caches_.clear();
    cur_ = nullptr;
    rangeActive_ = false;
    rangeStart_.clear();
    rangeEnd_.clear();
    accept_.assign(data_.rows.size(), -1);
    changeLog_.clear();
    buffer_.clear();
    editRow_ = kNoRow;
    visValid_ = false;
    visRows_.clear();
    curRow_ = kNoRow;
    curPos_ = 0;
    eof_ = bof_ = true;
    pendingFirst_ = true;
}

Table::OrderKey Table::resolveOrder(std::string_view fields, unsigned options) const {
    OrderKey key;
    for (std::string_view name : splitFieldList(fields))
        key.fields.push_back(fieldIndexOrThrow(name));
    key.descending = (options & ixDescending) != 0;
    key.caseInsensitive = (options & ixCaseInsensitive) != 0;
    return key;
}

void Table::CreateDataSet() {
    Close();
    std::vector<FieldDef> fields = fieldDefs_;
    validateFields(fields);
    bool hasAutoInc = false;
    for (FieldDef& f : fields) {
        if (const int fixed = canonicalFixedSize(f.type))
            f.size = fixed;
        if ((f.type == FieldType::Integer || f.type == FieldType::UnsignedInteger) && f.size == 0)
            f.size = 4;
        if (f.type == FieldType::Float && f.size == 0)
            f.size = 8;
        hasAutoInc = hasAutoInc || f.type == FieldType::AutoInc;
    }
    TableData d;
    d.fields = std::move(fields);
    d.autoIncValue = hasAutoInc ? 1 : -1;
    data_ = std::move(d);
    fieldDefs_ = data_.fields;
    resetViewState();
    // Named indexes and the current order defined beforehand apply to the new table.
    try {
        for (const IndexDef& ix : indexDefs_)
            resolveOrder(ix.fields, ix.options);
        if (!indexName_.empty()) {
            const auto it = std::find_if(
                indexDefs_.begin(), indexDefs_.end(),
                [&](const IndexDef& ix) { return equalsIgnoreCase(ix.name, indexName_); });
            order_ = it == indexDefs_.end() ? OrderKey{} : resolveOrder(it->fields, it->options);
        } else {
            order_ = resolveOrder(indexFieldNames_, 0);
        }
    } catch (const TableError&) {
        data_ = TableData{};
        throw;
    }
    active_ = true;
    valid_ = true;
    dataChanged_ = true;
    state_ = TableState::Browse;
}

void Table::adopt(TableData d) {
    validateFields(d.fields);
    const std::size_t columns = d.fields.size();
    std::int64_t maxAutoInc = 0;
    bool hasAutoInc = false;
    std::vector<std::size_t> kinds(columns);
    for (std::size_t j = 0; j < columns; ++j)
        kinds[j] = valueIndexForType(d.fields[j].type);
    for (std::size_t r = 0; r < d.rows.size(); ++r) {
        const auto& row = d.rows[r];
        if (row.size() != columns) {
            throw TableError("row " + std::to_string(r + 1) + " has " + std::to_string(row.size()) +
                             " values for " + std::to_string(columns) + " fields");
        }
        for (std::size_t j = 0; j < columns; ++j) {
            if (row[j].index() != kinds[j] && !isNull(row[j])) {
                throw TableError("row " + std::to_string(r + 1) + ", field \"" + d.fields[j].name +
                                 "\": the value is not " +
                                 std::string(describeFieldType(d.fields[j].type)));
            }
            if (d.fields[j].type == FieldType::AutoInc) {
                if (const auto* i = std::get_if<std::int64_t>(&row[j]))
                    maxAutoInc = std::max(maxAutoInc, *i);
            }
        }
    }
    for (const FieldDef& f : d.fields)
        hasAutoInc = hasAutoInc || f.type == FieldType::AutoInc;
    // The next autoincrement value never repeats one the rows already hold.
    if (hasAutoInc)
        d.autoIncValue = std::max({d.autoIncValue, maxAutoInc + 1, std::int64_t{1}});
    data_ = std::move(d);
}

void Table::LoadFromFile(const std::string& path) {
    Close();
    TableData d = loadTableFile(path);
    try {
        adopt(std::move(d));
    } catch (const TableError& e) {
        data_ = TableData{};
        throw TableError("table file \"" + path + "\": " + e.what());
    }
    fieldDefs_ = data_.fields;
    indexDefs_.clear();
    indexName_.clear();
    indexFieldNames_.clear();
    order_ = OrderKey{};
    resetViewState();
    active_ = true;
    valid_ = true;
    dataChanged_ = false;
    state_ = TableState::Browse;
}

void Table::SaveToFile(const std::string& path) {
    SaveToFile(path, formForFileName(path));
}

void Table::SaveToFile(const std::string& path, TableFileForm form) {
    checkBrowseMode();
    saveTableFile(path, data_, form);
    if (!fileName_.empty()) {
        std::error_code ec;
        if (path == fileName_ ||
            std::filesystem::equivalent(pathFromUtf8(path), pathFromUtf8(fileName_), ec))
            dataChanged_ = false;
    }
}

bool Table::shouldWriteOnClose() const {
    if (fileName_.empty() || !valid_ || data_.rows.empty())
        return false;
    std::error_code ec;
    return dataChanged_ || !std::filesystem::exists(pathFromUtf8(fileName_), ec);
}

void Table::Open() {
    if (active_)
        return;
    std::error_code ec;
    if (fileName_.empty() || !std::filesystem::exists(pathFromUtf8(fileName_), ec))
        throw TableError("the table has no data to open: create it or load a file");
    LoadFromFile(fileName_);
}

void Table::Close() {
    if (!active_)
        return;
    checkNotInFilter();
    // A row still being built is never written anywhere.
    if (state_ == TableState::Edit || state_ == TableState::Insert)
        Cancel();
    if (shouldWriteOnClose()) {
        saveTableFile(fileName_, data_);
        dataChanged_ = false;
    }
    data_ = TableData{};
    resetViewState();
    active_ = false;
    valid_ = false;
    state_ = TableState::Inactive;
}

// ---------------------------------------------------------------- change log

void Table::SetLogChanges(bool on) {
    if (!on)
        changeLog_.clear();
    logChanges_ = on;
}

void Table::MergeChangeLog() {
    changeLog_.clear();
}

void Table::CancelUpdates() {
    checkBrowseMode();
    if (changeLog_.empty())
        return;
    for (auto it = changeLog_.rbegin(); it != changeLog_.rend(); ++it) {
        if (it->inserted) {
            // Logged appends are the last rows, in order (switching the log off
            // merges it, so no unlogged row can follow a logged one).
            if (it->row + 1 == data_.rows.size())
                data_.rows.pop_back();
        } else if (it->row < data_.rows.size()) {
            data_.rows[it->row] = std::move(it->original);
        }
    }
    changeLog_.clear();
    dataChanged_ = true;
    const std::uint32_t keep = curRow_ < data_.rows.size() ? curRow_ : kNoRow;
    caches_.clear();
    cur_ = nullptr;
    accept_.assign(data_.rows.size(), -1);
    curRow_ = keep;
    invalidateView(keep == kNoRow);
}

// ---------------------------------------------------------------- fields

std::optional<std::size_t> Table::FindFieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < data_.fields.size(); ++i) {
        const std::string& n = data_.fields[i].name;
        // Case folding keeps the UTF-8 length, so a length mismatch settles it.
        if (n.size() == name.size() && equalsIgnoreCase(n, name))
            return i;
    }
    return std::nullopt;
}

std::size_t Table::fieldIndexOrThrow(std::string_view name) const {
    if (const auto i = FindFieldIndex(name))
        return *i;
    throw TableError("field \"" + std::string(name) + "\" not found");
}

Field Table::FieldByName(std::string_view name) {
    checkActive();
    return Field(*this, fieldIndexOrThrow(name));
}

Field Table::FieldByIndex(std::size_t index) {
    checkActive();
    if (index >= data_.fields.size())
        throw TableError("field index " + std::to_string(index) + " out of range");
    return Field(*this, index);
}

const Value& Table::FieldValues(std::string_view name) {
    checkActive();
    return valueAt(fieldIndexOrThrow(name));
}

const Value& Table::valueAt(std::size_t index) {
    checkActive();
    if (index >= data_.fields.size())
        throw TableError("field index out of range");
    if (inFilter_)
        return data_.rows[filterRow_][index];
    if (state_ == TableState::Edit || state_ == TableState::Insert)
        return buffer_[index];
    ensureVisible();
    if (curRow_ == kNoRow)
        return kNullValue;
    return data_.rows[curRow_][index];
}

void Table::setValue(std::size_t index, Value value) {
    checkActive();
    checkNotInFilter();
    if (index >= data_.fields.size())
        throw TableError("field index out of range");
    const FieldDef& f = data_.fields[index];
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        throw TableError("field \"" + f.name + "\": the table is not being edited");
    if (f.readOnly)
        throw TableError("field \"" + f.name + "\" is read-only");
    buffer_[index] = std::move(value);
}

// ---------------------------------------------------------------- editing

void Table::Append() {
    checkBrowseMode();
    buffer_.assign(data_.fields.size(), Value{});
    editRow_ = kNoRow;
    state_ = TableState::Insert;
}

void Table::Edit() {
    checkBrowseMode();
    ensureVisible();
    if (curRow_ == kNoRow)
        throw TableError("there is no current row to edit");
    buffer_ = data_.rows[curRow_];
    editRow_ = curRow_;
    state_ = TableState::Edit;
}

void Table::Cancel() {
    checkActive();
    checkNotInFilter();
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        return;
    buffer_.clear();
    editRow_ = kNoRow;
    state_ = TableState::Browse;
}

void Table::Post() {
    checkActive();
    checkNotInFilter();
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        return;
    const std::size_t columns = data_.fields.size();
    for (std::size_t j = 0; j < columns; ++j) {
        const FieldDef& f = data_.fields[j];
        if (f.required && f.type != FieldType::AutoInc && isNull(buffer_[j]))
            throw TableError("field \"" + f.name + "\" must have a value");
    }

    if (state_ == TableState::Insert) {
        for (std::size_t j = 0; j < columns; ++j) {
            if (data_.fields[j].type != FieldType::AutoInc)
                continue;
            if (data_.autoIncValue < 1)
                data_.autoIncValue = 1;
            if (const auto* i = std::get_if<std::int64_t>(&buffer_[j])) {
                data_.autoIncValue = std::max(data_.autoIncValue, *i + 1);
            } else {
                // The column holds 32-bit values; a counter past them cannot go on.
                if (data_.autoIncValue > std::numeric_limits<std::int32_t>::max())
                    throw TableError("field \"" + data_.fields[j].name +
                                     "\": the autoincrement values are exhausted");
                buffer_[j] = data_.autoIncValue++;
            }
        }
        if (data_.rows.size() >= kNoRow - 1)
            throw TableError("the table is full");
        const auto row = static_cast<std::uint32_t>(data_.rows.size());
        data_.rows.push_back(std::move(buffer_));
        accept_.push_back(-1);
        if (logChanges_)
            changeLog_.push_back({row, true, {}});
        buffer_.clear();
        state_ = TableState::Browse;
        dataChanged_ = true;
        curRow_ = row;
        rowsChanged(row, true, {});
        return;
    }

    const std::uint32_t row = editRow_;
    std::vector<std::size_t> changed;
    for (std::size_t j = 0; j < columns; ++j) {
        if (buffer_[j] != data_.rows[row][j])
            changed.push_back(j);
    }
    state_ = TableState::Browse;
    editRow_ = kNoRow;
    if (changed.empty()) {
        buffer_.clear();
        return;
    }
    if (logChanges_)
        changeLog_.push_back({row, false, data_.rows[row]});
    data_.rows[row] = std::move(buffer_);
    buffer_.clear();
    dataChanged_ = true;
    curRow_ = row;
    rowsChanged(row, false, changed);
}

void Table::EmptyDataSet() {
    checkBrowseMode();
    data_.rows.clear();
    data_.rows.shrink_to_fit();
    resetViewState();
    dataChanged_ = true;
}

// ---------------------------------------------------------------- orders

int Table::compareRows(const OrderKey& key, std::uint32_t a, std::uint32_t b) const {
    const auto& ra = data_.rows[a];
    const auto& rb = data_.rows[b];
    for (std::size_t f : key.fields) {
        const int c = compareValues(ra[f], rb[f], key.caseInsensitive);
        if (c != 0)
            return key.descending ? -c : c;
    }
    return a < b ? -1 : (a > b ? 1 : 0);
}

int Table::compareToKeys(const OrderKey& key, std::uint32_t row,
                         const std::vector<Value>& keys) const {
    const auto& r = data_.rows[row];
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const int c = compareValues(r[key.fields[i]], keys[i], key.caseInsensitive);
        if (c != 0)
            return key.descending ? -c : c;
    }
    return 0;
}

Table::OrderCache& Table::currentOrder() {
    if (cur_ != nullptr)
        return *cur_;
    for (auto& c : caches_) {
        if (c->key == order_) {
            cur_ = c.get();
            return *cur_;
        }
    }
    auto cache = std::make_unique<OrderCache>();
    cache->key = order_;
    const auto n = static_cast<std::uint32_t>(data_.rows.size());
    cache->perm.resize(n);
    std::iota(cache->perm.begin(), cache->perm.end(), 0u);
    if (!order_.fields.empty()) {
        std::sort(cache->perm.begin(), cache->perm.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return compareRows(order_, a, b) < 0; });
    }
    cache->rank.resize(n);
    for (std::uint32_t i = 0; i < n; ++i)
        cache->rank[cache->perm[i]] = i;
    if (caches_.size() >= kMaxOrderCaches)
        caches_.erase(caches_.begin());
    caches_.push_back(std::move(cache));
    cur_ = caches_.back().get();
    return *cur_;
}

// Puts a new row, or a row whose key changed, at its place in an order.
void Table::placeRow(OrderCache& cache, std::uint32_t row, bool isNew) {
    auto& perm = cache.perm;
    std::size_t from = 0;
    if (isNew) {
        cache.rank.push_back(0);
    } else {
        from = cache.rank[row];
        perm.erase(perm.begin() + static_cast<std::ptrdiff_t>(from));
    }
    const auto at = std::lower_bound(
        perm.begin(), perm.end(), row,
        [&](std::uint32_t a, std::uint32_t b) { return compareRows(cache.key, a, b) < 0; });
    const auto to = static_cast<std::size_t>(at - perm.begin());
    perm.insert(at, row);
    const std::size_t first = isNew ? to : std::min(from, to);
    const std::size_t last = isNew ? perm.size() - 1 : std::max(from, to);
    for (std::size_t i = first; i <= last; ++i)
        cache.rank[perm[i]] = static_cast<std::uint32_t>(i);
}

// After a post: keeps every cached order and the visible rows up to date without
// recomputing them; only the posted row is placed again and asked the filter again.
void Table::rowsChanged(std::uint32_t row, bool isNew, const std::vector<std::size_t>& changed) {
    // The cursor belongs on the posted row now, whatever move was still pending.
    pendingFirst_ = false;
    for (auto& c : caches_) {
        bool keyChanged = isNew;
        for (std::size_t f : c->key.fields)
            keyChanged =
                keyChanged || std::find(changed.begin(), changed.end(), f) != changed.end();
        if (keyChanged)
            placeRow(*c, row, isNew);
    }
    accept_[row] = -1;
    if (!visValid_)
        return;
    computeBounds();
    if (visUsesList_) {
        const auto it = std::find(visRows_.begin(), visRows_.end(), row);
        if (it != visRows_.end())
            visRows_.erase(it);
        const std::uint32_t p = cur_->rank[row];
        bool visible = false;
        if (p >= lo_ && p < hi_) {
            try {
                visible = accepts(row);
            } catch (...) {
                // The filter is asked again (and raises again) on the next read.
                accept_[row] = -1;
                visValid_ = false;
                return;
            }
        }
        if (visible) {
            const auto& rank = cur_->rank;
            const auto at = std::lower_bound(
                visRows_.begin(), visRows_.end(), row,
                [&](std::uint32_t a, std::uint32_t b) { return rank[a] < rank[b]; });
            visRows_.insert(at, row);
        }
    }
    placeCursor();
}

void Table::AddIndex(std::string name, std::string fields, unsigned options) {
    checkNotInFilter();
    if (name.empty())
        throw TableError("an index needs a name");
    for (const IndexDef& ix : indexDefs_) {
        if (equalsIgnoreCase(ix.name, name))
            throw TableError("index \"" + name + "\" already exists");
    }
    if (splitFieldList(fields).empty())
        throw TableError("index \"" + name + "\" names no fields");
    if (active_)
        resolveOrder(fields, options);
    indexDefs_.push_back({std::move(name), std::move(fields), options});
}

void Table::SetIndexName(std::string_view name) {
    if (active_)
        checkBrowseMode();
    OrderKey key;
    std::string canonical;
    if (!name.empty()) {
        const auto it = std::find_if(indexDefs_.begin(), indexDefs_.end(), [&](const IndexDef& ix) {
            return equalsIgnoreCase(ix.name, name);
        });
        if (it == indexDefs_.end())
            throw TableError("index \"" + std::string(name) + "\" not found");
        if (active_)
            key = resolveOrder(it->fields, it->options);
        canonical = it->name;
    }
    indexName_ = canonical;
    indexFieldNames_.clear();
    if (!active_)
        return;
    if (key == order_)
        return;
    order_ = std::move(key);
    cur_ = nullptr;
    rangeActive_ = false;
    invalidateView(false);
}

void Table::SetIndexFieldNames(std::string_view fields) {
    if (active_)
        checkBrowseMode();
    OrderKey key;
    if (active_)
        key = resolveOrder(fields, 0);
    indexFieldNames_ = std::string(fields);
    indexName_.clear();
    if (!active_)
        return;
    if (key == order_)
        return;
    order_ = std::move(key);
    cur_ = nullptr;
    rangeActive_ = false;
    invalidateView(false);
}

// ---------------------------------------------------------------- range and filter

void Table::SetRange(const std::vector<std::string>& startKeys,
                     const std::vector<std::string>& endKeys) {
    checkBrowseMode();
    if (order_.fields.empty())
        throw TableError("a range needs a current order");
    if (startKeys.size() > order_.fields.size() || endKeys.size() > order_.fields.size())
        throw TableError("more range keys than fields in the current order");
    std::vector<Value> start;
    std::vector<Value> end;
    for (std::size_t i = 0; i < startKeys.size(); ++i) {
        const FieldDef& f = data_.fields[order_.fields[i]];
        // An empty key stands for null; null sorts first, so the range from null
        // to "" also holds the empty texts of a text field.
        start.push_back(startKeys[i].empty() ? Value{} : stringToValue(f, startKeys[i]));
    }
    for (std::size_t i = 0; i < endKeys.size(); ++i) {
        const FieldDef& f = data_.fields[order_.fields[i]];
        if (endKeys[i].empty() && isTextField(f))
            end.emplace_back(std::string());
        else if (endKeys[i].empty())
            end.emplace_back();
        else
            end.push_back(stringToValue(f, endKeys[i]));
    }
    rangeStart_ = std::move(start);
    rangeEnd_ = std::move(end);
    rangeActive_ = true;
    invalidateView(true);
}

void Table::SetRangeValues(const std::vector<Value>& startKeys, const std::vector<Value>& endKeys) {
    checkBrowseMode();
    if (order_.fields.empty())
        throw TableError("a range needs a current order");
    if (startKeys.size() > order_.fields.size() || endKeys.size() > order_.fields.size())
        throw TableError("more range keys than fields in the current order");
    std::vector<Value> start;
    std::vector<Value> end;
    for (std::size_t i = 0; i < startKeys.size(); ++i)
        start.push_back(variantToValue(data_.fields[order_.fields[i]], startKeys[i]));
    for (std::size_t i = 0; i < endKeys.size(); ++i)
        end.push_back(variantToValue(data_.fields[order_.fields[i]], endKeys[i]));
    rangeStart_ = std::move(start);
    rangeEnd_ = std::move(end);
    rangeActive_ = true;
    invalidateView(true);
}

void Table::CancelRange() {
    checkBrowseMode();
    if (!rangeActive_)
        return;
    rangeActive_ = false;
    invalidateView(true);
}

void Table::SetFiltered(bool on) {
    if (!active_) {
        filtered_ = on;
        return;
    }
    checkBrowseMode();
    filtered_ = on;
    std::fill(accept_.begin(), accept_.end(), std::int8_t{-1});
    invalidateView(true);
}

void Table::SetOnFilterRecord(FilterRecordEvent handler) {
    checkNotInFilter();
    onFilter_ = std::move(handler);
    std::fill(accept_.begin(), accept_.end(), std::int8_t{-1});
    if (active_ && filtered_)
        invalidateView(false);
}

void Table::Refresh() {
    checkBrowseMode();
    std::fill(accept_.begin(), accept_.end(), std::int8_t{-1});
    invalidateView(false);
}

bool Table::accepts(std::uint32_t row) {
    std::int8_t& known = accept_[row];
    if (known >= 0)
        return known == 1;
    struct Guard {
        Table& t;
        ~Guard() {
            t.inFilter_ = false;
            t.filterRow_ = kNoRow;
        }
    } guard{*this};
    inFilter_ = true;
    filterRow_ = row;
    bool ok = true;
    onFilter_(*this, ok);
    known = ok ? 1 : 0;
    return ok;
}

// ---------------------------------------------------------------- visible rows

void Table::invalidateView(bool goFirst) {
    visValid_ = false;
    if (goFirst)
        pendingFirst_ = true;
}

void Table::computeBounds() {
    const auto& perm = cur_->perm;
    if (!rangeActive_) {
        lo_ = 0;
        hi_ = perm.size();
        return;
    }
    const OrderKey& key = cur_->key;
    const auto lo = std::partition_point(perm.begin(), perm.end(), [&](std::uint32_t r) {
        return compareToKeys(key, r, rangeStart_) < 0;
    });
    const auto hi = std::partition_point(
        lo, perm.end(), [&](std::uint32_t r) { return compareToKeys(key, r, rangeEnd_) <= 0; });
    lo_ = static_cast<std::size_t>(lo - perm.begin());
    hi_ = static_cast<std::size_t>(hi - perm.begin());
}

void Table::ensureVisible() {
    if (visValid_)
        return;
    checkNotInFilter();
    currentOrder();
    computeBounds();
    visUsesList_ = filtered_ && static_cast<bool>(onFilter_);
    visRows_.clear();
    if (visUsesList_) {
        for (std::size_t p = lo_; p < hi_; ++p) {
            const std::uint32_t r = cur_->perm[p];
            if (accepts(r))
                visRows_.push_back(r);
        }
    }
    visValid_ = true;
    placeCursor();
}

std::size_t Table::visibleCount() const {
    return visUsesList_ ? visRows_.size() : hi_ - lo_;
}

std::uint32_t Table::visibleRow(std::size_t pos) const {
    return visUsesList_ ? visRows_[pos] : cur_->perm[lo_ + pos];
}

std::optional<std::size_t> Table::visiblePosition(std::uint32_t row) const {
    if (row >= cur_->rank.size())
        return std::nullopt;
    const std::uint32_t p = cur_->rank[row];
    if (p < lo_ || p >= hi_)
        return std::nullopt;
    if (!visUsesList_)
        return p - lo_;
    const auto& rank = cur_->rank;
    const auto it =
        std::lower_bound(visRows_.begin(), visRows_.end(), row,
                         [&](std::uint32_t a, std::uint32_t b) { return rank[a] < rank[b]; });
    if (it == visRows_.end() || *it != row)
        return std::nullopt;
    return static_cast<std::size_t>(it - visRows_.begin());
}

// Puts the cursor back on its row when that row is still visible; otherwise on the
// row now at its position (or the first row after a range or filter change).
void Table::placeCursor() {
    const std::size_t n = visibleCount();
    if (n == 0) {
        curPos_ = 0;
        curRow_ = kNoRow;
        eof_ = bof_ = true;
        pendingFirst_ = false;
        return;
    }
    if (pendingFirst_) {
        pendingFirst_ = false;
        curPos_ = 0;
        curRow_ = visibleRow(0);
        bof_ = true;
        eof_ = false;
        return;
    }
    if (curRow_ != kNoRow) {
        if (const auto pos = visiblePosition(curRow_)) {
            curPos_ = *pos;
            return;
        }
    }
    curPos_ = std::min(curPos_, n - 1);
    curRow_ = visibleRow(curPos_);
    eof_ = bof_ = false;
}

// ---------------------------------------------------------------- navigation

std::size_t Table::RecordCount() {
    checkActive();
    checkNotInFilter();
    ensureVisible();
    return visibleCount();
}

void Table::First() {
    checkBrowseMode();
    ensureVisible();
    pendingFirst_ = true;
    placeCursor();
}

void Table::Last() {
    checkBrowseMode();
    ensureVisible();
    const std::size_t n = visibleCount();
    if (n == 0)
        return;
    curPos_ = n - 1;
    curRow_ = visibleRow(curPos_);
    eof_ = true;
    bof_ = false;
}

void Table::Next() {
    MoveBy(1);
}

void Table::Prior() {
    MoveBy(-1);
}

int Table::MoveBy(int n) {
    checkBrowseMode();
    ensureVisible();
    const std::size_t count = visibleCount();
    if (count == 0) {
        eof_ = bof_ = true;
        return 0;
    }
    int moved = 0;
    if (n > 0) {
        const std::size_t room = count - 1 - curPos_;
        if (static_cast<std::size_t>(n) > room) {
            moved = static_cast<int>(room);
            curPos_ = count - 1;
            eof_ = true;
        } else {
            moved = n;
            curPos_ += static_cast<std::size_t>(n);
            eof_ = false;
        }
        bof_ = false;
    } else if (n < 0) {
        const std::size_t back = static_cast<std::size_t>(-static_cast<long long>(n));
        if (back > curPos_) {
            moved = -static_cast<int>(curPos_);
            curPos_ = 0;
            bof_ = true;
        } else {
            moved = n;
            curPos_ -= back;
            bof_ = false;
        }
        eof_ = false;
    }
    curRow_ = visibleRow(curPos_);
    return moved;
}

bool Table::Eof() {
    checkActive();
    checkNotInFilter();
    ensureVisible();
    return eof_;
}

bool Table::Bof() {
    checkActive();
    checkNotInFilter();
    ensureVisible();
    return bof_;
}

bool Table::Locate(std::string_view fieldName, const Value& value) {
    checkBrowseMode();
    const std::size_t index = fieldIndexOrThrow(fieldName);
    const Value wanted = variantToValue(data_.fields[index], value);
    ensureVisible();
    const std::size_t n = visibleCount();
    for (std::size_t pos = 0; pos < n; ++pos) {
        const std::uint32_t row = visibleRow(pos);
        const Value& v = data_.rows[row][index];
        if (v.index() == wanted.index() && compareValues(v, wanted, false) == 0) {
            curPos_ = pos;
            curRow_ = row;
            eof_ = bof_ = false;
            return true;
        }
    }
    return false;
}

}  // namespace vexora::data
