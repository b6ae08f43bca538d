#pragma once
// What an operation that can fail gives back: its value, or the problem that stopped it. One
// shape for every such operation, so that a caller never has to learn how this one fails.
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace zyvora {

// Why an operation failed. The message is whole as the user reads it; the page and the file are
// there for a caller that points at them (a log line, a dialog that selects the file).
struct Problem {
    explicit Problem(std::string message, std::optional<int> page = std::nullopt,
                     std::optional<std::string> file = std::nullopt)
        : message(std::move(message)), page(page), file(std::move(file)) {}

    std::string message;
    std::optional<int> page;          // counted from 1, as the status log counts pages
    std::optional<std::string> file;  // the file it is about, as it was given
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Problem problem) : state_(std::in_place_index<1>, std::move(problem)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& operator*() & { return std::get<0>(state_); }
    const T& operator*() const& { return std::get<0>(state_); }
    T&& operator*() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }

    // Only when the operation failed.
    const Problem& problem() const { return std::get<1>(state_); }
    const std::string& message() const { return problem().message; }

private:
    std::variant<T, Problem> state_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Problem problem) : problem_(std::move(problem)) {}

    bool ok() const { return !problem_; }
    explicit operator bool() const { return ok(); }

    const Problem& problem() const { return *problem_; }
    const std::string& message() const { return problem_->message; }

private:
    std::optional<Problem> problem_;
};

}  // namespace zyvora
