// UTF-16 text on the host side of the kernel: conversion to and from the
// host's UTF-8 names, and the case folding that makes device names compare
// without regard to case across the whole Basic Multilingual Plane.
#pragma once

#include <string>
#include <string_view>

namespace cedev {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Upper-case form of one unit; surrogates and caseless units map to themselves.
char16_t FoldCase(char16_t c);
// Lower-case form of one unit, from the same locale tables.
char16_t LowerCase(char16_t c);
std::u16string Fold(std::u16string_view text);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);
// <0, 0, >0 like wcscmp, on the folded forms.
int CompareNoCase(std::u16string_view a, std::u16string_view b);

// Length of a zero-terminated UTF-16 string.
size_t WLen(const char16_t* s);
inline std::u16string_view WView(const char16_t* s) { return s ? std::u16string_view(s, WLen(s)) : std::u16string_view(); }

}  // namespace cedev
