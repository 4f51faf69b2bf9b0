#pragma once

#include <QString>
#include <utility>
#include <variant>

// The outcome of an operation that can fail with a user-facing description.
// Failures travel as values so that nothing is ever thrown at the screens.
template <typename T, typename E = QString> class Result {
public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool ok() const { return state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<0>(state); }
    T&& value() && { return std::get<0>(std::move(state)); }
    const E& error() const { return std::get<1>(state); }

private:
    template <std::size_t I, typename V>
    Result(std::in_place_index_t<I> index, V&& v) : state(index, std::forward<V>(v)) {}

    std::variant<T, E> state;
};

// Success carries nothing; failure carries the description.
template <typename E> class Result<void, E> {
public:
    static Result success() { return Result(); }
    static Result failure(E error) {
        Result r;
        r.failed = true;
        r.err = std::move(error);
        return r;
    }

    bool ok() const { return !failed; }
    explicit operator bool() const { return ok(); }
    const E& error() const { return err; }

private:
    bool failed = false;
    E err{};
};

using VoidResult = Result<void>;
