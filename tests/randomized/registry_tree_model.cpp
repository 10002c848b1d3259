#include "registry_tree_model.h"

#include "random_cases.h"

#include "common/unique_handle.h"

namespace kxtest {

namespace {

// Deletion of the key at a path of pathLength characters: a key without subkeys goes at once;
// otherwise its subkeys go one by one, first enumerated first, each by its full path. The
// deletion stops (and the key stays) at a subkey that cannot be deleted, at a subkey whose
// full path would not fit the buffer, and when the path leaves no room for a separator and a
// name. True when the key is gone; what was deleted before a stop stays deleted.
bool DeleteAsModelled(Node& node, std::size_t pathLength)
{
    if (node.children.empty()) {
        return true;
    }
    if (pathLength + 2 >= PathBufferLength) {
        return false;
    }
    while (!node.children.empty()) {
        const std::size_t childLength = pathLength + 1 + node.children.front().name.size();
        if (childLength >= PathBufferLength || !DeleteAsModelled(node.children.front(), childLength)) {
            return false;
        }
        node.children.erase(node.children.begin());
    }
    return true;
}

// Key names compare without regard to case; the registry enumerates subkeys in that order.
int CompareKeyNames(const std::wstring& left, const std::wstring& right)
{
    return ::CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                  static_cast<int>(right.size()), TRUE);
}

Node& ChildNamed(Node& parent, const std::wstring& name)
{
    auto place = parent.children.begin();
    while (place != parent.children.end() && CompareKeyNames(place->name, name) == CSTR_LESS_THAN) {
        ++place;
    }
    if (place != parent.children.end() && SameKeyName(place->name, name)) {
        return *place;
    }
    return *parent.children.insert(place, Node{name, {}, {}});
}

void Flatten(const Node& node, const std::wstring& relative, RegistrySnapshot& snapshot)
{
    snapshot[relative] = node.values;
    for (const auto& child : node.children) {
        Flatten(child, relative.empty() ? child.name : relative + L"\\" + child.name, snapshot);
    }
}

std::map<std::wstring, RegistryValue> ReadValues(HKEY key)
{
    std::map<std::wstring, RegistryValue> values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256 + 1];
        DWORD nameLength = ARRAYSIZE(name);
        BYTE data[2048];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) {
            return values;
        }
        values[name] = RegistryValue{type, std::vector<BYTE>(data, data + size)};
    }
}

// The tree as the registry holds it, subkeys in the registry's enumeration order.
Node ReadNode(HKEY key, const std::wstring& name)
{
    Node node{name, ReadValues(key), {}};
    for (DWORD index = 0;; ++index) {
        wchar_t childName[256 + 1];
        DWORD childLength = ARRAYSIZE(childName);
        if (::RegEnumKeyExW(key, index, childName, &childLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return node;
        }
        kx::unique_hkey child;
        if (::RegOpenKeyExW(key, childName, 0, KEY_READ, child.put()) == ERROR_SUCCESS) {
            node.children.push_back(ReadNode(child.get(), childName));
        }
    }
}

bool SameValues(const std::map<std::wstring, RegistryValue>& left, const std::map<std::wstring, RegistryValue>& right)
{
    if (left.size() != right.size()) {
        return false;
    }
    for (auto l = left.begin(), r = right.begin(); l != left.end(); ++l, ++r) {
        if (l->first != r->first || l->second.type != r->second.type || l->second.data != r->second.data) {
            return false;
        }
    }
    return true;
}

} // namespace

void RemoveAsModelled(std::optional<Node>& key, std::size_t pathLength)
{
    if (key && DeleteAsModelled(*key, pathLength)) {
        key.reset();
    }
}

bool SameKeyName(const std::wstring& left, const std::wstring& right)
{
    return CompareKeyNames(left, right) == CSTR_EQUAL;
}

std::string OrderFault(const Node& node)
{
    for (std::size_t index = 0; index < node.children.size(); ++index) {
        const auto& child = node.children[index];
        if (index > 0 && CompareKeyNames(node.children[index - 1].name, child.name) != CSTR_LESS_THAN) {
            return DescribeText(node.children[index - 1].name) + " before " + DescribeText(child.name);
        }
        const std::string below = OrderFault(child);
        if (!below.empty()) {
            return below;
        }
    }
    return {};
}

// Writing the tabled tree on top of what deletion left: existing keys are opened, the tabled
// values overwrite values of the same name, everything else stays.
void WriteTableAsModelled(std::optional<Node>& key, const RegistrySnapshot& table)
{
    if (!key) {
        key = Node{};
    }
    for (const auto& [relative, values] : table) {
        Node* node = &*key;
        for (std::size_t start = 0; start < relative.size();) {
            std::size_t end = relative.find(L'\\', start);
            end = end == std::wstring::npos ? relative.size() : end;
            node = &ChildNamed(*node, relative.substr(start, end - start));
            start = end + 1;
        }
        for (const auto& [name, value] : values) {
            node->values[name] = value;
        }
    }
}

RegistrySnapshot Flattened(const std::optional<Node>& key)
{
    RegistrySnapshot snapshot;
    if (key) {
        Flatten(*key, L"", snapshot);
    }
    return snapshot;
}

std::optional<Node> ReadKey(const std::wstring& path)
{
    kx::unique_hkey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return ReadNode(key.get(), L"");
}

bool SameSnapshot(const RegistrySnapshot& left, const RegistrySnapshot& right)
{
    if (left.size() != right.size()) {
        return false;
    }
    for (auto l = left.begin(), r = right.begin(); l != left.end(); ++l, ++r) {
        if (l->first != r->first || !SameValues(l->second, r->second)) {
            return false;
        }
    }
    return true;
}

// The keys that only one side has or that differ in their values, one line each.
std::string DescribeDifference(const RegistrySnapshot& expected, const RegistrySnapshot& actual)
{
    std::string description;
    for (const auto& [path, values] : expected) {
        const auto found = actual.find(path);
        if (found == actual.end()) {
            description += "missing: " + DescribeText(path) + "\n";
        } else if (!SameValues(values, found->second)) {
            description += "other values: " + DescribeText(path) + "\n";
        }
    }
    for (const auto& entry : actual) {
        if (expected.count(entry.first) == 0) {
            description += "unexpected: " + DescribeText(entry.first) + "\n";
        }
    }
    return description;
}

} // namespace kxtest
