#include "runtime/text.h"

#include <cstdlib>
#include <cstring>

#include "runtime/error.h"

String::String(const char* text) {
    if (text) append(text, TextLength(text));
}

String::String(const char* text, size_t length) { append(text, length); }

String::String(size_t count, char fill) {
    reserve(count);
    for (size_t i = 0; i < count; ++i) data_[i] = fill;
    size_ = count;
    data_[size_] = 0;
}

String::String(const String& other) { append(other.c_str(), other.size_); }

String::String(String&& other) noexcept : data_(other.data_), size_(other.size_), capacity_(other.capacity_) {
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
}

String::~String() {
    if (capacity_) std::free(data_);
}

void String::clear() {
    size_ = 0;
    if (capacity_) data_[0] = 0;
    else data_ = nullptr;
}

String& String::operator=(const String& other) {
    if (this != &other) {
        clear();
        append(other.c_str(), other.size_);
    }
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        if (capacity_) std::free(data_);
        data_ = other.data_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.data_ = nullptr;
        other.size_ = other.capacity_ = 0;
    }
    return *this;
}

String& String::operator=(const char* text) {
    // The text may lie inside this string: copy first, then take its place.
    String copy(text);
    return *this = static_cast<String&&>(copy);
}

void String::reserve(size_t capacity) {
    if (capacity_ && capacity <= capacity_) return;
    size_t grown = capacity_ * 2 > capacity ? capacity_ * 2 : capacity;
    if (grown < 15) grown = 15;
    // A borrowed literal is copied out, never handed to realloc.
    char* block = static_cast<char*>(std::realloc(capacity_ ? data_ : nullptr, grown + 1));
    if (!block) RaiseOutOfMemory();
    if (!capacity_) std::memcpy(block, c_str(), size_ + 1);
    data_ = block;
    capacity_ = grown;
}

String& String::append(const char* text, size_t length) {
    if (length > npos / 2 - size_) RaiseOutOfMemory();
    // `text` may point into this string's own storage, which reserve() can move.
    size_t offset = data_ && text >= data_ && text <= data_ + size_ ? static_cast<size_t>(text - data_) : npos;
    reserve(size_ + length);
    const char* from = offset == npos ? text : data_ + offset;
    if (length) std::memmove(data_ + size_, from, length);
    size_ += length;
    data_[size_] = 0;
    return *this;
}

String& String::operator+=(const char* text) { return append(text, TextLength(text)); }

namespace {

bool IsOneOf(char c, const char* chars) {
    for (; *chars; ++chars)
        if (*chars == c) return true;
    return false;
}

}  // namespace

String String::substr(size_t start, size_t length) const {
    if (start >= size_) return String();
    size_t rest = size_ - start;
    return String(data_ + start, length < rest ? length : rest);
}

size_t String::find(char c, size_t from) const {
    for (size_t i = from; i < size_; i = NextChar(data_, size_, i))
        if (data_[i] == c) return i;
    return npos;
}

size_t String::rfind(char c) const {
    size_t found = npos;
    for (size_t i = 0; i < size_; i = NextChar(data_, size_, i))
        if (data_[i] == c) found = i;
    return found;
}

size_t String::find_first_of(const char* chars, size_t from) const {
    for (size_t i = from; i < size_; i = NextChar(data_, size_, i))
        if (IsOneOf(data_[i], chars)) return i;
    return npos;
}

size_t String::find_last_of(const char* chars) const {
    size_t found = npos;
    for (size_t i = 0; i < size_; i = NextChar(data_, size_, i))
        if (IsOneOf(data_[i], chars)) found = i;
    return found;
}

bool String::endsWith(char c) const {
    size_t last = npos;
    for (size_t i = 0; i < size_; i = NextChar(data_, size_, i)) last = i;
    return last != npos && last + 1 == size_ && data_[last] == c;
}

String operator+(const String& a, const String& b) {
    String r(a);
    return r += b;
}

String operator+(const String& a, const char* b) {
    String r(a);
    return r += b;
}

String operator+(const char* a, const String& b) {
    String r(a);
    return r += b;
}

bool operator==(const String& a, const String& b) {
    return a.size() == b.size() && std::memcmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool operator==(const String& a, const char* b) {
    size_t n = TextLength(b);
    return a.size() == n && std::memcmp(a.c_str(), b, n) == 0;
}

size_t TextLength(const char* text) { return text ? std::strlen(text) : 0; }

size_t NextChar(const char* text, size_t size, size_t i) {
    return i + 1 < size && IsLeadByte(text[i]) ? i + 2 : i + 1;
}

String LeadingCharacters(const String& text, size_t limit) {
    size_t end = 0;
    for (size_t next; end < text.size() && (next = NextChar(text, end)) <= limit;) end = next;
    return text.substr(0, end);
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

String UpperCase(const String& text) {
    String r(text);
    for (size_t i = 0; i < r.size(); i = NextChar(r, i)) r[i] = UpperAscii(r[i]);
    return r;
}

bool SameTextIgnoringCase(const String& a, const String& b) {
    if (a.size() != b.size()) return false;
    // Both walk the same characters while their bytes agree; a trail byte compares exactly.
    for (size_t i = 0, next; i < a.size(); i = next) {
        next = NextChar(a, i);
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
        if (next == i + 2 && a[i + 1] != b[i + 1]) return false;
    }
    return true;
}

// Divides by ten in 16-bit pieces, returning the remainder: a 64-bit division
// would link the compiler's helper, and its unwind table, into the installer.
static uint32_t DivideByTen(uint64_t& value) {
    uint64_t quotient = 0;
    uint32_t rest = 0;
    for (int shift = 48; shift >= 0; shift -= 16) {
        uint32_t part = rest << 16 | (static_cast<uint32_t>(value >> shift) & 0xFFFF);
        quotient = quotient << 16 | part / 10;
        rest = part % 10;
    }
    value = quotient;
    return rest;
}

String DecimalText(int64_t value) {
    char digits[24];
    size_t n = sizeof digits;
    // Through the unsigned value, so the most negative number has its digits too.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[--n] = static_cast<char>('0' + DivideByTen(magnitude));
    } while (magnitude);
    if (value < 0) digits[--n] = '-';
    return String(digits + n, sizeof digits - n);
}

String HexText(uint32_t value, int digits) {
    char text[8];
    int n = 0;
    for (int shift = 28; shift >= 0; shift -= 4) {
        unsigned nibble = (value >> shift) & 0xF;
        if (n || nibble || shift < 4 * digits) text[n++] = "0123456789ABCDEF"[nibble];
    }
    return String(text, n);
}
