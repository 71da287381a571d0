// The run over all lines: read a batch, answer it, write its rows, on the
// calling thread alone or with worker threads answering batches while the
// calling thread reads and writes. Output keeps the input order, and a fixed
// number of batches is in flight, so memory does not grow with the input.
#pragma once

#include "input.h"
#include "output.h"
#include "rows.h"

namespace cli {

// Answers every line of `reader` on `jobs` threads. False when the output
// could not be written (output.error() tells why); the run stops there.
// Rethrows what answering threw (std::bad_alloc, lookup::Fault).
bool answer_all(InputReader& reader, const RowFormat& format, Output& output, unsigned jobs);

}  // namespace cli
