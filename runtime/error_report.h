// The report of an error that nothing caught: an owner-less, task-modal box
// captioned "Application Error", then the process ends with exit code 1.
// No clean-up runs on this path.
#pragma once

#include <string>

#include "runtime/exception.h"

[[noreturn]] void reportUnhandledError(const Exception& e);
[[noreturn]] void reportUnhandledError(const std::exception& e);
