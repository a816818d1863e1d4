// Text conversion between the program's wide strings and the byte texts it meets: the language
// tables (code page 936) and the device library's fixed text fields (the ANSI code page).
//
// On Linux the ANSI code page is the code set of the user's locale (LC_ALL, LC_CTYPE, LANG as the
// C library resolves them). A locale whose code set is plain ASCII (the "C" locale, reported as
// "ANSI_X3.4-1968") is taken as UTF-8: ASCII text is the same in both, and everything else would
// otherwise be lost.
//
// Conversions never fail: a character the target cannot hold becomes '?', a byte sequence that does
// not decode becomes U+FFFD. A text longer than the room it is given is cut at a character
// boundary, never inside a multi-byte character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// The iconv name of the ANSI code page, looked up from the environment on every call.
std::string AnsiCodeSet();

std::wstring FromCp936(std::string_view bytes);
std::string ToCp936(std::wstring_view text);

std::wstring FromAnsi(std::string_view bytes);
std::string ToAnsi(std::wstring_view text);

// Any pair of iconv code sets; the functions above are these with fixed names.
std::wstring Decode(std::string_view bytes, const char* codeSet);
std::string Encode(std::wstring_view text, const char* codeSet);

enum class Terminator {
    kKeep,      // at most size - 1 bytes of text, so the buffer always ends in a NUL
    kOptional,  // the text may fill all size bytes (a fixed field without terminator)
};

// Converts `text` to the ANSI code page into buffer[0..size), which is zero-filled first, keeping
// only whole characters. Returns the number of text bytes written.
std::size_t ToAnsiBuffer(std::wstring_view text, void* buffer, std::size_t size,
                         Terminator terminator = Terminator::kKeep);

template <typename Byte, std::size_t N>
requires(sizeof(Byte) == 1) std::size_t ToAnsiBuffer(std::wstring_view text, Byte (&buffer)[N],
                                                     Terminator terminator = Terminator::kKeep) {
    return ToAnsiBuffer(text, static_cast<void*>(buffer), N, terminator);
}

// Decodes a fixed text field in the ANSI code page: the bytes up to the first NUL, never beyond
// `size` bytes (the field may lack a terminator).
std::wstring FromAnsiField(const void* field, std::size_t size);

template <typename Byte, std::size_t N>
requires(sizeof(Byte) == 1) std::wstring FromAnsiField(const Byte (&field)[N]) {
    return FromAnsiField(static_cast<const void*>(field), N);
}

}  // namespace text
