// An internal fault: a condition that a correct table and a correct module
// never reach. The module's entry points turn it into PanicException.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace lookup {

class Fault : public std::exception {
public:
    explicit Fault(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

}  // namespace lookup
