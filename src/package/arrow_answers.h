// The answers of one query over one string column, built as Arrow buffers
// without a Python object: on up to `threads` threads, each answering a
// contiguous part into buffers of its own, then joined into the column's.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "answer_buffer.h"
#include "arrow_strings.h"
#include "batch_bodies.h"
#include "lookup.h"
#include "parallel_parts.h"
#include "query_bodies.h"
#include "signal_watch.h"

namespace lookup::arrow {

// What the answers of a query are: texts (utf8, or large_utf8 for a
// large_utf8 column), truths (bool), or lists of texts (private parts).
enum class AnswerType : std::uint8_t { text, truth, parts };

template <Query query>
inline constexpr AnswerType ANSWER_TYPE = query == Query::is_public || query == Query::is_private ? AnswerType::truth
                                          : query == Query::privateparts                            ? AnswerType::parts
                                                                                                    : AnswerType::text;

// The Arrow type of a column of answers.
struct AnswerShape {
    AnswerType type;
    bool large;              // 64-bit offsets
    bool in_struct;          // the one field of a struct, named field_name
    std::string field_name;
};

// One array of answers, immutable once made; exported arrays share it.
struct AnswerColumn {
    AnswerShape shape;
    std::int64_t length = 0;
    std::int64_t null_count = 0;
    std::vector<std::uint8_t> validity;  // packed bits; empty when nothing is null
    std::vector<std::uint8_t> truths;    // truth: packed bits
    Offsets offsets;                     // text: into data; parts: into the labels
    std::int64_t label_count = 0;        // parts
    Offsets label_offsets;               // parts: into data
    AnswerBuffer<char> data;             // never null
};

// The answers of one part of a column, before they are joined. Its offsets
// count from its own start, from a first 0; those of the first part are
// already the column's, and its buffers become the column's. A cache line
// each: the parts lie side by side, and a thread appending to one would
// otherwise keep taking its neighbour's sizes from the other thread.
struct alignas(64) PartAnswers {
    explicit PartAnswers(bool large) : ends(large), label_ends(large) {}

    std::vector<std::uint8_t> present;  // per item: 0 null, 1 an answer
    std::vector<std::uint8_t> truths;   // truth, per item
    Offsets ends;                       // text: into data; parts: into label_ends
    Offsets label_ends;                 // parts: into data
    AnswerBuffer<char> data;
};

// The parameters of a query besides its values.
struct ArrowRequest {
    QueryFlags flags;
    std::uint64_t depth = 0;
    std::uint64_t threads = DEFAULT_THREADS;
};

template <Query query>
void answer_items(const SuffixTable& table, const StringColumn& column, const ArrowRequest& request,
                  std::size_t begin, std::size_t end, PartAnswers& out) {
    for (std::size_t i = begin; i < end; ++i) {
        const std::optional<std::string_view> text = column.item(i);
        Answer answer;
        if (text) {
            const Lookup found = look_up(table, *text, request.flags);
            answer = answer_of<query>(found, request.depth);
            // The answer's text lives as long as `found`: copy it now.
            if (answer.kind == Answer::Kind::text) {
                out.data.append(answer.text.data(), answer.text.size());
            } else if (answer.kind == Answer::Kind::parts) {
                std::string_view rest = answer.text;
                for (std::size_t label = 0; label < answer.labels_in_front; ++label) {
                    const std::string_view taken = take_label(rest);
                    out.data.append(taken.data(), taken.size());
                    out.label_ends.push_back(static_cast<std::int64_t>(out.data.size()));
                }
                out.data.append(rest.data(), rest.size());
                out.label_ends.push_back(static_cast<std::int64_t>(out.data.size()));
            }
        }
        // A null stays null, and so does a name with no answer.
        out.present.push_back(text && answer.kind != Answer::Kind::none);
        if constexpr (ANSWER_TYPE<query> == AnswerType::truth) {
            out.truths.push_back(answer.kind == Answer::Kind::yes);
        } else if constexpr (ANSWER_TYPE<query> == AnswerType::parts) {
            out.ends.push_back(static_cast<std::int64_t>(out.label_ends.size() - 1));
        } else {
            out.ends.push_back(static_cast<std::int64_t>(out.data.size()));
        }
    }
}

// Items answered between two looks for signals: a few milliseconds' work.
inline constexpr std::size_t BATCH_CHUNK = 8192;

// Calls each(chunk_begin, chunk_end) over [begin, end), part `part` of a
// run_in_parts, BATCH_CHUNK items at a time, until `signals` says to stop.
// Returns whether every chunk was done.
template <class Each>
bool for_each_chunk(SignalWatch& signals, std::size_t begin, std::size_t end, std::size_t part, Each&& each) {
    for (std::size_t chunk = begin; chunk < end; chunk += BATCH_CHUNK) {
        if (signals.stop_part(part)) {
            return false;
        }
        each(chunk, std::min(end, chunk + BATCH_CHUNK));
    }
    return true;
}

// The parts' answers joined into one column of `shape`: the first part's
// buffers grown to the whole, each other part copied into its place by the
// thread that answered it (so run_in_parts over `count` items must split them
// as it did then). Throws std::length_error when 32-bit offsets cannot hold
// them, std::bad_alloc.
std::shared_ptr<const AnswerColumn> join_parts(const AnswerShape& shape, std::span<PartAnswers> parts,
                                               std::size_t count);

// The answers of `query` for every item of `column`, detached from any
// interpreter, chunk by chunk as the batch forms answer; null once
// `signals` says to stop. Throws what StringColumn::item throws,
// std::bad_alloc and std::length_error.
template <Query query>
std::shared_ptr<const AnswerColumn> answer_column(const SuffixTable& table, const StringColumn& column,
                                                  const AnswerShape& shape, const ArrowRequest& request,
                                                  SignalWatch& signals) {
    const std::size_t count = column.size();
    const std::size_t part_count = threads_for(count, request.threads);
    std::vector<PartAnswers> parts;
    parts.reserve(part_count);
    for (std::size_t part = 0; part < part_count; ++part) {
        parts.emplace_back(shape.large);
    }
    auto work = [&](std::size_t begin, std::size_t end, std::size_t part) {
        PartAnswers& out = parts[part];
        out.present.reserve(end - begin);
        if constexpr (ANSWER_TYPE<query> == AnswerType::truth) {
            out.truths.reserve(end - begin);
        } else {
            // The first part's room is the whole column's, as the join will
            // need it; answers are mostly no longer than their names. Room
            // not written to is never touched.
            const std::size_t from = part == 0 ? 0 : begin;
            const std::size_t to = part == 0 ? count : end;
            out.data.reserve(column.bytes_between(from, to) + 1);
            out.ends.reserve(to - from + 1);
            out.ends.push_back(0);
            if constexpr (ANSWER_TYPE<query> == AnswerType::parts) {
                out.label_ends.push_back(0);
            }
        }
        for_each_chunk(signals, begin, end, part, [&](std::size_t chunk, std::size_t chunk_end) {
            answer_items<query>(table, column, request, chunk, chunk_end, out);
        });
    };
    run_in_parts(count, part_count, work);
    if (signals.stopped()) {
        return nullptr;
    }
    return join_parts(shape, parts, count);
}

// The same, the query chosen at run time (for a stream's chunks).
using AnswerFunction = std::shared_ptr<const AnswerColumn> (*)(const SuffixTable&, const StringColumn&,
                                                               const AnswerShape&, const ArrowRequest&,
                                                               SignalWatch&);

}  // namespace lookup::arrow
