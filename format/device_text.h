// UTF-16 text as the device handles it, for the device itself, the
// programs and the host tools alike: conversion to and from the host's
// UTF-8, the case folding that makes names compare without regard to case
// across the whole Basic Multilingual Plane, CE wildcard matching, and the
// shape of a name that can stand as one entry of a folder. Plain code with
// no device behind it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// Lone surrogates have no UTF-8 form and come out as U+FFFD.
std::string ToUtf8(std::u16string_view text);
// Anything that is not UTF-8 comes out as U+FFFD.
std::u16string FromUtf8(std::string_view text);
// False (and nothing useful in `out`) when `text` is not valid UTF-8.
bool FromUtf8Exact(std::string_view text, std::u16string* out);
// True when ToUtf8 and FromUtf8Exact give the same units back (no lone surrogates).
bool IsExactText(std::u16string_view text);

// Upper-case form of one unit; surrogates and caseless units map to themselves.
char16_t FoldCase(char16_t c);
// Lower-case form of one unit, from the same locale tables.
char16_t LowerCase(char16_t c);
std::u16string Fold(std::u16string_view text);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);
// <0, 0, >0 like wcscmp, on the folded forms.
int CompareNoCase(std::u16string_view a, std::u16string_view b);

// CE wildcards: `*` matches any run of units, `?` exactly one, and a pattern
// ending in ".*" also matches a name without a dot ("*.*" matches every
// name). Case is ignored. For a path the dot rule looks at its last part.
bool MatchesPattern(std::u16string_view pattern, std::u16string_view name);
// The same on pattern and name that are both folded already.
bool MatchesFoldedPattern(std::u16string_view pattern, std::u16string_view name);

// A name that can stand as one component of a device path: not empty, not
// "." or "..", no control unit, no separator, none of < > : " | and, unless
// `wildcards` allows them, no * or ?. Its length is the caller's to check.
bool IsNameComponent(std::u16string_view name, bool wildcards);
// One entry of a folder: a name component of 1 to 259 units without wildcards.
bool IsPlainEntryName(std::u16string_view name);

// Units before the terminator of a zero-terminated string.
size_t Length(const char16_t* s);
inline std::u16string_view View(const char16_t* s) { return s ? std::u16string_view(s, Length(s)) : std::u16string_view(); }

}  // namespace text
