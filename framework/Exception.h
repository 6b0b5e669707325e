/// @file
/// The framework's exceptions.
#pragma once

#include <q4471/framework/Export.h>

#include <exception>
#include <string>

namespace q4471 {

/// The framework's base exception class: every error the program reports carries a message only.
class Q4471_API Exception : public std::exception {
public:
    /// An error with `message`.
    explicit Exception(std::string message) : message_(std::move(message)) {}
    /// The whole message, which may hold any byte.
    const std::string& Message() const noexcept { return message_; }
    /// The message as a C string (up to a NUL byte it may hold).
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

/// Raised by conversions (text to integer) and by impossible assignments between objects.
class Q4471_API EConvertError : public Exception {
public:
    /// An error with `message`.
    using Exception::Exception;
};

} // namespace q4471
