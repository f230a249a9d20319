// The gadget table, the class-name table and the colour table, and the
// exported functions that register and free gadgets.
#include "gadgets/registry/tables.h"

#include "gadgets/gadgets.h"

#include <cstdlib>

namespace gadgets {

namespace {

// Created by the first OpenWindow and never freed. Until then every call
// reports that nothing is registered.
RegistryList* gadgetTable = nullptr;
RegistryList* classNameTable = nullptr;
RegistryList* colourTable = nullptr;

// The pair (number, handle) registered under a gadget number.
RegistryNode* FindGadgetPair(int32_t number) {
    return gadgetTable != nullptr ? ListFindGroup(*gadgetTable, number, 2) : nullptr;
}

}  // namespace

void CreateTablesOnce() {
    if (gadgetTable != nullptr) return;
    gadgetTable = new RegistryList{};
    classNameTable = new RegistryList{};
    colourTable = new RegistryList{};
}

bool TablesExist() { return gadgetTable != nullptr; }

int32_t AppendClassName(const std::string& name) {
    CreateTablesOnce();
    return ListAddText(*classNameTable, name);
}

std::string ClassNameOf(int32_t key) {
    if (classNameTable == nullptr) return std::string();
    RegistryNode* node = ListFind(*classNameTable, key);
    return node != nullptr ? node->text : std::string();
}

RegistryNode* FindColourEntry(HWND handle) {
    return colourTable != nullptr ? ListFindGroup(*colourTable, HandleKey(handle), 3) : nullptr;
}

std::vector<int32_t> GadgetTableKeys() {
    std::vector<int32_t> keys;
    if (gadgetTable == nullptr) return keys;
    for (RegistryNode* node = gadgetTable->first; node != nullptr; node = node->next) {
        keys.push_back(node->key);
    }
    return keys;
}

int32_t ADDIN9999(int32_t number, HWND handle) {
    if (gadgetTable == nullptr) return 1;
    // The same pair again changes nothing: freeing the number first would
    // destroy the very window being registered.
    if (handle != nullptr && GadgetID(number) == handle) return 1;
    FREEGADGET(number);
    ListAddValue(*gadgetTable, number);
    ListAddValue(*gadgetTable, HandleKey(handle));
    return 1;
}

HWND GadgetID(int32_t number) {
    if (gadgetTable == nullptr) return nullptr;
    RegistryNode* node = ListFind(*gadgetTable, number);
    return node != nullptr && node->next != nullptr ? KeyHandle(node->next->value) : nullptr;
}

int32_t ID_In_Number(HWND handle) {
    if (gadgetTable == nullptr) return 0;
    RegistryNode* node = ListFind(*gadgetTable, HandleKey(handle));
    return node != nullptr && node->prev != nullptr ? node->prev->value : 0;
}

int32_t UseGadgetList(HWND handle) {
    if (gadgetTable == nullptr) return 1;
    return ListSetCurrent(*gadgetTable, reinterpret_cast<intptr_t>(handle));
}

HWND GETGURRENTAL() {
    if (gadgetTable == nullptr) return nullptr;
    return reinterpret_cast<HWND>(ListGetCurrent(*gadgetTable));
}

int32_t ColorAdd(HWND handle, uint32_t firstColour, uint32_t secondColour) {
    if (colourTable == nullptr) return 1;
    ListAddValue(*colourTable, HandleKey(handle));
    ListAddValue(*colourTable, static_cast<int32_t>(firstColour));
    ListAddValue(*colourTable, static_cast<int32_t>(secondColour));
    return 1;
}

int32_t FREEGADGET(int32_t number) {
    // The handle comes from the pair that the number leads, the same pair that
    // is unlinked below, so a number equal to some handle's value never
    // destroys or unlinks another gadget's window.
    RegistryNode* pair = FindGadgetPair(number);
    // An unregistered number has no window to clean up: every call below
    // would fail on handle 0, and each costs a wine server round trip.
    if (pair == nullptr) return 0;
    HWND window = KeyHandle(pair->next->value);

    // Gadget kinds with resources of their own hang them on their window.
    if (HANDLE statusArray = GetPropA(window, "STATUSBARARRAY")) {
        std::free(statusArray);
        RemovePropA(window, "STATUSBARARRAY");
        RemovePropA(window, "STATUSBARNUMBERFIELDS");
    }
    RemovePropA(window, "STATUSBARWINDOW");
    if (window != nullptr) ListRemoveTriple(*colourTable, HandleKey(window));
    if (GETCLASSNAME_(window) == "ExplorerGadget") {
        if (auto release = reinterpret_cast<void(__stdcall*)(HANDLE)>(
                GetPropA(window, "EXPLORERLISTFREEPROC"))) {
            release(GetPropA(window, "addparam60000"));
            RemovePropA(window, "EXPLORERLISTFREEPROC");
            RemovePropA(window, "EXPLORERGADGETLISTVIEWWINDOW");
        }
    }
    RemovePropA(window, "addparam60000");
    BOOL destroyed = window != nullptr ? DestroyWindow(window) : FALSE;
    // Looked up again: the window procedure may have changed the table while
    // the window was being destroyed.
    ListRemovePair(*gadgetTable, number);
    return destroyed ? 1 : 0;
}

}  // namespace gadgets
