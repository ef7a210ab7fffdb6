// "Restore.log": the tool's history, next to the installed copy in the
// storage's CE\ARM folder. 8-bit ASCII lines ended by CR LF; every run that
// gets past its start checks trims the log and appends one section, which
// begins with a header holding the section's only ">". Writing the log never
// stops the tool.
#pragma once

#include "ce/types.h"

// The buffer a stamped line is formatted in, terminator included.
constexpr int kStampedLineBytes = 200;

// "<message> YYYY/MM/DD hh:mm\r\n", month to minute always two digits; a
// message too long for the buffer is cut, never written past it.
void FormatStampedLine(char* line, const char* message, const SYSTEMTIME& time);

// Appends the text as it stands (it carries its own CR LF): one open, seek
// to the end, write and close per line, so nothing stays open between steps.
void AppendLogText(LPCWSTR logPath, const char* text);
// Appends the message with the device's local date and time.
void AppendStampedLine(LPCWSTR logPath, const char* message);

// Makes sure the storage's CE\ARM folder exists and, once the first 6001
// bytes of the log hold 30 section headers, rewrites the log to its last 29
// sections. "Restore.bak" holds the previous log during the rewrite and is
// put back when the rewrite fails. FALSE when the log could not be read or
// rewritten; the previous log is then still in place.
BOOL RotateLog(LPCWSTR storage);
