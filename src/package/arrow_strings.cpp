#include "arrow_strings.h"

#include <cstring>

#include "utf8.h"

namespace lookup::arrow {
namespace {

std::optional<StringLayout> string_layout(std::string_view format) noexcept {
    if (format == "u") {
        return StringLayout::utf8;
    }
    if (format == "U") {
        return StringLayout::large_utf8;
    }
    if (format == "vu") {
        return StringLayout::utf8_view;
    }
    return std::nullopt;
}

[[noreturn]] void malformed(const std::string& why) { throw MalformedArray(why); }

// The validity bitmap, or null when every item is valid; a bitmap the array
// needs and lacks is malformed.
const std::uint8_t* validity_of(const ArrowArray& array) {
    if (array.n_buffers < 1 || array.buffers == nullptr) {
        malformed("an array without buffers");
    }
    const auto* bits = static_cast<const std::uint8_t*>(array.buffers[0]);
    if (bits == nullptr && array.null_count > 0) {
        malformed("an array with nulls but no validity bitmap");
    }
    return array.null_count == 0 ? nullptr : bits;
}

void check_extent(const ArrowArray& array) {
    if (array.length < 0 || array.offset < 0 || array.length > INT64_MAX - array.offset - 1) {
        malformed("an array of negative length or offset");
    }
}

}  // namespace

ColumnType column_type(const ArrowSchema& schema) {
    const std::string_view format = schema.format != nullptr ? schema.format : "";
    if (schema.dictionary != nullptr) {
        throw UnsupportedType("format '" + std::string(format) + "' (dictionary-encoded: decode it first)");
    }
    if (const std::optional<StringLayout> layout = string_layout(format)) {
        return ColumnType{*layout, false, {}};
    }
    if (format == "+s" && schema.n_children == 1 && schema.children != nullptr && schema.children[0] != nullptr &&
        schema.children[0]->format != nullptr) {
        const ArrowSchema& field = *schema.children[0];
        if (const std::optional<StringLayout> layout = string_layout(field.format)) {
            return ColumnType{*layout, true, field.name != nullptr ? field.name : ""};
        }
        throw UnsupportedType("format '+s' with a field of format '" + std::string(field.format) + "'");
    }
    throw UnsupportedType("format '" + std::string(format) + "'");
}

StringColumn::StringColumn(const ArrowArray& given, const ColumnType& type) : layout_(type.layout) {
    check_extent(given);
    size_ = static_cast<std::size_t>(given.length);
    const ArrowArray* strings = &given;
    std::int64_t first = given.offset;
    if (type.in_struct) {
        if (given.n_children != 1 || given.children == nullptr || given.children[0] == nullptr) {
            malformed("a struct array without its one field");
        }
        outer_validity_ = validity_of(given);
        outer_offset_ = given.offset;
        strings = given.children[0];
        check_extent(*strings);
        if (strings->length < given.offset + given.length) {
            malformed("a struct array longer than its field");
        }
        first = strings->offset + given.offset;
    }
    const ArrowArray& array = *strings;
    validity_ = validity_of(array);
    // The field's bitmap counts from the field's own offset; so does every
    // other buffer, read at offset_ + i.
    offset_ = first;
    if (layout_ == StringLayout::utf8_view) {
        if (array.n_buffers < 3) {
            malformed("a utf8_view array without its buffer of data sizes");
        }
        offsets_ = array.buffers[1];
        view_buffers_ = array.n_buffers - 3;
        view_data_ = reinterpret_cast<const char* const*>(array.buffers + 2);
        view_sizes_ = static_cast<const std::int64_t*>(array.buffers[array.n_buffers - 1]);
        if ((offsets_ == nullptr && size_ > 0) || (view_sizes_ == nullptr && view_buffers_ > 0)) {
            malformed("a utf8_view array without its views or data sizes");
        }
        return;
    }
    if (array.n_buffers != 3) {
        malformed("a string array without its three buffers");
    }
    offsets_ = array.buffers[1];
    data_ = static_cast<const char*>(array.buffers[2]);
    if (size_ > 0 && offsets_ == nullptr) {
        malformed("a string array without offsets");
    }
    if (size_ > 0 && data_ == nullptr) {
        // Without data, every item must be empty: the span of them all.
        const std::int64_t start = offset_at(0);
        const std::int64_t end = offset_at(static_cast<std::int64_t>(size_));
        if (start < 0 || end < start) {
            offsets_out_of_order(0);
        }
        if (end > start) {
            malformed("a string array without data");
        }
    }
}

void StringColumn::offsets_out_of_order(std::int64_t at) {
    malformed("offsets out of order at item " + std::to_string(at));
}

std::size_t StringColumn::bytes_between(std::size_t begin, std::size_t end) const noexcept {
    if (layout_ == StringLayout::utf8_view || begin >= end) {
        return 0;
    }
    const std::int64_t start = offset_at(static_cast<std::int64_t>(begin));
    const std::int64_t stop = offset_at(static_cast<std::int64_t>(end));
    return start < 0 || stop < start ? 0 : static_cast<std::size_t>(stop - start);
}

std::string_view StringColumn::view_item(std::size_t i) const {
    // The length, then the text itself when it fits in 12 bytes, else a
    // prefix, the data buffer's number and the offset in it.
    const char* view = static_cast<const char*>(offsets_) + 16 * (offset_ + static_cast<std::int64_t>(i));
    std::int32_t length = 0;
    std::memcpy(&length, view, 4);
    if (length < 0) {
        malformed("a view of negative length at item " + std::to_string(i));
    }
    if (length <= 12) {
        return {view + 4, static_cast<std::size_t>(length)};
    }
    std::int32_t buffer = 0;
    std::int32_t start = 0;
    std::memcpy(&buffer, view + 8, 4);
    std::memcpy(&start, view + 12, 4);
    if (buffer < 0 || buffer >= view_buffers_ || start < 0 || view_data_[buffer] == nullptr ||
        static_cast<std::int64_t>(start) + length > view_sizes_[buffer]) {
        malformed("a view past its data at item " + std::to_string(i));
    }
    return {view_data_[buffer] + start, static_cast<std::size_t>(length)};
}

void StringColumn::check_utf8(std::size_t i, std::string_view text) {
    if (!utf8::is_valid(text)) {
        throw NotUtf8{i};
    }
}

}  // namespace lookup::arrow
