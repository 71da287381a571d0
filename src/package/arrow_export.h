// Answers handed to a consumer through the C data interface: an ArrowSchema
// for a column's type and ArrowArrays that share the column's buffers, each
// holding the column until its release callback (and its child's) has run.
#pragma once

#include <memory>

#include "arrow_abi.h"
#include "arrow_answers.h"

namespace lookup::arrow {

// Fills `out` with the schema of answers of `shape`. Throws std::bad_alloc
// (with `out` left untouched).
void export_schema(const AnswerShape& shape, ArrowSchema* out);

// Fills `out` with an array of `column`'s answers. Throws std::bad_alloc
// (with `out` left untouched).
void export_array(std::shared_ptr<const AnswerColumn> column, ArrowArray* out);

}  // namespace lookup::arrow
