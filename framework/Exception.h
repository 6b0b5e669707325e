#pragma once

#include <exception>
#include <string>

// The framework's base exception class: every error the program reports carries a message only.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Raised by conversions (text to integer) and by impossible assignments between objects.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
