// Collects what the installer logs while it lives.
#pragma once

#include <string>

#include "core/log.h"

class LogCapture {
public:
    LogCapture() {
        SetLogSink([this](const std::string& piece) { text += piece; });
    }
    ~LogCapture() { SetLogSink(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::string& Text() const { return text; }
    void Clear() { text.clear(); }
    bool Contains(const std::string& piece) const { return text.find(piece) != std::string::npos; }

private:
    std::string text;
};
