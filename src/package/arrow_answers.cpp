#include "arrow_answers.h"

#include <cstdint>
#include <stdexcept>

namespace lookup::arrow {
namespace {

void check_fits(bool large, std::size_t value) {
    if (!large && value > static_cast<std::size_t>(INT32_MAX)) {
        throw std::length_error("the answers of one array exceed the 2 GiB that 32-bit offsets reach; "
                                "give the names as large_string");
    }
}

// Bits of `bytes` (0 or 1 each) packed as Arrow packs them, low bit first;
// at least one byte, so that the buffer is never null.
void pack_bits(std::span<const PartAnswers> parts, std::vector<std::uint8_t> PartAnswers::*field, std::size_t count,
               std::vector<std::uint8_t>& out) {
    out.assign(count / 8 + 1, 0);
    std::size_t at = 0;
    for (const PartAnswers& part : parts) {
        for (const std::uint8_t bit : part.*field) {
            out[at >> 3] |= static_cast<std::uint8_t>(bit << (at & 7));
            ++at;
        }
    }
}

}  // namespace

void Offsets::resize(bool large, std::size_t count) {
    large_ = large;
    if (large) {
        wide_.assign(count, 0);
    } else {
        narrow_.assign(count, 0);
    }
}

std::shared_ptr<const AnswerColumn> join_parts(const AnswerShape& shape, std::span<PartAnswers> parts) {
    auto column = std::make_shared<AnswerColumn>();
    column->shape = shape;
    std::size_t count = 0;
    std::size_t nulls = 0;
    std::size_t bytes = 0;
    std::size_t labels = 0;
    for (const PartAnswers& part : parts) {
        count += part.present.size();
        for (const std::uint8_t present : part.present) {
            nulls += present == 0;
        }
        bytes += part.data.size();
        labels += part.label_ends.size();
    }
    column->length = static_cast<std::int64_t>(count);
    column->null_count = static_cast<std::int64_t>(nulls);
    if (nulls > 0) {
        pack_bits(parts, &PartAnswers::present, count, column->validity);
    }
    if (shape.type == AnswerType::truth) {
        pack_bits(parts, &PartAnswers::truths, count, column->truths);
        return column;
    }
    check_fits(shape.large, bytes);
    check_fits(shape.large, labels);
    column->data.reserve(bytes);
    column->offsets.resize(shape.large, count + 1);
    if (shape.type == AnswerType::parts) {
        column->label_count = static_cast<std::int64_t>(labels);
        column->label_offsets.resize(shape.large, labels + 1);
    }
    // Each part counts from its own start; shift by what came before it.
    std::size_t item = 0;
    std::size_t label = 0;
    for (PartAnswers& part : parts) {
        const auto data_base = static_cast<std::int64_t>(column->data.size());
        const auto label_base = static_cast<std::int64_t>(label);
        const std::int64_t base = shape.type == AnswerType::parts ? label_base : data_base;
        for (const std::int64_t end : part.ends) {
            column->offsets.set(++item, base + end);
        }
        for (const std::int64_t end : part.label_ends) {
            column->label_offsets.set(++label, data_base + end);
        }
        column->data.append(part.data);
        part = PartAnswers();  // its memory is not needed twice
    }
    return column;
}

}  // namespace lookup::arrow
