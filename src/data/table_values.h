#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/table_data.h"

namespace vexora::data {

// Conversions between the value kinds a field can be read or written as, with the
// rules the table's field accessors follow:
// - reading a null value gives 0, "", false or the zero date-time;
// - an empty (or blank) text written into a field that is not a text field makes it
//   null; a text field written as an integer stores the decimal text;
// - a text read as an integer must be one, otherwise a TableError names the value;
// - text fields keep at most `size` characters (when size > 0).
// Every function names the field in its error messages.

std::int64_t valueToInteger(const FieldDef& field, const Value& v);
double valueToFloat(const FieldDef& field, const Value& v);
std::string valueToString(const FieldDef& field, const Value& v);
bool valueToBoolean(const FieldDef& field, const Value& v);
DateTimeValue valueToDateTime(const FieldDef& field, const Value& v);

// The stored value for a field given an integer, number, text, Boolean or date-time.
Value integerToValue(const FieldDef& field, std::int64_t i);
Value floatToValue(const FieldDef& field, double d);
Value stringToValue(const FieldDef& field, std::string_view text);
Value booleanToValue(const FieldDef& field, bool b);
Value dateTimeToValue(const FieldDef& field, DateTimeValue dt);
// Any value converted to the field's kind (null stays null).
Value variantToValue(const FieldDef& field, const Value& v);

// True when v is null or of the kind the field type stores.
bool valueMatchesType(FieldType type, const Value& v);
// The index of the Value alternative a field type stores (never 0, the null).
std::size_t valueIndexForType(FieldType type);

// Total order used by indexes: null first, then by value; texts by code point, or
// ignoring letter case when asked; NaN after every other number.
int compareValues(const Value& a, const Value& b, bool caseInsensitive);

// Compares UTF-8 texts ignoring the case of ASCII and Windows-1252 letters.
int compareTextIgnoreCase(std::string_view a, std::string_view b);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// "dd/mm/yyyy hh:nn:ss", or "dd/mm/yyyy" alone at midnight (how a date-time reads as text).
std::string formatDisplayDateTime(DateTimeValue v);
// Reads "dd/mm/yyyy[ hh:nn[:ss[.zzz]]]" or "yyyy-mm-dd[ |T]hh:nn[:ss[.zzz]]".
std::optional<DateTimeValue> parseDisplayDateTime(std::string_view text);

// "YYYY-MM-DDTHH:MM:SS.mmm", "YYYY-MM-DD" and "HH:MM:SS.mmm".
std::string formatIsoDateTime(DateTimeValue v);
std::string formatIsoDate(DateValue v);
std::string formatIsoTime(TimeValue v);

// Shortest decimal text that reads back as the same double.
std::string formatNumber(double d);

// Human-readable name of a field type ("an integer", "a date-time", ...), for messages.
std::string_view describeFieldType(FieldType type);

// A value quoted for an error message, cut to a readable length, control
// characters shown as blanks.
std::string quoteForMessage(std::string_view text);

}  // namespace vexora::data
