// The installer's log: printf-style text on standard output, which start-up
// re-opens onto the log file (text mode, so each "\n" is stored as CR LF).
#pragma once

#include <functional>
#include <string>

#if defined(__GNUC__)
#define PW_PRINTF_FORMAT(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define PW_PRINTF_FORMAT(fmt, first)
#endif

void LogPrintf(const char* format, ...) PW_PRINTF_FORMAT(1, 2);
// Writes text as it stands: a percent sign in it is not a conversion.
void LogText(const std::string& text);

// The text with each control character (below 0x20, and 0x7F) written as
// \xNN, so that a name can never break or forge a log line.
std::string PrintableText(const std::string& text);

// Tests see the log's text through a sink; while one is set the text goes to
// it as well as to standard output.
void SetLogSink(std::function<void(const std::string&)> sink);
