// Small host services for answering dialogs: whether a person sits at the
// program's terminal, and lines of a file that several programs take turns
// reading from.
#pragma once

#include <optional>
#include <string>

namespace cedev {

// True when both standard input and output are a terminal.
bool AtTerminal();

// Takes the first non-empty line (trimmed) of the file and writes the rest
// back, under a lock that all programs share. Nothing when the file cannot
// be opened or holds no line.
std::optional<std::string> TakeFirstLine(const std::string& path);

}  // namespace cedev
