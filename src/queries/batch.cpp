#include "batch_bodies.h"

#include <algorithm>

namespace lookup {

Result<DomainBatch> convert_domains(PyObject* object) {
    DomainBatch batch;
    Result<PyRef> items = extract_items(object);
    if (!items.ok()) {
        return add_argument_note(items.take_error(), "domains");
    }
    batch.items = std::move(items.value());
    const Py_ssize_t count = PyTuple_GET_SIZE(batch.items.get());
    for (Py_ssize_t i = 0; i < count; ++i) {
        if (Result<std::string_view> text = extract_str(PyTuple_GET_ITEM(batch.items.get(), i)); !text.ok()) {
            return add_item_note(add_argument_note(text.take_error(), "domain"), static_cast<std::size_t>(i),
                                 "domains");
        }
    }
    return batch;
}

Status view_items(const DomainBatch& domains, std::size_t first, std::span<std::string_view> texts) {
    for (std::size_t n = 0; n < texts.size(); ++n) {
        Result<std::string_view> text =
            extract_str(PyTuple_GET_ITEM(domains.items.get(), static_cast<Py_ssize_t>(first + n)));
        if (!text.ok()) {
            return text.take_error();
        }
        texts[n] = text.value();
    }
    return {};
}

RoundBuffers::RoundBuffers(std::size_t round_size) : round_size_(round_size) {
    thread_local Held kept;
    held_ = kept.in_use ? &own_ : &kept;
    if (held_->texts.size() < 2 * round_size) {
        held_->texts.resize(2 * round_size);
        held_->answers.resize(2 * round_size);
    }
    held_->in_use = true;
}

RoundBuffers::~RoundBuffers() { held_->in_use = false; }

std::size_t threads_for(std::size_t count, std::uint64_t asked) noexcept {
    const std::size_t worth = std::max<std::size_t>(count / MIN_DOMAINS_PER_THREAD, 1);
    return static_cast<std::size_t>(std::min<std::uint64_t>({asked, MAX_THREADS, worth}));
}

void set_answers(PyObject* list, std::size_t first, const DomainBatch& domains,
                 std::span<const std::string_view> texts, std::span<const StoredAnswer> answers,
                 std::span<const std::string_view> spills, SharedTexts& shared) {
    for (std::size_t n = 0; n < answers.size(); ++n) {
        const std::size_t i = first + n;
        const StoredAnswer& stored = answers[n];
        const std::string_view whole = texts[n];
        const char* base = stored.part == StoredAnswer::IN_DOMAIN ? whole.data() : spills[stored.part].data();
        const Answer answer{stored.kind, stored.labels_in_front, std::string_view(base + stored.start, stored.size)};
        PyObject* item = PyTuple_GET_ITEM(domains.items.get(), static_cast<Py_ssize_t>(i));
        auto make_text = [&](std::string_view text) {
            const bool exact = PyUnicode_CheckExact(item);
            if (text.data() == whole.data() && text.size() == whole.size() && exact) {
                return Py_NewRef(item);
            }
            // Every answer to an ASCII domain is ASCII: lowering keeps it so.
            return shared.make(text, exact && PyUnicode_IS_ASCII(item));
        };
        PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), answer_object(answer, make_text, memory_error_from_null));
    }
}

}  // namespace lookup
