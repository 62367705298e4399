// Lets GoogleTest print the installer's counted strings in its failure messages.
#pragma once

#include <ostream>

#include "runtime/text.h"

inline void PrintTo(const String& text, std::ostream* os) { *os << '"' << text.c_str() << '"'; }
