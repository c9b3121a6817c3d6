#ifndef XAFS_OUTCOME_H
#define XAFS_OUTCOME_H

#include <optional>
#include <string>
#include <utility>

namespace xafs {

// Why something could not be read or derived: the file as the user named it, the line
// (0 when the reason is not tied to one) and the reason in words.
struct Error
{
    std::string file;
    long line = 0;
    std::string reason;

    // "FILE: line N: REASON", or "FILE: REASON" without a line.
    std::string message() const
    {
        std::string text = file.empty() ? std::string() : file + ": ";
        if (line > 0)
            text += "line " + std::to_string(line) + ": ";
        return text + reason;
    }
};

// A value or the error that prevented it.
template <typename T> class Outcome
{
public:
    Outcome(T value)
        : m_value(std::move(value))
    {
    }
    Outcome(Error error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T *operator->() const { return &*m_value; }
    T *operator->() { return &*m_value; }
    const Error &error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error;
};

} // namespace xafs

#endif
