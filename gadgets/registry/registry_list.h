// The registry list: a doubly linked list of small nodes, the one container
// behind the gadget table, the class-name table and the colour table.
//
// A table is a flat sequence of nodes; its users append and remove them in
// groups (pairs, triples) that exist only by position.
#pragma once

#include <cstdint>
#include <string>

namespace gadgets {

struct RegistryNode {
    int32_t key = 0;      // search key: the appended value, or a text node's sequence number
    int32_t value = 0;    // payload: the appended value (users may overwrite it), 0 for text
    std::string text;     // a text node's own copy of its string
    RegistryNode* prev = nullptr;
    RegistryNode* next = nullptr;
};

struct RegistryList {
    RegistryNode* first = nullptr;
    RegistryNode* last = nullptr;
    intptr_t current = 0;  // the gadget table keeps the current gadget list here
};

int32_t ListAddValue(RegistryList& list, int32_t value);
int32_t ListAddText(RegistryList& list, const std::string& text);
// First node, in list order, whose key equals `key`; null when there is none.
RegistryNode* ListFind(const RegistryList& list, int32_t key);
// First node whose key equals `key` and that leads a group of `groupSize` nodes
// (its position is a multiple of the group size); null when there is none.
RegistryNode* ListFindGroup(const RegistryList& list, int32_t key, int groupSize);
// Remove the group led by the node that ListFindGroup finds; nothing when none.
void ListRemovePair(RegistryList& list, int32_t key);
void ListRemoveTriple(RegistryList& list, int32_t key);
intptr_t ListGetCurrent(const RegistryList& list);
int32_t ListSetCurrent(RegistryList& list, intptr_t value);

}  // namespace gadgets
