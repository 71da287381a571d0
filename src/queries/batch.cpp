#include "batch_bodies.h"

#include <algorithm>
#include <functional>

#include "id_index.h"

namespace lookup {

Result<DomainBatch> convert_domains(PyObject* object) {
    DomainBatch batch;
    Result<PyRef> items = extract_items(object);
    if (!items.ok()) {
        return add_argument_note(items.take_error(), "domains");
    }
    batch.items = std::move(items.value());
    const Py_ssize_t count = PyTuple_GET_SIZE(batch.items.get());
    batch.texts.reserve(static_cast<std::size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        Result<std::string_view> text = extract_str(PyTuple_GET_ITEM(batch.items.get(), i));
        if (!text.ok()) {
            return add_item_note(add_argument_note(text.take_error(), "domain"), static_cast<std::size_t>(i),
                                 "domains");
        }
        batch.texts.push_back(text.value());
    }
    return batch;
}

std::size_t threads_for(std::size_t count, std::uint64_t asked) noexcept {
    const std::size_t worth = std::max<std::size_t>(count / MIN_DOMAINS_PER_THREAD, 1);
    return static_cast<std::size_t>(std::min<std::uint64_t>({asked, MAX_THREADS, worth}));
}

namespace {

// Equal texts of one batch's answers made into one str: the public suffixes
// of a log, its sites, the labels "www" and "mail". A batch whose first
// TRIAL texts hardly repeat (fewer than one in eight) stops looking, so
// that all-different answers cost no more than before. The objects are
// borrowed from the answers, which hold them until the batch returns.
class SharedTexts {
public:
    static constexpr std::size_t TRIAL = 512;

    // A new reference to a str of `text` (which stays readable meanwhile).
    PyObject* make(std::string_view text) {
        if (!looking_) {
            return text_or_memory_error(text);
        }
        const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
        const std::uint32_t found = index_.find(hash, [&](std::uint32_t id) { return entries_[id].text == text; });
        if (found != IdIndex::NONE) {
            ++found_;
            return Py_NewRef(entries_[found].object);
        }
        PyObject* made = text_or_memory_error(text);
        if (made != nullptr) {
            index_.insert(hash, static_cast<std::uint32_t>(entries_.size()));
            entries_.push_back(Entry{text, made});
        }
        if (entries_.size() + found_ == TRIAL && 8 * found_ < TRIAL) {
            looking_ = false;
            entries_ = {};
            index_ = IdIndex(0);
        }
        return made;
    }

private:
    struct Entry {
        std::string_view text;
        PyObject* object;
    };

    std::vector<Entry> entries_;
    IdIndex index_{64};
    std::size_t found_ = 0;
    bool looking_ = true;
};

}  // namespace

Result<PyObject*> answers_list(const DomainBatch& domains, std::span<const StoredAnswer> answers,
                               const std::vector<std::string>& spills) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(answers.size())));
    if (!list) {
        return take_pending_exception();
    }
    SharedTexts shared;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const StoredAnswer& stored = answers[i];
        const std::string_view whole = domains.texts[i];
        const char* base = stored.part == StoredAnswer::IN_DOMAIN ? whole.data() : spills[stored.part].data();
        const Answer answer{stored.kind, stored.labels_in_front, std::string_view(base + stored.start, stored.size)};
        PyObject* item = PyTuple_GET_ITEM(domains.items.get(), static_cast<Py_ssize_t>(i));
        auto make_text = [&](std::string_view text) {
            if (text.data() == whole.data() && text.size() == whole.size() && PyUnicode_CheckExact(item)) {
                return Py_NewRef(item);
            }
            return shared.make(text);
        };
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i),
                        answer_object(answer, make_text, memory_error_from_null));
    }
    return list.release();
}

}  // namespace lookup
