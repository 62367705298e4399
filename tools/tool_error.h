// The packaging tool's one error type: a message a product maker can act on.
#pragma once

#include <stdexcept>
#include <string>

class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
