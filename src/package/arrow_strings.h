// Reading the string columns that the queries take from Arrow arrays: utf8,
// large_utf8 and utf8_view, at any offset, with or without a validity
// bitmap, alone or as the one field of a struct (a record batch of one
// column). Nothing is copied; every buffer is checked before it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "arrow_abi.h"

namespace lookup::arrow {

enum class StringLayout : std::uint8_t { utf8, large_utf8, utf8_view };

// A column type the queries take, from its schema.
struct ColumnType {
    StringLayout layout;
    bool in_struct;          // the one field of a struct
    std::string field_name;  // in_struct: the field's name
};

// The schema's type is not a string column: `what()` names its format.
class UnsupportedType : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An array that breaks the layout its schema declares.
class MalformedArray : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An item whose bytes are not UTF-8 (counted from 0 in the array).
struct NotUtf8 {
    std::size_t index;
};

ColumnType column_type(const ArrowSchema& schema);

// The items of one array of a ColumnType. The array must outlive the column.
class StringColumn {
public:
    // Checks the array's shape and buffers: MalformedArray when they are wrong.
    StringColumn(const ArrowArray& array, const ColumnType& type);

    std::size_t size() const noexcept { return size_; }
    // Item `i` (below size()): nothing for a null, else its text. Throws
    // MalformedArray for offsets out of order or past the data, NotUtf8
    // (unless `known_utf8`: its bytes were seen to be, by ascii_between).
    std::optional<std::string_view> item(std::size_t i, bool known_utf8 = false) const;

    // The bytes that items [begin, end) span in the data buffer, when they
    // lie in it in order (utf8 and large_utf8; 0 for views or offsets out of
    // order), and whether they are all ASCII: then every item among them is
    // UTF-8, checked once for all with a word at a time.
    std::size_t bytes_between(std::size_t begin, std::size_t end) const noexcept;
    bool ascii_between(std::size_t begin, std::size_t end) const noexcept;

private:
    std::string_view bytes_of(std::int64_t at) const;
    std::int64_t offset_at(std::int64_t at) const noexcept;

    StringLayout layout_;
    std::size_t size_;
    const std::uint8_t* outer_validity_ = nullptr;  // the struct's own
    std::int64_t outer_offset_ = 0;
    const std::uint8_t* validity_ = nullptr;
    std::int64_t offset_ = 0;  // where item 0 is in the string array's buffers
    const void* offsets_ = nullptr;  // utf8 and large_utf8; views for utf8_view
    const char* data_ = nullptr;
    // utf8_view: the variadic data buffers and their sizes.
    const char* const* view_data_ = nullptr;
    const std::int64_t* view_sizes_ = nullptr;
    std::int64_t view_buffers_ = 0;
};

}  // namespace lookup::arrow
