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
#include "utf8.h"

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
    // MalformedArray for offsets out of order or past the data, NotUtf8.
    // Inline: the columnar calls take every item through it.
    std::optional<std::string_view> item(std::size_t i) const {
        const auto at = static_cast<std::int64_t>(i);
        if ((outer_validity_ != nullptr && !bit_set(outer_validity_, outer_offset_ + at)) ||
            (validity_ != nullptr && !bit_set(validity_, offset_ + at))) {
            return std::nullopt;
        }
        const std::string_view text = layout_ == StringLayout::utf8_view ? view_item(i) : offsets_item(at);
        if (!utf8::is_ascii(text)) {
            check_utf8(i, text);
        }
        return text;
    }

    // The bytes that items [begin, end) span in the data buffer, when they
    // lie in it in order (utf8 and large_utf8; 0 for views or offsets out of
    // order).
    std::size_t bytes_between(std::size_t begin, std::size_t end) const noexcept;

private:
    static bool bit_set(const std::uint8_t* bits, std::int64_t at) noexcept {
        return (bits[at >> 3] >> (at & 7)) & 1;
    }
    // Item `at` of utf8 or large_utf8.
    std::string_view offsets_item(std::int64_t at) const {
        const std::int64_t start = offset_at(at);
        const std::int64_t end = offset_at(at + 1);
        if (start < 0 || end < start) [[unlikely]] {
            offsets_out_of_order(at);
        }
        return {data_ == nullptr ? "" : data_ + start, static_cast<std::size_t>(end - start)};
    }
    // Item `i` of utf8_view.
    std::string_view view_item(std::size_t i) const;
    // NotUtf8 for item `i` unless `text` (not all ASCII) is UTF-8.
    static void check_utf8(std::size_t i, std::string_view text);
    [[noreturn]] static void offsets_out_of_order(std::int64_t at);
    std::int64_t offset_at(std::int64_t at) const noexcept {
        return layout_ == StringLayout::utf8 ? static_cast<const std::int32_t*>(offsets_)[offset_ + at]
                                             : static_cast<const std::int64_t*>(offsets_)[offset_ + at];
    }

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
