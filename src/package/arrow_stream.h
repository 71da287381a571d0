// The answers to a stream of string arrays as a stream themselves: each call
// for the next array reads one chunk from the producer, answers it and
// releases it, so that memory holds a chunk or two however long the stream.
// A signal handler that raises while a chunk is answered on the main thread
// ends the stream with an error naming what it raised: a consumer in C is
// never handed a Python exception.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "arrow_abi.h"
#include "arrow_answers.h"

namespace lookup::arrow {

struct StreamAnswers {
    OwnedStream input;
    ColumnType column_type;
    AnswerShape shape;
    SuffixTable table;  // a view: table_owner keeps what it views alive
    std::shared_ptr<void> table_owner;  // keeps *table alive
    ArrowRequest request;
    AnswerFunction answer;
    std::string last_error;
    std::size_t chunks_read = 0;
    std::size_t items_read = 0;
    // The thread that may look for signals while answering: the main thread
    // of the main interpreter, when it made the stream; else none.
    std::thread::id signal_thread;
};

// Hands `state` over to `out`, a stream of answers that the consumer
// releases. Allocates nothing.
void export_stream(std::unique_ptr<StreamAnswers> state, ArrowArrayStream* out) noexcept;

// Fills `out` with a stream of one chunk, `answers` (for consumers that read
// streams only). Throws std::bad_alloc, with `out` left untouched.
void export_one_chunk(std::shared_ptr<const AnswerColumn> answers, ArrowArrayStream* out);

}  // namespace lookup::arrow
