// Counted strings: the installer's one string type, and the few conversions
// it needs. Portable: the packaging tool and the native tests use it too.
//
// Text is in the system's ANSI code page, which may be double-byte (932, 936,
// 949, 950): there a lead byte is followed by a trail byte that can equal `\`,
// `|` or an ASCII letter. Every search below walks forward by character and
// never matches a trail byte; case folding leaves trail bytes alone. On a
// single-byte code page a character is a byte and nothing differs.
//
// A String owns a zero-terminated copy of its characters on the C heap, so
// c_str() hands a Windows call its text without another copy; one made by
// Literal() borrows a literal's characters until its first change. Members are
// spelled like the standard library's string, so code reads the same on both
// sides of the house. Running out of memory raises the runtime's error.
#pragma once

#include <cstddef>
#include <cstdint>

class String {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    String() = default;
    String(const char* text);  // NOLINT: a literal is a String wherever one is wanted
    String(const char* text, size_t length);
    String(size_t count, char fill);
    // From any string type that hands out c_str() and size(): the standard
    // library's, where the packaging tool and the tests call into the installer.
    template <class Text, class = decltype(static_cast<const Text*>(nullptr)->c_str())>
    String(const Text& text) : String(text.c_str(), text.size()) {}  // NOLINT: implicit on purpose
    String(const String& other);
    String(String&& other) noexcept;
    // For the globals fixed at build time: made by the compiler, with no code
    // at start-up and no copy until a change.
    struct Borrowed {};
    static constexpr Borrowed borrowed{};
    template <size_t N>
    constexpr String(const char (&text)[N], Borrowed)
        : data_(const_cast<char*>(text)), size_(N - 1), capacity_(0) {}
    ~String();
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text);

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char* c_str() const { return data_ ? data_ : ""; }
    char* data() { return data_; }  // size() characters a call may fill
    char operator[](size_t i) const { return data_[i]; }
    char& operator[](size_t i) { return data_[i]; }
    char back() const { return data_[size_ - 1]; }

    String& append(const char* text, size_t length);
    String& operator+=(const String& other) { return append(other.c_str(), other.size_); }
    String& operator+=(const char* text);
    String& operator+=(char c) { return append(&c, 1); }

    // At most `length` bytes from `start`; an empty string when start is past the end.
    String substr(size_t start, size_t length = npos) const;
    // Searches for single-byte characters; `from` must start a character.
    size_t find(char c, size_t from = 0) const;
    size_t rfind(char c) const;
    size_t find_first_of(const char* chars, size_t from = 0) const;
    size_t find_last_of(const char* chars) const;
    // Whether the last character (not merely the last byte) is `c`.
    bool endsWith(char c) const;
    void clear();

private:
    void reserve(size_t capacity);

    char* data_ = nullptr;
    size_t size_ = 0;
    // Characters, without the terminating zero; 0 with data_ set: a borrowed
    // literal, which is never written to nor freed.
    size_t capacity_ = 0;
};

String operator+(const String& a, const String& b);
String operator+(const String& a, const char* b);
String operator+(const char* a, const String& b);
bool operator==(const String& a, const String& b);
bool operator==(const String& a, const char* b);
inline bool operator!=(const String& a, const String& b) { return !(a == b); }
inline bool operator!=(const String& a, const char* b) { return !(a == b); }

size_t TextLength(const char* text);

// Whether `c` starts a two-byte character in the ANSI code page: the system's
// on Windows; in the portable build the one chosen with UseCodePage.
bool IsLeadByte(char c);
// Where the character after the one starting at `i` starts (a lead byte at the
// very end counts alone).
size_t NextChar(const char* text, size_t size, size_t i);
inline size_t NextChar(const String& text, size_t i) { return NextChar(text.c_str(), text.size(), i); }
// The whole characters from the start that fit in `limit` bytes: a name cut
// to a field's size never ends in half a character.
String LeadingCharacters(const String& text, size_t limit);

// ASCII upper case: file names compare this way in every code page the installer meets.
// Applied to single bytes only: a trail byte is never folded.
char UpperAscii(char c);
String UpperCase(const String& text);
bool SameTextIgnoringCase(const String& a, const String& b);

// Decimal digits with a leading minus when negative.
String DecimalText(int64_t value);
// `digits` upper-case hexadecimal digits, zero-padded (more when the value needs them).
String HexText(uint32_t value, int digits);
