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

// A value or the error that prevented it. clang 14 (the fuzz build) has no
// std::expected, so the core carries this small stand-in.
template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return m_state.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const { return std::get<1>(m_state); }

  private:
    std::variant<T, Error> m_state;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Error error) : m_failed(true), m_error(std::move(error)) {}

    bool ok() const noexcept { return !m_failed; }
    explicit operator bool() const noexcept { return ok(); }
    const Error& error() const { return m_error; }

  private:
    bool m_failed = false;
    Error m_error;
};

}  // namespace lanscope
