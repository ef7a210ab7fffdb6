// UTF-16 text on the host side of the kernel: conversion to and from the
// host's UTF-8 names, and the case folding that makes device names compare
// without regard to case across the whole Basic Multilingual Plane. The
// primitives are the ones the programs and the archive tools use
// (format/text.h); the kernel names them in its own namespace.
#pragma once

#include <string>
#include <string_view>

#include "device_text.h"

namespace cedev {

using text::CompareNoCase;
using text::EqualNoCase;
using text::Fold;
using text::FoldCase;
using text::FromUtf8;
using text::LowerCase;
using text::ToUtf8;

// Length of a zero-terminated UTF-16 string.
inline size_t WLen(const char16_t* s) { return text::Length(s); }
inline std::u16string_view WView(const char16_t* s) { return text::View(s); }

}  // namespace cedev
