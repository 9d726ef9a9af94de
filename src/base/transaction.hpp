#pragma once
// A computation that changes a record either finishes or leaves the record as it was: whatever
// stops it part-way (an error, std::bad_alloc, base::Cancelled) finds the record unchanged. Two
// ways to get there without copying more than needed:
//
//   base::on_copy(record, step);   // the step runs on a copy, which replaces the record when it
//                                  // returns: for records whose results sit among their inputs
//   base::with_results_aside(record, compute, &R::results, &R::more_results);
//                                  // the listed members are moved aside (blank while `compute`
//                                  // runs in place) and moved back if it throws: for records
//                                  // whose results are members of their own, all replaced by
//                                  // the computation
//
// The record takes its new state by moves that cannot throw, so no failure is left half done.
#include <tuple>
#include <type_traits>
#include <utility>

namespace base {

// Runs `step(copy)` on a copy of `record` and moves the copy into the record once the step has
// returned; returns (a copy of) what the step returns.
template <class R, class Step>
auto on_copy(R& record, Step&& step) {
    static_assert(std::is_nothrow_move_assignable_v<R>, "the copy must move into the record without failing");
    R copy = record;
    if constexpr (std::is_void_v<std::invoke_result_t<Step&, R&>>) {
        step(copy);
        record = std::move(copy);
    } else {
        auto result = step(copy);
        record = std::move(copy);
        return result;
    }
}

namespace detail {

// Holds the values moved out of some members of a record and moves them back when destroyed,
// unless the computation finished (commit).
template <class R, class... Ms>
class MembersAside {
public:
    MembersAside(R& record, Ms R::*... members) noexcept
        : record_(record), members_(members...), saved_(std::exchange(record.*members, Ms{})...) {}
    ~MembersAside() {
        if (!committed_) restore(std::index_sequence_for<Ms...>{});
    }
    MembersAside(const MembersAside&) = delete;
    MembersAside& operator=(const MembersAside&) = delete;
    void commit() noexcept { committed_ = true; }

private:
    template <std::size_t... I>
    void restore(std::index_sequence<I...>) noexcept {
        ((record_.*std::get<I>(members_) = std::move(std::get<I>(saved_))), ...);
    }

    R& record_;
    std::tuple<Ms R::*...> members_;
    std::tuple<Ms...> saved_;
    bool committed_ = false;
};

}  // namespace detail

// Runs `compute()` with the listed members of `record` set aside: each is replaced by a blank
// (value-initialised) value for the computation to fill, and gets its previous value back if the
// computation throws. Returns (a copy of) what `compute` returns. The computation must change no other member.
template <class R, class Compute, class... Ms>
auto with_results_aside(R& record, Compute&& compute, Ms R::*... members) {
    static_assert(((std::is_nothrow_move_constructible_v<Ms> && std::is_nothrow_move_assignable_v<Ms> &&
                    std::is_nothrow_default_constructible_v<Ms>) &&
                   ...),
                  "the members must move aside and back without failing");
    detail::MembersAside<R, Ms...> aside(record, members...);
    if constexpr (std::is_void_v<std::invoke_result_t<Compute&>>) {
        compute();
        aside.commit();
    } else {
        auto result = compute();
        aside.commit();
        return result;
    }
}

}  // namespace base
