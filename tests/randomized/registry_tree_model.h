#pragma once

#include "registry_snapshot.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kxtest {

// Paths are composed in a buffer of this many characters, terminator included.
constexpr std::size_t PathBufferLength = 520;

// A registry key as the model sees it.
struct Node {
    std::wstring name;
    std::map<std::wstring, RegistryValue> values;
    std::vector<Node> children; // in the order the registry enumerates them
};

// Deletion of a key at a path of pathLength characters below the root, as the co-installer's
// rules have it; the key is reset when it is gone.
void RemoveAsModelled(std::optional<Node>& key, std::size_t pathLength);
// Writing the tabled tree on top of what deletion left.
void WriteTableAsModelled(std::optional<Node>& key, const RegistrySnapshot& table);
RegistrySnapshot Flattened(const std::optional<Node>& key);

// Key names compare without regard to case.
bool SameKeyName(const std::wstring& left, const std::wstring& right);
// "" when the subkeys of node and below are in the registry's enumeration order, else the
// first pair that is not.
std::string OrderFault(const Node& node);

// The key at path below HKEY_CLASSES_ROOT with its subtree, subkeys in enumeration order.
std::optional<Node> ReadKey(const std::wstring& path);

bool SameSnapshot(const RegistrySnapshot& left, const RegistrySnapshot& right);
// The keys that only one side has or that differ in their values, one line each.
std::string DescribeDifference(const RegistrySnapshot& expected, const RegistrySnapshot& actual);

} // namespace kxtest
