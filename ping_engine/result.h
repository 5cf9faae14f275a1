#pragma once

#include <concepts>
#include <cstddef>
#include <utility>
#include <variant>

// What a call that may fail gives back: its value, or why it failed, never
// both and never neither. Failures travel as values, so that no caller can
// forget to pass an out-parameter, and no path can forget to fill one in.
template <typename T, typename E>
class Result
{
public:
    // A success, from anything that converts to the value (a prober of a
    // derived class for a prober, say).
    template <typename U = T>
        requires std::convertible_to<U, T>
    Result(U &&value)
        : m_outcome(std::in_place_index<0>, std::forward<U>(value))
    {
    }

    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool ok() const { return m_outcome.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; asking a failure for it throws std::bad_variant_access.
    T &value() & { return std::get<0>(m_outcome); }
    const T &value() const & { return std::get<0>(m_outcome); }
    T &&value() && { return std::get<0>(std::move(m_outcome)); }

    // Why it failed; asking a success throws std::bad_variant_access.
    const E &error() const { return std::get<1>(m_outcome); }

private:
    template <std::size_t Index, typename V>
    Result(std::in_place_index_t<Index> index, V &&outcome)
        : m_outcome(index, std::forward<V>(outcome))
    {
    }

    std::variant<T, E> m_outcome;
};
