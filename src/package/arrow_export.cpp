#include "arrow_export.h"

#include <string>
#include <utility>

namespace lookup::arrow {
namespace {

// What one exported schema owns: its texts and its one child, if any.
struct SchemaNode {
    std::string format;
    std::string name;
    ArrowSchema child{};
    ArrowSchema* children[1] = {&child};
};

void release_schema(ArrowSchema* schema) {
    auto* node = static_cast<SchemaNode*>(schema->private_data);
    for (std::int64_t i = 0; i < schema->n_children; ++i) {
        if (schema->children[i]->release != nullptr) {
            schema->children[i]->release(schema->children[i]);
        }
    }
    delete node;
    schema->release = nullptr;
}

// Makes the node first, so that nothing is written to `out` unless it is
// complete; returns it for a child to be filled in.
SchemaNode* fill_schema(ArrowSchema* out, std::string format, std::string name, bool with_child) {
    auto* node = new SchemaNode{std::move(format), std::move(name)};
    *out = ArrowSchema{node->format.c_str(), node->name.c_str(), nullptr, ARROW_FLAG_NULLABLE,
                       with_child ? 1 : 0, with_child ? node->children : nullptr, nullptr, &release_schema, node};
    return node;
}

// What one exported array owns: a share of the column, its buffer
// pointers and its one child, if any.
struct ArrayNode {
    std::shared_ptr<const AnswerColumn> column;
    const void* buffers[3] = {};
    ArrowArray child{};
    ArrowArray* children[1] = {&child};
};

void release_array(ArrowArray* array) {
    auto* node = static_cast<ArrayNode*>(array->private_data);
    for (std::int64_t i = 0; i < array->n_children; ++i) {
        if (array->children[i]->release != nullptr) {
            array->children[i]->release(array->children[i]);
        }
    }
    delete node;
    array->release = nullptr;
}

ArrayNode* fill_array(ArrowArray* out, const std::shared_ptr<const AnswerColumn>& column, std::int64_t length,
                      std::int64_t null_count, std::initializer_list<const void*> buffers, bool with_child) {
    auto* node = new ArrayNode{column};
    std::copy(buffers.begin(), buffers.end(), node->buffers);
    *out = ArrowArray{length, null_count, 0, static_cast<std::int64_t>(buffers.size()), with_child ? 1 : 0,
                      node->buffers, with_child ? node->children : nullptr, nullptr, &release_array, node};
    return node;
}

const char* text_format(bool large) { return large ? "U" : "u"; }

// The answers themselves, without the struct around them.
void export_answers(const std::shared_ptr<const AnswerColumn>& column, ArrowArray* out) {
    const AnswerColumn& c = *column;
    const void* validity = c.validity.empty() ? nullptr : c.validity.data();
    switch (c.shape.type) {
        case AnswerType::text:
            fill_array(out, column, c.length, c.null_count, {validity, c.offsets.data(), c.data.data()}, false);
            return;
        case AnswerType::truth:
            fill_array(out, column, c.length, c.null_count, {validity, c.truths.data()}, false);
            return;
        case AnswerType::parts: {
            ArrowArray labels;
            fill_array(&labels, column, c.label_count, 0, {nullptr, c.label_offsets.data(), c.data.data()}, false);
            try {
                ArrayNode* node = fill_array(out, column, c.length, c.null_count, {validity, c.offsets.data()}, true);
                node->child = labels;
            } catch (...) {
                labels.release(&labels);
                throw;
            }
            return;
        }
    }
}

// The answers' own schema: text, bool, or a list of text.
void export_answer_schema(const AnswerShape& shape, ArrowSchema* out, std::string name) {
    switch (shape.type) {
        case AnswerType::text:
            fill_schema(out, text_format(shape.large), std::move(name), false);
            return;
        case AnswerType::truth:
            fill_schema(out, "b", std::move(name), false);
            return;
        case AnswerType::parts: {
            ArrowSchema item;
            fill_schema(&item, text_format(shape.large), "item", false);
            try {
                fill_schema(out, shape.large ? "+L" : "+l", std::move(name), true)->child = item;
            } catch (...) {
                item.release(&item);
                throw;
            }
            return;
        }
    }
}

}  // namespace

void export_schema(const AnswerShape& shape, ArrowSchema* out) {
    if (!shape.in_struct) {
        export_answer_schema(shape, out, "");
        return;
    }
    ArrowSchema field;
    export_answer_schema(shape, &field, shape.field_name);
    try {
        fill_schema(out, "+s", "", true)->child = field;
    } catch (...) {
        field.release(&field);
        throw;
    }
}

void export_array(std::shared_ptr<const AnswerColumn> column, ArrowArray* out) {
    if (!column->shape.in_struct) {
        export_answers(column, out);
        return;
    }
    ArrowArray field;
    export_answers(column, &field);
    try {
        fill_array(out, column, column->length, 0, {nullptr}, true)->child = field;
    } catch (...) {
        field.release(&field);
        throw;
    }
}

}  // namespace lookup::arrow
