#include "arrow_answers.h"

#include <cstdint>
#include <cstring>
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

std::shared_ptr<const AnswerColumn> join_parts(const AnswerShape& shape, std::span<PartAnswers> parts,
                                               std::size_t count) {
    auto column = std::make_shared<AnswerColumn>();
    column->shape = shape;
    column->length = static_cast<std::int64_t>(count);
    std::size_t nulls = 0;
    for (const PartAnswers& part : parts) {
        for (const std::uint8_t present : part.present) {
            nulls += present == 0;
        }
    }
    column->null_count = static_cast<std::int64_t>(nulls);
    if (nulls > 0) {
        pack_bits(parts, &PartAnswers::present, count, column->validity);
    }
    if (shape.type == AnswerType::truth) {
        pack_bits(parts, &PartAnswers::truths, count, column->truths);
        column->data.reserve(1);
        return column;
    }
    // Where each part's texts and labels begin in the column's.
    std::vector<std::size_t> data_bases(parts.size() + 1, 0);
    std::vector<std::size_t> label_bases(parts.size() + 1, 0);
    for (std::size_t part = 0; part < parts.size(); ++part) {
        data_bases[part + 1] = data_bases[part] + parts[part].data.size();
        label_bases[part + 1] = label_bases[part] + parts[part].label_ends.size() - (shape.type == AnswerType::parts);
    }
    check_fits(shape.large, data_bases.back());
    check_fits(shape.large, label_bases.back());
    AnswerColumn& c = *column;
    c.data = std::move(parts[0].data);
    c.data.resize_for_overwrite(data_bases.back() + 1);  // one byte more: never null
    c.offsets = std::move(parts[0].ends);
    c.offsets.resize_for_overwrite(count + 1);
    if (shape.type == AnswerType::parts) {
        c.label_count = static_cast<std::int64_t>(label_bases.back());
        c.label_offsets = std::move(parts[0].label_ends);
        c.label_offsets.resize_for_overwrite(label_bases.back() + 1);
    }
    // The other parts, each shifted by what came before it.
    auto fill = [&](std::size_t begin, std::size_t /*end*/, std::size_t part) {
        if (part == 0) {
            return;
        }
        PartAnswers& answers = parts[part];
        const auto data_base = static_cast<std::int64_t>(data_bases[part]);
        const auto label_base = static_cast<std::int64_t>(label_bases[part]);
        const std::int64_t base = shape.type == AnswerType::parts ? label_base : data_base;
        for (std::size_t at = 1; at < answers.ends.size(); ++at) {
            c.offsets.set(begin + at, base + answers.ends.get(at));
        }
        for (std::size_t at = 1; at < answers.label_ends.size(); ++at) {
            c.label_offsets.set(static_cast<std::size_t>(label_base) + at, data_base + answers.label_ends.get(at));
        }
        if (answers.data.size() > 0) {
            std::memcpy(c.data.data() + data_base, answers.data.data(), answers.data.size());
        }
        answers = PartAnswers(shape.large);  // its memory is not needed twice
    };
    run_in_parts(count, parts.size(), fill);
    return column;
}

}  // namespace lookup::arrow
