// The batch form of the six queries: a whole iterable of domains answered in
// one call. The items are read and held while attached to the interpreter;
// the lookups run detached, on up to `threads` threads sharing the table and
// its child index; the answers become objects once the calling thread is
// attached again.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "detached.h"
#include "query_bodies.h"
#include "round_helpers.h"
#include "shared_texts.h"
#include "signal_watch.h"

namespace lookup {

// The domains of a batch: the items, held by a tuple for the whole call so
// that their UTF-8 texts stay valid while the lookups run detached, however
// the caller's own container changes meanwhile.
struct DomainBatch {
    PyRef items;
};

// Any iterable of str but a single text, every item's UTF-8 form made (and
// kept by the str); an item that is not a str, or has no UTF-8 form, fails
// with the error of `domain` in the per-call function and a second note
// naming its index.
Result<DomainBatch> convert_domains(PyObject* object);

// The UTF-8 texts of items [first, first + texts.size()), taken round by
// round rather than all at once: a view per item of a million-item call
// would be 16 MB of memory touched for the first time, a page fault every
// 256 items. convert_domains made each form, so this takes it again.
Status view_items(const DomainBatch& domains, std::size_t first, std::span<std::string_view> texts);

struct BatchArgs {
    DomainBatch domains;
    std::uint64_t depth = 0;
    std::uint64_t threads = DEFAULT_THREADS;
    QueryFlags flags;
};

// Binds, then converts in parameter order: domains (with every item), depth
// (where the query has it), threads, then the flags as the per-call function
// converts them.
template <Query query, Owner owner>
Result<BatchArgs> convert_batch_arguments(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr const ParameterSpec& spec = QUERY_SPEC<query, Form::batch, owner>;
    PyObject* slots[MAX_SLOTS];
    if (Status bound = bind_arguments(spec, args, nargs, kwnames, slots); !bound.ok()) {
        return bound.take_error();
    }
    BatchArgs converted;
    Result<DomainBatch> domains = convert_domains(slots[0]);
    if (!domains.ok()) {
        return domains.take_error();
    }
    converted.domains = std::move(domains.value());
    if (Status rest = convert_rest<query, Form::batch>(slots, converted.depth, &converted.threads, converted.flags);
        !rest.ok()) {
        return rest.take_error();
    }
    return converted;
}

// Threads actually used for `count` domains when `asked` for: no more than
// one per MIN_DOMAINS_PER_THREAD domains (a thread costs about as much to
// start as that many lookups), and no more than MAX_THREADS.
inline constexpr std::size_t MIN_DOMAINS_PER_THREAD = 1024;
inline constexpr std::size_t MAX_THREADS = 64;
std::size_t threads_for(std::size_t count, std::uint64_t asked) noexcept;

// An answer kept until objects can be made: its text as a range of the
// domain's own UTF-8 text, or of the spill of the part that answered it
// (the lowered text, when lowering changed it, is gone by then).
// Left uninitialized until its domain is answered.
struct StoredAnswer {
    static constexpr std::uint8_t IN_DOMAIN = UINT8_MAX;
    Answer::Kind kind;
    std::uint8_t part;  // IN_DOMAIN, or the part whose spill holds the text
    std::size_t labels_in_front;
    std::size_t start;
    std::size_t size;
};

inline StoredAnswer store_answer(const Answer& answer, const Lookup& found, bool keep_case, std::uint8_t part,
                                 std::string& spill) {
    StoredAnswer stored{answer.kind, StoredAnswer::IN_DOMAIN, answer.labels_in_front, 0, answer.text.size()};
    if (answer.kind != Answer::Kind::text && answer.kind != Answer::Kind::parts) {
        return stored;
    }
    // An answer ends where its source does. Where the caller's text ends with
    // the same bytes (lowering changed none of them), the answer is cut from
    // it; only the others are copied.
    const NormalizedDomain& domain = found.domain();
    const std::string_view original = domain.original();
    const std::string_view lowered = domain.lowered();
    if (keep_case) {
        stored.start = static_cast<std::size_t>(answer.text.data() - original.data());
    } else if (answer.text.data() + answer.text.size() == lowered.data() + lowered.size() &&
               original.ends_with(answer.text)) {
        stored.start = original.size() - answer.text.size();
    } else {
        stored.start = spill.size();
        stored.part = part;
        spill.append(answer.text);
    }
    return stored;
}

// Items [first, first + answers.size()) of `list` (a new list, those items
// unset) made from the answers to `texts` (the UTF-8 texts of the same
// items), the texts of part P's spill in spills[P]. A
// text that is the whole of a domain given as an exact str is that str itself,
// and equal texts share one str while they keep recurring. An object that
// cannot be made throws as memory_error_from_null does.
void set_answers(PyObject* list, std::size_t first, const DomainBatch& domains,
                 std::span<const std::string_view> texts, std::span<const StoredAnswer> answers,
                 std::span<const std::string_view> spills, SharedTexts& shared);

// The UTF-8 texts and stored answers of two rounds: the one whose objects
// are being made and the one being looked up. A thread keeps its buffers from
// call to call: memory that the allocator hands back to the system comes back
// as fresh pages, and a page fault costs about as much as the lookups of a
// dozen names (48 bytes a name, 1.5 MiB for two rounds of BATCH_ROUND). A
// call made while the thread's buffers are in use (from a signal handler or
// a finalizer that runs while the answers are made) has buffers of its own.
class RoundBuffers {
public:
    explicit RoundBuffers(std::size_t round_size);
    RoundBuffers(const RoundBuffers&) = delete;
    RoundBuffers& operator=(const RoundBuffers&) = delete;
    ~RoundBuffers();

    // Round `round`'s buffers, of `count` items at most.
    std::span<std::string_view> texts(std::uint32_t round, std::size_t count) noexcept {
        return {held_->texts.data() + (round & 1) * round_size_, count};
    }
    StoredAnswer* answers(std::uint32_t round) noexcept { return held_->answers.data() + (round & 1) * round_size_; }

private:
    struct Held {
        std::vector<std::string_view> texts;
        std::vector<StoredAnswer> answers;
        bool in_use = false;
    };
    Held own_;
    Held* held_;
    std::size_t round_size_;
};

// Domains looked up (detached, on the threads) before their answers become
// objects (attached). Rounds overlap: while the calling thread makes one
// round's objects, the other threads look up the next one's names. Small
// enough that the buffers of two rounds stay in the processor's caches, large
// enough that a round's hand-over costs little against its lookups.
inline constexpr std::size_t BATCH_ROUND = 16384;
// A call of fewer than MIN_ROUNDS * BATCH_ROUND domains has MIN_ROUNDS
// rounds, of at least MIN_ROUND domains: the first round's lookups and the
// last round's objects overlap nothing, and in a call of two or three rounds
// they would be most of it (20,000 names in rounds of 16,384: the helpers
// idle for a third of the call).
inline constexpr std::size_t MIN_ROUNDS = 8;
inline constexpr std::size_t MIN_ROUND = 1024;
// The share of a round that one thread claims at a time: small, so that the
// threads end a round together.
inline constexpr std::size_t CHUNKS_PER_ROUND = 8;

inline std::size_t round_size_for(std::size_t total) noexcept {
    return std::clamp(total / MIN_ROUNDS, MIN_ROUND, BATCH_ROUND);
}

// A whole batch call: arguments bound and converted for the batch form of
// `query` as `owner` offers it, every domain looked up in `table`, and the
// list of answers. `table` should carry its child index: a batch is bulk work.
// A signal handler that raises meanwhile (Ctrl-C) ends the call with its
// exception within about INTERVAL plus a chunk.
template <Query query, Owner owner>
Result<PyObject*> run_batch(const SuffixTable& table, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Result<BatchArgs> bound = convert_batch_arguments<query, owner>(args, nargs, kwnames);
    if (!bound.ok()) {
        return bound.take_error();
    }
    const BatchArgs& a = bound.value();
    const auto total = static_cast<std::size_t>(PyTuple_GET_SIZE(a.domains.items.get()));
    PyRef list(PyList_New(static_cast<Py_ssize_t>(total)));
    if (!list) {
        return take_pending_exception();
    }
    const std::size_t parts = threads_for(total, a.threads);
    const std::size_t round_size = round_size_for(total);
    const std::size_t rounds = (total + round_size - 1) / round_size;
    auto first_of = [&](std::uint32_t round) { return (round - 1) * round_size; };
    auto count_of = [&](std::uint32_t round) { return std::min(round_size, total - first_of(round)); };
    RoundBuffers buffers(std::min(total, round_size));
    // The texts that lowering changed, by round and part, kept for the whole
    // call (shared texts may point into them); never resized once the
    // threads start.
    std::vector<std::string> spills(rounds * parts);
    auto look_up_items = [&](std::uint32_t round, std::size_t begin, std::size_t end, std::size_t part) {
        const std::span<const std::string_view> texts = buffers.texts(round, end);
        StoredAnswer* const answers = buffers.answers(round);
        // Held on this thread's stack while it appends: the parts' strings lie
        // side by side, and writing their sizes from two threads would pass
        // the cache line between them on every lowered name.
        std::string& kept = spills[(round - 1) * parts + part];
        std::string spill = std::move(kept);
        for (std::size_t i = begin; i < end; ++i) {
            const Lookup found = look_up(table, texts[i], a.flags);
            answers[i] = store_answer(answer_of<query>(found, a.depth), found, a.flags.keep_case,
                                      static_cast<std::uint8_t>(part), spill);
        }
        kept = std::move(spill);
    };
    auto view_round = [&](std::uint32_t round) {
        return view_items(a.domains, first_of(round), buffers.texts(round, count_of(round)));
    };
    SharedTexts shared;
    SignalWatch signals;
    RoundHelpers helpers(parts - 1, round_size / CHUNKS_PER_ROUND, look_up_items);
    if (rounds > 0) {
        if (Status viewed = view_round(1); !viewed.ok()) {
            return viewed.take_error();
        }
        helpers.publish(1, count_of(1));
    }
    for (std::uint32_t round = 1; round <= rounds; ++round) {
        bool complete;
        {
            const Detached detached;
            complete = helpers.complete(round, [&] { return signals.look(); });
        }
        if (!complete) {
            return take_pending_exception();  // what the handler raised; the answers are dropped
        }
        // The next round's lookups start before this one's objects are made.
        if (round < rounds) {
            if (Status viewed = view_round(round + 1); !viewed.ok()) {
                return viewed.take_error();
            }
            helpers.publish(round + 1, count_of(round + 1));
        }
        std::vector<std::string_view> round_spills(spills.begin() + static_cast<std::ptrdiff_t>((round - 1) * parts),
                                                   spills.begin() + static_cast<std::ptrdiff_t>(round * parts));
        set_answers(list.get(), first_of(round), a.domains, buffers.texts(round, count_of(round)),
                    std::span<const StoredAnswer>(buffers.answers(round), count_of(round)), round_spills, shared);
    }
    return list.release();
}

}  // namespace lookup
