// Generic registry list operations.
#include "gadgets/registry/registry_list.h"

namespace gadgets {

namespace {

void Append(RegistryList& list, RegistryNode* node) {
    if (list.first == nullptr) {
        list.first = node;
    } else {
        list.last->next = node;
        node->prev = list.last;
    }
    list.last = node;
}

// Unlinks `count` nodes starting at `leader`. The caller has checked that
// the leader starts a whole group, so the group's nodes all exist.
void RemoveGroup(RegistryList& list, RegistryNode* leader, int count) {
    RegistryNode* tail = leader;
    for (int i = 1; i < count && tail->next != nullptr; ++i) tail = tail->next;
    RegistryNode* before = leader->prev;
    RegistryNode* after = tail->next;
    (before != nullptr ? before->next : list.first) = after;
    (after != nullptr ? after->prev : list.last) = before;
    for (RegistryNode* node = leader; node != after;) {
        RegistryNode* next = node->next;
        delete node;
        node = next;
    }
}

void RemoveGroupOf(RegistryList& list, int32_t key, int groupSize) {
    RegistryNode* leader = ListFindGroup(list, key, groupSize);
    if (leader != nullptr) RemoveGroup(list, leader, groupSize);
}

}  // namespace

int32_t ListAddValue(RegistryList& list, int32_t value) {
    auto* node = new RegistryNode{};
    node->key = value;
    node->value = value;
    Append(list, node);
    return node->key;
}

int32_t ListAddText(RegistryList& list, const std::string& text) {
    auto* node = new RegistryNode{};
    node->text = text;
    node->key = list.last == nullptr ? 1 : list.last->key + 1;
    Append(list, node);
    return node->key;
}

RegistryNode* ListFind(const RegistryList& list, int32_t key) {
    for (RegistryNode* node = list.first; node != nullptr; node = node->next) {
        if (node->key == key) return node;
    }
    return nullptr;
}

RegistryNode* ListFindGroup(const RegistryList& list, int32_t key, int groupSize) {
    // A key can also match a node inside a group (a gadget number equal to a
    // handle's value, a handle equal to a colour): such a match is skipped, and
    // a leader without a whole group behind it is never taken.
    int position = 0;
    for (RegistryNode* node = list.first; node != nullptr; node = node->next, ++position) {
        if (position % groupSize != 0 || node->key != key) continue;
        RegistryNode* tail = node;
        for (int i = 1; i < groupSize && tail != nullptr; ++i) tail = tail->next;
        return tail != nullptr ? node : nullptr;
    }
    return nullptr;
}

void ListRemovePair(RegistryList& list, int32_t key) { RemoveGroupOf(list, key, 2); }

void ListRemoveTriple(RegistryList& list, int32_t key) { RemoveGroupOf(list, key, 3); }

intptr_t ListGetCurrent(const RegistryList& list) { return list.current; }

int32_t ListSetCurrent(RegistryList& list, intptr_t value) {
    list.current = value;
    return 1;
}

}  // namespace gadgets
