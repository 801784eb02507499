#pragma once

#include <QString>

#include <cstring>
#include <utility>
#include <variant>

namespace vesk
{

// What kind of failure: the system's, which comes with its error number,
// or one the editor finds itself, which does not.
enum class Fault {
    System,     // `code` holds the system's error number
    Refused,    // a path the editor will not follow, or bytes it will not read
    Unwritable, // content the file cannot hold as it is
    BadValue,   // a value or name that does not fit where it goes
    Changed,    // another program changed the file since it was read
    Busy,       // another program is saving in the same folder
    Lost,       // the connection to the file's machine ended in the middle
    Cancelled,  // the user gave up waiting
};

// Why something could not be done, and a reason a person can read.
struct Failure {
    Fault fault = Fault::System;
    int code = 0; // the system's error number; 0 for the editor's own faults
    QString reason;

    // The system's error number with its own words, or with others.
    static Failure system(int code)
    {
        return {Fault::System, code, QString::fromLocal8Bit(std::strerror(code))};
    }
    static Failure system(int code, QString reason) { return {Fault::System, code, std::move(reason)}; }
    static Failure of(Fault fault, QString reason) { return {fault, 0, std::move(reason)}; }
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
    Fault fault() const { return error().fault; }
    // The system's error number; 0 when the value is there or the fault is
    // the editor's own.
    int code() const { return ok() ? 0 : error().code; }
    // Empty when the value is there.
    QString reason() const { return ok() ? QString() : error().reason; }

private:
    std::variant<T, Failure> m_state;
};

// Success, or the Failure.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)), m_failed(true) {}

    static Result failure(int code) { return Failure::system(code); }
    static Result failure(int code, QString reason) { return Failure::system(code, std::move(reason)); }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Failure &error() const { return m_failure; }
    Fault fault() const { return m_failure.fault; }
    int code() const { return m_failed ? m_failure.code : 0; }
    QString reason() const { return m_failure.reason; }

private:
    Failure m_failure;
    bool m_failed = false;
};

// What a file operation came to.
using FileResult = Result<void>;

} // namespace vesk
