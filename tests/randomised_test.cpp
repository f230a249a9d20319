// Seeded, bounded randomised tests: registry lists against a model of groups,
// trimming against a plain reference, and the search address against the
// rules it must keep. Every failure names the seed and the step; the same
// seed replays the same run.
#include "app/search.h"
#include "app/sites.h"
#include "gadgets/gadgets.h"
#include "gadgets/registry/registry_list.h"
#include "program_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace gadgets;

namespace {

// The seeds every randomised test runs with.
constexpr uint32_t kSeeds[] = {1, 2, 3, 20240611, 0xC0FFEEu};

// A small deterministic source of choices around a fixed seed.
class Choices {
public:
    explicit Choices(uint32_t seed) : engine_(seed) {}
    // A number in [0, bound).
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(engine_() % bound); }
    // A number in [low, high].
    uint32_t Between(uint32_t low, uint32_t high) { return low + Below(high - low + 1); }
    bool Percent(uint32_t chance) { return Below(100) < chance; }

private:
    std::mt19937 engine_;
};

// Bytes as a C literal, with everything outside printable ASCII escaped.
std::string Literal(const std::string& bytes, size_t limit = 48) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            out += static_cast<char>(byte);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        }
    }
    out += bytes.size() > limit ? "\"... (" + std::to_string(bytes.size()) + " bytes)" : "\"";
    return out;
}

// UTF-16 text as UTF-8 for messages.
std::string Narrow(const std::wstring& text) {
    if (text.empty()) return "";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes,
                        nullptr, nullptr);
    return out;
}

// ============================================================================
// Registry lists against a model
// ============================================================================

// One appended group as the model keeps it: its keys and the nodes that the
// list made for them, oldest group first.
struct ModelGroup {
    std::vector<int32_t> keys;
    std::vector<RegistryNode*> nodes;
};

struct ModelList {
    const char* name;
    int groupSize;
    RegistryList list;
    std::vector<ModelGroup> groups;

    size_t NodeCount() const { return groups.size() * static_cast<size_t>(groupSize); }
};

void FreeNodes(RegistryList& list) {
    std::set<RegistryNode*> freed;  // a broken list must not free a node twice
    for (RegistryNode* node = list.first; node != nullptr && freed.insert(node).second;) {
        RegistryNode* next = node->next;
        delete node;
        node = next;
    }
    list.first = list.last = nullptr;
}

// The list, walked along next and back along prev, holds exactly the model's
// nodes in the model's order, each linked both ways, with value nodes' fields.
testing::AssertionResult Agrees(const ModelList& model) {
    std::vector<RegistryNode*> expected;
    std::vector<int32_t> expectedKeys;
    for (const ModelGroup& group : model.groups) {
        expected.insert(expected.end(), group.nodes.begin(), group.nodes.end());
        expectedKeys.insert(expectedKeys.end(), group.keys.begin(), group.keys.end());
    }
    const RegistryList& list = model.list;
    if ((list.first == nullptr) != expected.empty() || (list.last == nullptr) != expected.empty()) {
        return testing::AssertionFailure()
               << model.name << ": first " << list.first << ", last " << list.last << " with "
               << expected.size() << " nodes in the model";
    }
    size_t index = 0;
    RegistryNode* before = nullptr;
    for (RegistryNode* node = list.first; node != nullptr; node = node->next, ++index) {
        if (index >= expected.size()) {
            return testing::AssertionFailure() << model.name << ": more than the model's "
                                               << expected.size() << " nodes going forwards";
        }
        if (node != expected[index]) {
            return testing::AssertionFailure()
                   << model.name << ": node " << index << " is " << node << " (key " << node->key
                   << "), the model has " << expected[index] << " (key " << expectedKeys[index]
                   << ")";
        }
        if (node->prev != before) {
            return testing::AssertionFailure() << model.name << ": node " << index << " has prev "
                                               << node->prev << ", the node before is " << before;
        }
        if (node->key != expectedKeys[index] || node->value != expectedKeys[index] ||
            !node->text.empty()) {
            return testing::AssertionFailure()
                   << model.name << ": node " << index << " holds key " << node->key << ", value "
                   << node->value << ", text " << Literal(node->text) << "; expected key and value "
                   << expectedKeys[index] << " and no text";
        }
        before = node;
    }
    if (index != expected.size()) {
        return testing::AssertionFailure() << model.name << ": " << index
                                           << " nodes going forwards, the model has "
                                           << expected.size();
    }
    if (list.last != before) {
        return testing::AssertionFailure()
               << model.name << ": last is " << list.last << ", the forward walk ended at " << before;
    }
    RegistryNode* after = nullptr;
    size_t back = expected.size();
    for (RegistryNode* node = list.last; node != nullptr; node = node->prev) {
        if (back == 0) {
            return testing::AssertionFailure() << model.name << ": more nodes going backwards";
        }
        --back;
        if (node != expected[back] || node->next != after) {
            return testing::AssertionFailure()
                   << model.name << ": going backwards, node " << back << " is " << node
                   << " with next " << node->next << "; expected " << expected[back]
                   << " with next " << after;
        }
        after = node;
    }
    if (back != 0 || after != list.first) {
        return testing::AssertionFailure() << model.name << ": the backward walk stopped "
                                           << back << " nodes short of first";
    }
    return testing::AssertionSuccess();
}

// The model's answers: the first node with the key in list order, and the
// leader of the first group that the key leads.
RegistryNode* ModelFind(const ModelList& model, int32_t key) {
    for (const ModelGroup& group : model.groups) {
        for (size_t i = 0; i < group.keys.size(); ++i) {
            if (group.keys[i] == key) return group.nodes[i];
        }
    }
    return nullptr;
}

int ModelFindGroup(const ModelList& model, int32_t key) {
    for (size_t i = 0; i < model.groups.size(); ++i) {
        if (model.groups[i].keys.front() == key) return static_cast<int>(i);
    }
    return -1;
}

// Keys come from a range this small so that the same key leads several
// groups, sits inside groups, and both at once.
constexpr int32_t kSmallestKey = 1;
constexpr int32_t kLargestKey = 6;
constexpr size_t kMostGroups = 24;

// How often a run met the cases that a model of groups is for.
struct Coverage {
    int innerFirst = 0;       // a find whose first match sits inside a group
    int sharedLeaders = 0;    // a removal with two or more groups led by its key
    int innerOnly = 0;        // a removal whose key sits only inside groups
};

// One random step on one of the lists; the description names what it did.
testing::AssertionResult Step(ModelList& model, Choices& choose, Coverage& coverage,
                              std::string& description) {
    auto randomKey = [&] {
        // Now and then a key that no node holds.
        return static_cast<int32_t>(choose.Between(kSmallestKey - 1, kLargestKey + 1));
    };
    std::ostringstream what;
    uint32_t kind = choose.Below(100);
    if (kind < 35 && model.groups.size() >= kMostGroups) kind = 35;  // full: remove instead

    if (kind < 35) {
        ModelGroup group;
        what << "add to " << model.name << " {";
        for (int i = 0; i < model.groupSize; ++i) {
            auto key = static_cast<int32_t>(choose.Between(kSmallestKey, kLargestKey));
            what << (i == 0 ? "" : ", ") << key;
            int32_t result = ListAddValue(model.list, key);
            group.keys.push_back(key);
            group.nodes.push_back(model.list.last);
            if (result != key) {
                description = what.str() + "}";
                return testing::AssertionFailure()
                       << "ListAddValue(" << key << ") returned " << result;
            }
        }
        what << "}";
        model.groups.push_back(group);
    } else if (kind < 70) {
        // Mostly a key that leads a group, so that removals happen often.
        int32_t key = !model.groups.empty() && choose.Percent(60)
                          ? model.groups[choose.Below(static_cast<uint32_t>(model.groups.size()))]
                                .keys.front()
                          : randomKey();
        what << "remove from " << model.name << " key " << key;
        int leader = ModelFindGroup(model, key);
        long leading = std::count_if(model.groups.begin(), model.groups.end(),
                                     [&](const ModelGroup& g) { return g.keys.front() == key; });
        if (leading >= 2) ++coverage.sharedLeaders;
        if (leading == 0 && ModelFind(model, key) != nullptr) ++coverage.innerOnly;
        if (leader >= 0) model.groups.erase(model.groups.begin() + leader);
        if (model.groupSize == 2) {
            ListRemovePair(model.list, key);
        } else {
            ListRemoveTriple(model.list, key);
        }
    } else {
        int32_t key = randomKey();
        what << "find in " << model.name << " key " << key;
        description = what.str();
        RegistryNode* found = ListFind(model.list, key);
        RegistryNode* expected = ModelFind(model, key);
        if (found != expected) {
            return testing::AssertionFailure() << "ListFind gave " << found << ", the model's "
                                               << "first node with the key is " << expected;
        }
        int leader = ModelFindGroup(model, key);
        RegistryNode* group = ListFindGroup(model.list, key, model.groupSize);
        RegistryNode* expectedGroup = leader >= 0 ? model.groups[leader].nodes.front() : nullptr;
        if (expected != nullptr && expected != expectedGroup) ++coverage.innerFirst;
        if (group != expectedGroup) {
            return testing::AssertionFailure()
                   << "ListFindGroup gave " << group << ", the model's oldest group led by the key"
                   << " is number " << leader << " at " << expectedGroup;
        }
    }
    description = what.str();
    return testing::AssertionSuccess();
}

constexpr int kRegistrySteps = 4000;

testing::AssertionResult RunRegistryLists(uint32_t seed) {
    Choices choose(seed);
    ModelList pairs{"pair list", 2, {}, {}};
    ModelList triples{"triple list", 3, {}, {}};
    testing::AssertionResult result = testing::AssertionSuccess();
    size_t largest = 0;
    Coverage coverage;
    for (int step = 0; step < kRegistrySteps && result; ++step) {
        ModelList& model = choose.Percent(50) ? pairs : triples;
        std::string description;
        testing::AssertionResult stepped = Step(model, choose, coverage, description);
        for (const ModelList* checked : {&pairs, &triples}) {
            if (!stepped) break;
            stepped = Agrees(*checked);
        }
        if (!stepped) {
            result = testing::AssertionFailure() << "seed " << seed << ", step " << step << " ("
                                                 << description << "): " << stepped.message();
        }
        largest = std::max({largest, pairs.NodeCount(), triples.NodeCount()});
    }
    FreeNodes(pairs.list);
    FreeNodes(triples.list);
    if (result && (largest < 12 || coverage.innerFirst == 0 || coverage.sharedLeaders == 0 ||
                   coverage.innerOnly == 0)) {
        result = testing::AssertionFailure()
                 << "seed " << seed << ": the run tried too little: at most " << largest
                 << " nodes, " << coverage.innerFirst << " finds first matching inside a group, "
                 << coverage.sharedLeaders << " removals among groups led by the same key, "
                 << coverage.innerOnly << " removals of a key found only inside groups";
    }
    return result;
}

// ============================================================================
// Trimming against a reference
// ============================================================================

// Spaces, zero bytes, high bytes and a tab, so that sets and texts meet often.
const std::string kTrimAlphabet = std::string(" \0ab\x80\xFF\xE9\t", 8);

std::string RandomBytes(Choices& choose, const std::string& alphabet, size_t length) {
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
        bytes += alphabet[choose.Below(static_cast<uint32_t>(alphabet.size()))];
    }
    return bytes;
}

// The reference: the bytes that stay are those from the first byte outside
// the set up to the last byte outside it.
struct Kept {
    size_t first;  // index of the first byte not in the set (text size when none)
    size_t end;    // one past the last byte not in the set (0 when none)
};

Kept Reference(const std::string& text, const std::string& set) {
    bool member[256] = {};
    for (char byte : set) member[static_cast<unsigned char>(byte)] = true;
    auto outside = [&](size_t i) { return !member[static_cast<unsigned char>(text[i])]; };
    Kept kept{text.size(), 0};
    for (size_t i = 0; i < text.size(); ++i) {
        if (outside(i)) {
            kept.first = std::min(kept.first, i);
            kept.end = i + 1;
        }
    }
    return kept;
}

constexpr int kTrimSteps = 3000;

testing::AssertionResult RunTrimming(uint32_t seed) {
    Choices choose(seed);
    for (int step = 0; step < kTrimSteps; ++step) {
        size_t length = choose.Percent(90) ? choose.Between(0, 12) : choose.Between(13, 40);
        std::string text = RandomBytes(choose, kTrimAlphabet, length);
        std::string set = RandomBytes(choose, kTrimAlphabet, choose.Between(0, 4));
        Kept kept = Reference(text, set);
        bool anyKept = kept.end > 0;
        struct Operation {
            const char* name;
            std::string result;
            std::string expected;
        };
        const Operation operations[] = {
            {"TRIMA", TRIMA(text, set),
             anyKept ? text.substr(kept.first, kept.end - kept.first) : ""},
            {"LTRIMA", LTRIMA(text, set), anyKept ? text.substr(kept.first) : ""},
            {"RTRIMA", RTRIMA(text, set), text.substr(0, kept.end)},
        };
        for (const Operation& operation : operations) {
            if (operation.result != operation.expected) {
                return testing::AssertionFailure()
                       << "seed " << seed << ", step " << step << ": " << operation.name << "("
                       << Literal(text) << ", " << Literal(set) << ") gave "
                       << Literal(operation.result) << ", expected " << Literal(operation.expected);
            }
        }
    }
    return testing::AssertionSuccess();
}

// ============================================================================
// The search address against its rules
// ============================================================================

const std::wstring kEnginePrefix = L"https://www.google.com/search?client=IE&rls=ru&q=";
const std::wstring kForumPrefix = L"https://www.radiokot.ru/forum/search.php?keywords=";
const std::wstring kRestriction = L"+site:";

// A keyword letter as the address carries it (the tests' model: ASCII as
// itself but four escapes, every other letter as its UTF-8 bytes escaped).
size_t PieceLength(wchar_t letter) { return testing_support::KeywordPieces(std::wstring(1, letter))[0].size(); }

std::wstring Escaped(const std::wstring& letters) {
    std::wstring out;
    for (const std::wstring& piece : testing_support::KeywordPieces(letters)) out += piece;
    return out;
}

// Windows-1251 bytes as UTF-16, one unit a byte.
std::wstring FromWindows1251(const std::string& bytes) {
    if (bytes.empty()) return L"";
    std::wstring wide(bytes.size(), L'\0');
    int units = MultiByteToWideChar(1251, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    wide.data(), static_cast<int>(wide.size()));
    wide.resize(units > 0 ? static_cast<size_t>(units) : 0);
    return wide;
}

std::string TrimSpaces(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Keyword bytes as the keyword box may hold them: Latin and Cyrillic letters,
// the four escaped characters, spaces, tabs and control characters.
std::string RandomKeywords(Choices& choose, size_t length) {
    static const std::string kLatin = "abcxyzABXZ0189-._/?=:";
    std::string bytes;
    bytes.reserve(length);
    while (bytes.size() < length) {
        uint32_t kind = choose.Below(100);
        char byte;
        if (kind < 25) {
            byte = kLatin[choose.Below(static_cast<uint32_t>(kLatin.size()))];
        } else if (kind < 50) {
            byte = static_cast<char>(choose.Between(0xC0, 0xFF));  // А to я
        } else if (kind < 55) {
            byte = choose.Percent(50) ? '\xA8' : '\xB8';  // Ё, ё
        } else if (kind < 60) {
            byte = static_cast<char>(choose.Between(0x80, 0xBF));  // the rest of the upper half
        } else if (kind < 76) {
            byte = "%&#+"[choose.Below(4)];
        } else if (kind < 88) {
            byte = ' ';
        } else if (kind < 93) {
            byte = '\t';
        } else {
            byte = static_cast<char>(choose.Between(0x01, 0x1F));
        }
        bytes += byte;
    }
    // Runs of spaces at the ends, which only the forum search drops.
    if (choose.Percent(20)) bytes.insert(0, choose.Between(1, 3), ' ');
    if (choose.Percent(20)) bytes.append(choose.Between(1, 3), ' ');
    return bytes;
}

// Mostly lengths around the point where the address fills, some short, some
// up to the longest text an edit box holds.
size_t RandomKeywordLength(Choices& choose) {
    uint32_t kind = choose.Below(80);
    if (kind < 24) return choose.Between(0, 40);
    if (kind < 56) return choose.Between(60, 260);
    if (kind < 78) return choose.Between(261, 1000);
    if (kind < 79) return choose.Between(1001, 32766);
    return 32767;
}

const std::wstring& Prefix(int index) {
    return index == app::kForumSearchIndex ? kForumPrefix : kEnginePrefix;
}

// "+site:" and the forum's root address; nothing for the forum search.
std::wstring Restriction(int index) {
    if (index == app::kForumSearchIndex) return L"";
    std::string site = app::kSites[index];
    return kRestriction + std::wstring(site.begin(), site.end());
}

// Checks one address against the rules; `letters` is what the keywords are
// expected to contribute before escaping.
testing::AssertionResult Obeys(const std::wstring& address, int index,
                               const std::wstring& letters) {
    const size_t limit = app::kMaxAddressUnits;
    if (address.size() > limit) {
        return testing::AssertionFailure() << "the address has " << address.size()
                                           << " units, more than " << limit;
    }
    const std::wstring& prefix = Prefix(index);
    if (address.compare(0, prefix.size(), prefix) != 0) {
        return testing::AssertionFailure() << "the address does not start with the whole prefix "
                                           << Narrow(prefix) << ": " << Narrow(address.substr(0, 80));
    }
    std::wstring restriction = Restriction(index);
    if (address.size() < prefix.size() + restriction.size() ||
        address.compare(address.size() - restriction.size(), restriction.size(), restriction) != 0) {
        return testing::AssertionFailure()
               << "the address does not end with the whole restriction " << Narrow(restriction)
               << ": ..." << Narrow(address.substr(address.size() > 60 ? address.size() - 60 : 0));
    }
    std::wstring part = address.substr(prefix.size(),
                                       address.size() - prefix.size() - restriction.size());

    // ASCII only, and the escapes undone are whole UTF-8 characters.
    if (!testing_support::IsAscii(part)) {
        return testing::AssertionFailure() << "the keyword part holds characters outside ASCII";
    }
    std::optional<std::wstring> decoded = testing_support::PercentDecoded(part);
    if (!decoded) {
        return testing::AssertionFailure() << "the keyword part is no whole escapes of UTF-8: "
                                           << Narrow(part.substr(0, 80));
    }
    const std::wstring& unescaped = *decoded;
    if (letters.compare(0, unescaped.size(), unescaped) != 0 || unescaped.size() > letters.size()) {
        size_t differ = 0;
        while (differ < unescaped.size() && differ < letters.size() &&
               unescaped[differ] == letters[differ]) {
            ++differ;
        }
        return testing::AssertionFailure()
               << "the keyword part, unescaped, is no prefix of the keywords: they differ at letter "
               << differ << " of " << unescaped.size() << " (the keywords have " << letters.size()
               << " letters)";
    }
    if (Escaped(unescaped) != part) {
        return testing::AssertionFailure()
               << "the keyword part is not its letters escaped: " << Narrow(part.substr(0, 80));
    }
    // As long as whole pieces allow: the next letter's piece would not fit.
    if (unescaped.size() < letters.size()) {
        size_t next = PieceLength(letters[unescaped.size()]);
        if (address.size() + next <= limit) {
            return testing::AssertionFailure()
                   << "the keywords stop after " << unescaped.size() << " of " << letters.size()
                   << " letters at " << address.size() << " units, though the next piece of "
                   << next << " units would still fit";
        }
    }
    return testing::AssertionSuccess();
}

constexpr int kAddressSteps = 1500;

testing::AssertionResult RunAddresses(uint32_t seed) {
    Choices choose(seed);
    int cut = 0;
    int whole = 0;
    for (int step = 0; step < kAddressSteps; ++step) {
        auto index = static_cast<int>(choose.Below(5));
        std::string keywords = RandomKeywords(choose, RandomKeywordLength(choose));
        std::wstring letters =
            FromWindows1251(index == app::kForumSearchIndex ? TrimSpaces(keywords) : keywords);
        std::wstring address = app::SearchAddress(index, app::kSites[index], keywords);
        testing::AssertionResult obeyed = Obeys(address, index, letters);
        if (!obeyed) {
            return testing::AssertionFailure()
                   << "seed " << seed << ", step " << step << ", index " << index << ", keywords "
                   << Literal(keywords) << ": " << obeyed.message();
        }
        size_t unbounded = Prefix(index).size() + Escaped(letters).size() + Restriction(index).size();
        (unbounded > app::kMaxAddressUnits ? cut : whole)++;
    }
    if (cut == 0 || whole == 0) {
        return testing::AssertionFailure() << "seed " << seed << ": " << cut << " long and "
                                           << whole << " short keywords; the run missed a side";
    }
    return testing::AssertionSuccess();
}

}  // namespace

TEST(RandomisedRegistryLists, PairsAndTriplesFollowAModelOfGroups) {
    for (uint32_t seed : kSeeds) EXPECT_TRUE(RunRegistryLists(seed));
}

TEST(RandomisedTrimming, TrimmingMatchesAReferenceOverRandomTextsAndSets) {
    for (uint32_t seed : kSeeds) EXPECT_TRUE(RunTrimming(seed));
}

TEST(RandomisedSearchAddress, AddressesKeepTheirLimitEscapesAndWholePieces) {
    // The keyword box's bytes are read in the process's ANSI code page.
    ASSERT_EQ(GetACP(), 1251u) << "the tests expect the ANSI code page 1251";
    for (uint32_t seed : kSeeds) EXPECT_TRUE(RunAddresses(seed));
}
