#include "import_patch.h"

#include <cstring>

namespace kxtest {

namespace {

void WriteSlot(void** slot, void* value)
{
    DWORD oldProtection = 0;
    ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtection);
    *slot = value;
    ::VirtualProtect(slot, sizeof(void*), oldProtection, &oldProtection);
}

template <typename T>
T* AtOffset(BYTE* base, DWORD offset)
{
    return reinterpret_cast<T*>(base + offset);
}

void** FindImportSlot(HMODULE module, const char* importedDll, const char* functionName)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = AtOffset<IMAGE_NT_HEADERS>(base, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return nullptr;
    }
    for (auto* descriptor = AtOffset<IMAGE_IMPORT_DESCRIPTOR>(base, directory.VirtualAddress); descriptor->Name != 0;
         ++descriptor) {
        if (::lstrcmpiA(AtOffset<char>(base, descriptor->Name), importedDll) != 0) {
            continue;
        }
        auto* names = AtOffset<IMAGE_THUNK_DATA>(base, descriptor->OriginalFirstThunk);
        auto* slots = AtOffset<IMAGE_THUNK_DATA>(base, descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto* byName = AtOffset<IMAGE_IMPORT_BY_NAME>(base, static_cast<DWORD>(names->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), functionName) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

} // namespace

ImportPatch::ImportPatch(HMODULE module, const char* importedDll, const char* functionName, const void* replacement)
    : slot_(FindImportSlot(module, importedDll, functionName))
{
    if (slot_ != nullptr) {
        original_ = *slot_;
        WriteSlot(slot_, const_cast<void*>(replacement));
    }
}

ImportPatch::~ImportPatch()
{
    if (slot_ != nullptr) {
        WriteSlot(slot_, original_);
    }
}

HMODULE TestProgramModule()
{
    return ::GetModuleHandleW(nullptr);
}

} // namespace kxtest
