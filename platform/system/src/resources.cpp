// The program's resource table and the Win32 calls that read it.
//
// The program's own section (zt_program_resources) is constant data that the
// registry starts from when first used, which may be in any static
// initialiser, before the platform boots: so the registry lives in its own
// function-local static with its own lock and never touches the kernel.
// Tables added later (register_resources) go after it. Lookups report
// failures through the per-thread last error as usual.
//
// Handles: the main module is a fixed number below the first handle-table
// number; a found resource and its loaded data are numbered from the entry's
// position in the registry (entries are never removed), in ranges whose
// numbers are 2 mod 4, so none of them can equal a kernel handle or a window.
#include "zt/sys/resources.h"
#include "api.h"
#include "zt/sys/trace.h"

#include "zt/platform.h"
#include "zt/sys/guarded.h"

#include <algorithm>
#include <optional>
#include <vector>

using zt::sys::fail;

// Weak: a program without resources (the platform's own tests) has no table.
extern "C" __attribute__((weak)) const zt::sys::ResourceSection zt_program_resources;

namespace zt::sys {

namespace {

constexpr std::uintptr_t kMainModule = 0x10;
constexpr std::uintptr_t kFirstResource = 0x01000002;
constexpr std::uintptr_t kFirstData = 0x02000002;
constexpr std::size_t kMaxEntries = (kFirstData - kFirstResource) / 4;

using Registry = Guarded<std::vector<ResourceEntry>>;

// Never destroyed: static objects may look up resources until the process
// ends.
Registry& registry() {
    static Registry* const instance = [] {
        const ResourceSection* own = &zt_program_resources;
        if (own == nullptr || own->entries == nullptr)
            return new Registry();
        return new Registry(own->entries, own->entries + std::min(own->count, kMaxEntries));
    }();
    return *instance;
}

// An integer identifier from MAKEINTRESOURCEW(id) or from the "#id" spelling
// Win32 also accepts; other names cannot match anything in this table.
std::optional<WORD> resource_number(LPCWSTR name) {
    if (is_int_name(name))
        return static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
    if (name[0] != u'#' || name[1] == 0)
        return std::nullopt;
    unsigned value = 0;
    for (LPCWSTR p = name + 1; *p != 0; ++p) {
        if (*p < u'0' || *p > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(*p - u'0');
        if (value > 0xFFFF)
            return std::nullopt;
    }
    return static_cast<WORD>(value);
}

bool is_own_module(HMODULE module) {
    return module == nullptr || module == main_module();
}

// The registry position a handle stands for, if it is one of ours.
std::optional<std::size_t> index_of(const void* handle, std::uintptr_t first) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value < first || (value - first) % 4 != 0)
        return std::nullopt;
    const std::size_t index = (value - first) / 4;
    if (index >= registry().lock()->size())
        return std::nullopt;
    return index;
}

template <typename Handle> Handle handle_for(std::size_t index, std::uintptr_t first) {
    return reinterpret_cast<Handle>(first + 4 * index);
}

ResourceEntry entry_at(std::size_t index) {
    return (*registry().lock())[index];
}

} // namespace

HMODULE main_module() {
    return reinterpret_cast<HMODULE>(kMainModule);
}

bool register_resources(const ResourceEntry* entries, std::size_t count) {
    if (entries == nullptr && count != 0)
        return false;
    auto table = registry().lock();
    if (count > kMaxEntries - table->size())
        return false;
    // An entry already present under the same type, id and language keeps its
    // place: the first table registered wins, as the first match would.
    table->insert(table->end(), entries, entries + count);
    return true;
}

} // namespace zt::sys

using zt::sys::index_of;
using zt::trace::handle;
using zt::trace::kKernel;
using zt::trace::quote;

namespace {

HMODULE module_handle(LPCWSTR moduleName) {
    if (moduleName == nullptr)
        return zt::sys::main_module();
    // The program is the only module; there are no libraries to name.
    return fail(ERROR_MOD_NOT_FOUND, nullptr);
}

HRSRC find_resource(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (!zt::sys::is_own_module(module))
        return fail(ERROR_INVALID_HANDLE, nullptr);
    if (name == nullptr || type == nullptr)
        return fail(ERROR_INVALID_PARAMETER, nullptr);
    const auto wantedType = zt::sys::resource_number(type);
    const auto wantedId = zt::sys::resource_number(name);
    bool typeSeen = false;
    std::optional<std::size_t> found;
    {
        const auto table = zt::sys::registry().lock();
        for (std::size_t i = 0; wantedType && i < table->size(); ++i) {
            if ((*table)[i].type != *wantedType)
                continue;
            typeSeen = true;
            if (wantedId && (*table)[i].id == *wantedId) {
                found = i;
                break;
            }
        }
    }
    if (!found)
        return fail(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND, nullptr);
    return zt::sys::handle_for<HRSRC>(*found, zt::sys::kFirstResource);
}

HGLOBAL load_resource(HMODULE module, HRSRC resource) {
    const auto index = index_of(resource, zt::sys::kFirstResource);
    if (!zt::sys::is_own_module(module) || !index)
        return fail(ERROR_INVALID_HANDLE, nullptr);
    return zt::sys::handle_for<HGLOBAL>(*index, zt::sys::kFirstData);
}

LPVOID lock_resource(HGLOBAL data) {
    const auto index = index_of(data, zt::sys::kFirstData);
    if (!index)
        return fail(ERROR_INVALID_HANDLE, nullptr);
    // Resource bytes are read-only, as in a mapped image; the Win32 signature
    // hands them out without const.
    return const_cast<unsigned char*>(zt::sys::entry_at(*index).data);
}

DWORD resource_size(HMODULE module, HRSRC resource) {
    const auto index = index_of(resource, zt::sys::kFirstResource);
    if (!zt::sys::is_own_module(module) || !index)
        return fail(ERROR_INVALID_HANDLE, 0);
    return static_cast<DWORD>(zt::sys::entry_at(*index).size);
}

} // namespace

// The resource calls, each traced with its outcome on the kernel's channel.

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    HMODULE module = module_handle(moduleName);
    ZT_TRACE(kKernel, "GetModuleHandleW(%s) = %s", quote(moduleName).c_str(), handle(module).c_str());
    return module;
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC found = find_resource(module, name, type);
    ZT_TRACE(kKernel, "FindResourceW(%s, %s, %s) = %s", handle(module).c_str(), quote(name).c_str(),
             quote(type).c_str(), handle(found).c_str());
    return found;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    HGLOBAL data = load_resource(module, resource);
    ZT_TRACE(kKernel, "LoadResource(%s, %s) = %s", handle(module).c_str(), handle(resource).c_str(),
             handle(data).c_str());
    return data;
}

LPVOID LockResource(HGLOBAL data) {
    LPVOID bytes = lock_resource(data);
    ZT_TRACE(kKernel, "LockResource(%s) = %s", handle(data).c_str(), bytes ? "bytes" : "NULL");
    return bytes;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    const DWORD size = resource_size(module, resource);
    ZT_TRACE(kKernel, "SizeofResource(%s, %s) = %u", handle(module).c_str(), handle(resource).c_str(), size);
    return size;
}
