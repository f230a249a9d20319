// The library's three registry tables, for the parts of the library that work on them.
#pragma once

#include "gadgets/registry/registry_list.h"

#include <windows.h>

#include <vector>

namespace gadgets {

// Creates the gadget, class-name and colour tables on the first call.
void CreateTablesOnce();
bool TablesExist();

// Class-name table: appends a name and returns its key (the window number).
int32_t AppendClassName(const std::string& name);
std::string ClassNameOf(int32_t key);

// Colour table: the triple (handle, background, text colour) for a window,
// the oldest first; null when there is none or the tables do not exist yet.
RegistryNode* FindColourEntry(HWND handle);

// Gadget table: the keys of its nodes in list order (empty until the tables
// exist), for code that checks how the table is laid out.
std::vector<int32_t> GadgetTableKeys();

// Handles and colours are kept in the tables' 32-bit fields as plain integers.
inline int32_t HandleKey(HWND handle) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(handle));
}
inline HWND KeyHandle(int32_t key) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(key));
}

}  // namespace gadgets
