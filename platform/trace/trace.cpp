#include "platform/trace/trace.h"

#include <cstdio>
#include <mutex>

namespace platform::trace {
namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

Sink& CurrentSink() {
    static Sink sink;
    return sink;
}

} // namespace

void SetSink(Sink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    CurrentSink() = std::move(sink);
}

std::string FormatMilliseconds(uint64_t time) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03llu", (unsigned long long)(time / 10000),
                  (unsigned long long)(time / 10 % 1000));
    return text;
}

void Emit(uint64_t time, const std::string& text) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    if (CurrentSink()) {
        CurrentSink()(FormatMilliseconds(time) + " " + text);
    }
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace platform::trace
