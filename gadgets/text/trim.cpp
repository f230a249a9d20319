// Trimming by a set of bytes, and strings read from memory.
#include "gadgets/gadgets.h"

#include <cstring>

namespace gadgets {

namespace {

bool InSet(char byte, const std::string& set) {
    return set.find(byte) != std::string::npos;
}

}  // namespace

std::string LTRIMA(std::string text, std::string set) {
    size_t first = 0;
    while (first < text.size() && InSet(text[first], set)) ++first;
    return text.substr(first);
}

std::string RTRIMA(std::string text, std::string set) {
    size_t end = text.size();
    while (end > 0 && InSet(text[end - 1], set)) --end;
    text.resize(end);
    return text;
}

std::string TRIMA(std::string text, std::string set) {
    // The right end goes first, then the left end of what is left.
    return LTRIMA(RTRIMA(std::move(text), set), set);
}

std::string PEEKS(const void* address, int32_t count) {
    // A negative count has no sensible reading; it gives the empty string
    // rather than a huge copy.
    if (address == nullptr || count < 0) return std::string();
    const char* bytes = static_cast<const char*>(address);
    size_t length = count != 0 ? static_cast<size_t>(count) : std::strlen(bytes);
    return std::string(bytes, length);
}

}  // namespace gadgets
