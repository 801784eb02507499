#pragma once

#include <QString>

#include <cstring>
#include <utility>
#include <variant>

namespace vesk
{

// Why something could not be done: the system's error number where there is
// one (so a caller can tell "not allowed here, go another way" from a real
// failure; -1 where there is none) and a reason a person can read.
struct Failure {
    int code = -1;
    QString reason;
};

// A value, or the Failure that kept it from being made. Every operation of
// the core that can fail for a reason the user must hear returns one.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    T &operator*() { return std::get<0>(m_state); }
    const T &operator*() const { return std::get<0>(m_state); }
    T *operator->() { return &std::get<0>(m_state); }
    const T *operator->() const { return &std::get<0>(m_state); }

    const Failure &error() const { return std::get<1>(m_state); }
    int code() const { return ok() ? 0 : error().code; }
    // Empty when the value is there.
    QString reason() const { return ok() ? QString() : error().reason; }

private:
    std::variant<T, Failure> m_state;
};

// Success, or the Failure.
template <> class Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)), m_failed(true)
    {
        if (m_failure.code == 0)
            m_failure.code = -1;
    }

    // The system's error number with its own words.
    static Result failure(int code) { return Failure{code, QString::fromLocal8Bit(std::strerror(code))}; }
    static Result failure(int code, QString reason) { return Failure{code, std::move(reason)}; }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Failure &error() const { return m_failure; }
    int code() const { return m_failure.code * int(m_failed); }
    QString reason() const { return m_failure.reason; }

private:
    Failure m_failure{0, {}};
    bool m_failed = false;
};

// What a file operation came to.
using FileResult = Result<void>;

} // namespace vesk
