// The registry: a tree of keys held in memory, seeded by the host.
//
// Key names and value names compare without regard to case; paths are
// backslash-separated, may end in backslashes, and may not begin with one or
// hold an empty name. Results are LSTATUS codes; the last error is untouched.
#include "zt/sys/registry.h"

#include "zt/sys/guarded.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zt::sys::registry {

namespace {

struct Value {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::u16string name;
    std::vector<Value> values;
    std::vector<std::shared_ptr<Key>> children;
    std::size_t depth = 0; // names below its root; a root is 0
    bool deleted = false;
};

// Generic rights and MAXIMUM_ALLOWED, as Win32 maps them onto key rights.
constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kMaximumAllowed = 0x02000000u;

REGSAM map_generic(REGSAM access) {
    if (access & (kGenericAll | kMaximumAllowed))
        access |= KEY_ALL_ACCESS;
    if (access & kGenericRead)
        access |= KEY_READ;
    if (access & kGenericWrite)
        access |= KEY_WRITE;
    return access;
}

// An open key: what the handle table holds for an HKEY.
class KeyObject final : public KernelObject {
  public:
    KeyObject(std::shared_ptr<Key> key, REGSAM access) : m_key(std::move(key)), m_access(map_generic(access)) {}
    const char* type_name() const override { return "key"; }
    unsigned trace_channel() const override { return trace::kReg; }
    const std::shared_ptr<Key>& key() const { return m_key; }
    REGSAM access() const { return m_access; }

  private:
    std::shared_ptr<Key> m_key;
    REGSAM m_access;
};

struct Root {
    std::uintptr_t value;
    const char* name;
};
// HKEY_USERS has no name in platform.h but is a root all the same.
constexpr Root kRoots[] = {{0x80000000u, "HKEY_CLASSES_ROOT"},
                           {0x80000001u, "HKEY_CURRENT_USER"},
                           {0x80000002u, "HKEY_LOCAL_MACHINE"},
                           {0x80000003u, "HKEY_USERS"}};
constexpr std::size_t kRootCount = std::size(kRoots);

struct Tree {
    std::shared_ptr<Key> roots[kRootCount];
    Tree() {
        for (auto& root : roots)
            root = std::make_shared<Key>();
    }
};
using Held = Guarded<Tree>::Lock;

// Never destroyed: static objects may read the registry until the process ends.
Guarded<Tree>& store() {
    static Guarded<Tree>* const instance = new Guarded<Tree>();
    return *instance;
}

int root_index(HKEY key) {
    const auto raw = reinterpret_cast<std::uintptr_t>(key);
    for (std::size_t i = 0; i < kRootCount; ++i)
        if (kRoots[i].value == raw)
            return static_cast<int>(i);
    return -1;
}

std::string describe(HKEY key) {
    const int root = root_index(key);
    return root >= 0 ? kRoots[root].name : trace::handle(key);
}

// A key handle made usable: the key and the rights it was opened with.
struct Resolved {
    LSTATUS status = ERROR_SUCCESS;
    std::shared_ptr<Key> key;
    REGSAM access = 0;
};

// The key behind a handle, refused with ERROR_ACCESS_DENIED when it was not
// opened with every right in `needs`.
Resolved resolve(const Held& tree, HKEY handle, REGSAM needs = 0) {
    Resolved out;
    const int root = root_index(handle);
    if (root >= 0) {
        out.key = tree->roots[root];
        out.access = KEY_ALL_ACCESS;
        return out;
    }
    auto object = Kernel::get().handles().find_as<KeyObject>(handle);
    if (!object) {
        out.status = ERROR_INVALID_HANDLE;
        return out;
    }
    if (object->key()->deleted) {
        out.status = kErrorKeyDeleted;
        return out;
    }
    out.key = object->key();
    out.access = object->access();
    if ((out.access & needs) != needs)
        out.status = ERROR_ACCESS_DENIED;
    return out;
}

// Splits a key path into its names. Trailing backslashes are ignored, as
// Win32 does; a leading one or an empty name between two is an error.
LSTATUS split_path(std::u16string_view path, std::vector<std::u16string_view>& names) {
    names.clear();
    while (!path.empty() && path.back() == u'\\' && path.size() > 1)
        path.remove_suffix(1);
    if (path.empty())
        return ERROR_SUCCESS;
    if (path.front() == u'\\')
        return kErrorBadPathname;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find(u'\\', start);
        const std::u16string_view name = path.substr(start, end == std::u16string_view::npos ? path.npos : end - start);
        if (name.empty())
            return kErrorBadPathname;
        if (name.size() > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        names.push_back(name);
        if (end == std::u16string_view::npos)
            return ERROR_SUCCESS;
        start = end + 1;
    }
}

std::shared_ptr<Key> find_child(const Key& parent, std::u16string_view name) {
    for (const auto& child : parent.children)
        if (equal_ignore_case(child->name, name))
            return child;
    return nullptr;
}

Value* find_value(Key& key, std::u16string_view name) {
    for (auto& value : key.values)
        if (equal_ignore_case(value.name, name))
            return &value;
    return nullptr;
}

bool erase_value(Key& key, std::u16string_view name) {
    return std::erase_if(key.values, [&](const Value& v) { return equal_ignore_case(v.name, name); }) > 0;
}

// Marks a key and everything below it deleted and empties them. A loop, not
// a recursion: each key is taken apart before it goes, so no key is ever
// destroyed with children of its own, whatever the depth. Keys still held by
// an open handle stay, empty and marked.
void mark_deleted(std::shared_ptr<Key> top) {
    std::vector<std::shared_ptr<Key>> pending;
    pending.push_back(std::move(top));
    while (!pending.empty()) {
        std::shared_ptr<Key> key = std::move(pending.back());
        pending.pop_back();
        key->deleted = true;
        for (auto& child : key->children)
            pending.push_back(std::move(child));
        key->children.clear();
        key->values.clear();
    }
}

HKEY insert_handle(std::shared_ptr<Key> key, REGSAM access) {
    return static_cast<HKEY>(Kernel::get().handles().insert(std::make_shared<KeyObject>(std::move(key), access)));
}

// Opens or creates the key `path` below `base`.
struct Walk {
    LSTATUS status = ERROR_SUCCESS;
    std::shared_ptr<Key> key;
    bool created = false;
};
Walk walk(const Held&, const std::shared_ptr<Key>& base, const std::vector<std::u16string_view>& names, bool create) {
    Walk out;
    if (base->depth + names.size() > kMaxKeyDepth) {
        out.status = ERROR_INVALID_PARAMETER;
        return out;
    }
    std::shared_ptr<Key> at = base;
    for (const auto& name : names) {
        auto child = find_child(*at, name);
        if (!child) {
            if (!create) {
                out.status = ERROR_FILE_NOT_FOUND;
                return out;
            }
            child = std::make_shared<Key>();
            child->name = std::u16string(name);
            child->depth = at->depth + 1;
            at->children.push_back(child);
            out.created = true;
        }
        at = std::move(child);
    }
    out.key = std::move(at);
    return out;
}

} // namespace

LSTATUS set_value(HKEY root, std::u16string_view path, std::u16string_view name, DWORD type,
                  std::span<const BYTE> data) {
    const std::u16string pathText(path);
    const std::u16string nameText(name);
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(root, pathText.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExW(key, nameText.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status;
}

LSTATUS set_dword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD value) {
    BYTE bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<BYTE>(value >> (8 * i));
    return set_value(root, path, name, REG_DWORD, bytes);
}

LSTATUS delete_tree(HKEY root, std::u16string_view path) {
    std::vector<std::u16string_view> names;
    if (const LSTATUS status = split_path(path, names); status != ERROR_SUCCESS)
        return status;
    if (names.empty())
        return ERROR_ACCESS_DENIED;
    const Held tree = store().lock();
    Resolved base = resolve(tree, root);
    if (base.status != ERROR_SUCCESS)
        return base.status;
    const std::u16string_view last = names.back();
    names.pop_back();
    Walk parent = walk(tree, base.key, names, false);
    if (parent.status != ERROR_SUCCESS)
        return parent.status;
    auto& children = parent.key->children;
    auto it = std::find_if(children.begin(), children.end(),
                           [&](const std::shared_ptr<Key>& child) { return equal_ignore_case(child->name, last); });
    if (it == children.end())
        return ERROR_FILE_NOT_FOUND;
    mark_deleted(*it);
    children.erase(it);
    return ERROR_SUCCESS;
}

void clear() {
    const Held tree = store().lock();
    for (auto& root : tree->roots) {
        for (auto& child : root->children)
            mark_deleted(std::move(child));
        root->children.clear();
        root->values.clear();
    }
}

} // namespace zt::sys::registry

using namespace zt::sys::registry;
using zt::sys::view;
using zt::trace::kReg;
using zt::trace::quote;

namespace {

// What RegOpenKeyExW and RegCreateKeyExW share: the key `subKey` below `key`,
// made on the way when `create`; a root with no path opens as itself. As on
// Win32, the rights of the parent handle do not matter here.
struct Opened {
    LSTATUS status = ERROR_SUCCESS;
    HKEY key = nullptr;
    bool created = false;
};
Opened open_key(HKEY key, LPCWSTR subKey, REGSAM access, bool create) {
    Opened out;
    std::vector<std::u16string_view> names;
    if ((out.status = split_path(view(subKey), names)) != ERROR_SUCCESS)
        return out;
    const Held tree = store().lock();
    Resolved base = resolve(tree, key);
    if (base.status != ERROR_SUCCESS) {
        out.status = base.status;
    } else if (names.empty() && root_index(key) >= 0) {
        out.key = key;
    } else {
        Walk found = walk(tree, base.key, names, create);
        out.status = found.status;
        out.created = found.created;
        if (out.status == ERROR_SUCCESS)
            out.key = insert_handle(std::move(found.key), access);
        if (out.status == ERROR_SUCCESS && out.key == nullptr)
            out.status = ERROR_NO_SYSTEM_RESOURCES; // every handle number is in use
    }
    return out;
}

} // namespace

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    (void)options; // nothing here is a link
    Opened opened;
    if (result == nullptr)
        opened.status = ERROR_INVALID_PARAMETER;
    else
        *result = (opened = open_key(key, subKey, access, false)).key;
    ZT_TRACE(kReg, "RegOpenKeyExW(%s, %s, %u, %#x) = %d, key %s", describe(key).c_str(), quote(subKey).c_str(), options,
             access, opened.status, describe(opened.key).c_str());
    return opened.status;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                        LPSECURITY_ATTRIBUTES attributes, PHKEY result, LPDWORD disposition) {
    // Classes, volatility and security have no meaning in memory.
    (void)reserved, (void)keyClass, (void)options, (void)attributes;
    Opened opened;
    if (result == nullptr)
        opened.status = kErrorBadKey;
    else
        *result = (opened = open_key(key, subKey, access, true)).key;
    if (opened.status == ERROR_SUCCESS && disposition != nullptr)
        *disposition = opened.created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    ZT_TRACE(kReg, "RegCreateKeyExW(%s, %s, %#x) = %d, key %s%s", describe(key).c_str(), quote(subKey).c_str(), access,
             opened.status, describe(opened.key).c_str(), opened.created ? ", created" : "");
    return opened.status;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    const std::string sizeIn = dataSize ? std::to_string(*dataSize) : std::string("NULL");
    LSTATUS status = ERROR_SUCCESS;
    DWORD foundType = 0;
    DWORD foundSize = 0;
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        status = ERROR_INVALID_PARAMETER;
    } else {
        const Held tree = store().lock();
        Resolved resolved = resolve(tree, key, KEY_QUERY_VALUE);
        Value* value = nullptr;
        if (resolved.status != ERROR_SUCCESS) {
            status = resolved.status;
        } else if ((value = find_value(*resolved.key, view(valueName))) == nullptr) {
            status = ERROR_FILE_NOT_FOUND;
        } else {
            foundType = value->type;
            foundSize = static_cast<DWORD>(value->data.size());
            if (type != nullptr)
                *type = foundType;
            if (data != nullptr && *dataSize < foundSize) {
                status = ERROR_MORE_DATA; // the buffer is left as it was
            } else if (data != nullptr && foundSize > 0) {
                std::memcpy(data, value->data.data(), foundSize);
            }
            if (dataSize != nullptr)
                *dataSize = foundSize;
        }
    }
    ZT_TRACE(kReg, "RegQueryValueExW(%s, %s, %s) = %d, type %u, size %u", describe(key).c_str(),
             quote(valueName).c_str(), sizeIn.c_str(), status, foundType, foundSize);
    return status;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
    (void)reserved;
    const auto name = view(valueName);
    LSTATUS status = ERROR_SUCCESS;
    if ((data == nullptr && dataSize > 0) || name.size() > kMaxValueNameLength) {
        status = ERROR_INVALID_PARAMETER;
    } else {
        const Held tree = store().lock();
        Resolved resolved = resolve(tree, key, KEY_SET_VALUE);
        if (resolved.status != ERROR_SUCCESS) {
            status = resolved.status;
        } else {
            Value* value = find_value(*resolved.key, name);
            if (value == nullptr) {
                resolved.key->values.push_back(Value{std::u16string(name), REG_NONE, {}});
                value = &resolved.key->values.back();
            }
            value->type = type;
            value->data.assign(data, data + dataSize);
        }
    }
    ZT_TRACE(kReg, "RegSetValueExW(%s, %s, %u, %u) = %d", describe(key).c_str(), quote(valueName).c_str(), type,
             dataSize, status);
    return status;
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    LSTATUS status = ERROR_SUCCESS;
    {
        const Held tree = store().lock();
        Resolved resolved = resolve(tree, key, KEY_SET_VALUE);
        if (resolved.status != ERROR_SUCCESS) {
            status = resolved.status;
        } else if (!erase_value(*resolved.key, view(valueName))) {
            status = ERROR_FILE_NOT_FOUND;
        }
    }
    ZT_TRACE(kReg, "RegDeleteValueW(%s, %s) = %d", describe(key).c_str(), quote(valueName).c_str(), status);
    return status;
}

LSTATUS RegCloseKey(HKEY key) {
    LSTATUS status = ERROR_SUCCESS;
    if (root_index(key) < 0) {
        auto& handles = zt::sys::Kernel::get().handles();
        // Only a key handle is closed here; any other kind of handle stays open.
        if (!handles.find_as<KeyObject>(key) || !handles.remove(key))
            status = ERROR_INVALID_HANDLE;
    }
    ZT_TRACE(kReg, "RegCloseKey(%s) = %d", describe(key).c_str(), status);
    return status;
}
