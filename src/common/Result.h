#pragma once

#include <string>
#include <utility>
#include <variant>

namespace lanscope {

// What went wrong: an error number where the system gave one (0 otherwise) and
// a text a person can read.
struct Error {
    int code = 0;
    std::string text;
};

// How the program reports that something failed, in one shape:
// - an operation that can fail returns Result<T, E>: the value, or the error
//   that prevented it (Error unless the failure carries more, as a file
//   loader's messages do);
// - it does not show the failure itself: the caller decides how (a message
//   box, a line on stderr, a row of a report);
// - a parser of an address or a number returns std::optional: there is only
//   one way for it to fail.
// Not failures, and so not in this shape: the per-row errors of a settings
// plan and the actions of the form filler (data the caller works through),
// and the discovery thread's exception, whose form the threads share.
//
// clang 14 (the fuzz build) has no std::expected, so the core carries this
// small stand-in.
template <class T, class E = Error>
class [[nodiscard]] Result {
  public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return m_state.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const E& error() const { return std::get<1>(m_state); }

  private:
    std::variant<T, E> m_state;
};

template <class E>
class [[nodiscard]] Result<void, E> {
  public:
    Result() = default;
    Result(E error) : m_failed(true), m_error(std::move(error)) {}

    bool ok() const noexcept { return !m_failed; }
    explicit operator bool() const noexcept { return ok(); }
    const E& error() const { return m_error; }

  private:
    bool m_failed = false;
    E m_error{};
};

}  // namespace lanscope
