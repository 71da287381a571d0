// Equal answer texts of one batch call made into one str object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "id_index.h"
#include "query_bodies.h"

namespace lookup {

// Equal texts of one batch's answers made into one str: the public suffixes
// of a log, its sites, the labels "www" and "mail". A batch whose first
// TRIAL texts hardly repeat (fewer than one in eight) stops looking, so
// that all-different answers cost no more than before. The objects are
// borrowed from the answers, which hold them until the batch returns.
class SharedTexts {
public:
    static constexpr std::size_t TRIAL = 512;

    // A new reference to a str of `text`, which must stay readable until the
    // batch returns: later texts are compared with it. `known_ascii` as for
    // new_text.
    PyObject* make(std::string_view text, bool known_ascii) {
        return looking_ ? make_while_looking(text, known_ascii) : text_or_memory_error(text, known_ascii);
    }

private:
    // Out of line: after TRIAL texts most batches stop looking, and the
    // inlined call above is then all that each answer pays.
    [[gnu::noinline]] PyObject* make_while_looking(std::string_view text, bool known_ascii) {
        const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
        const std::uint32_t found = index_.find(hash, [&](std::uint32_t id) { return entries_[id].text == text; });
        if (found != IdIndex::NONE) {
            ++found_;
            return Py_NewRef(entries_[found].object);
        }
        PyObject* made = text_or_memory_error(text, known_ascii);
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

    struct Entry {
        std::string_view text;
        PyObject* object;
    };

    std::vector<Entry> entries_;
    IdIndex index_{64};
    std::size_t found_ = 0;
    bool looking_ = true;
};

}  // namespace lookup
