// Conversion between the ANSI code page and UTF-16.
#include "gadgets/gadgets.h"

#include <cstdlib>

namespace gadgets {

wchar_t* ASCIITOUTF(std::string text) {
    if (text.empty()) return nullptr;
    // One UTF-16 unit per byte always suffices for an ANSI code page, plus the terminator.
    size_t units = text.size() + 1;
    auto* wide = static_cast<wchar_t*>(std::calloc(units, sizeof(wchar_t)));
    if (wide == nullptr) return nullptr;
    // Converted as zero-terminated: an embedded zero byte ends the text. The block is
    // zeroed first so that a failed conversion still leaves an empty wide string.
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, static_cast<int>(units));
    return wide;
}

std::string UTFTOASCII(const wchar_t* wide) {
    if (wide == nullptr) return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    // Converted straight into the string (its terminator's place takes the
    // zero), so that a text as large as a page is held once, not twice.
    std::string narrow(static_cast<size_t>(bytes) - 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

}  // namespace gadgets
