#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace {

std::function<void(const std::string&)>& Sink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

}  // namespace

void LogText(const std::string& text) {
    plat::WriteLog(text.data(), text.size());
    if (Sink()) Sink()(text);
}

void LogPrintf(const char* format, ...) {
    char small[512];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        va_end(copy);
        LogText(std::string(small, static_cast<std::size_t>(length)));
        return;
    }
    std::vector<char> large(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, copy);
    va_end(copy);
    LogText(std::string(large.data(), static_cast<std::size_t>(length)));
}

std::string PrintableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            static const char kDigits[] = "0123456789ABCDEF";
            out += "\\x";
            out += kDigits[c >> 4];
            out += kDigits[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void SetLogSink(std::function<void(const std::string&)> sink) { Sink() = std::move(sink); }
