#pragma once

#include <string>
#include <vector>

namespace kxdemo {

// Records the full path of every DLL the process loads while the log lives, as the loader
// reports it: the honest answer to "where did the framework load the co-installer from".
class ModuleLoadLog {
public:
    ModuleLoadLog();
    ~ModuleLoadLog();
    ModuleLoadLog(const ModuleLoadLog&) = delete;
    ModuleLoadLog& operator=(const ModuleLoadLog&) = delete;

    bool Listening() const noexcept { return cookie_ != nullptr; }
    // The paths of the loads whose file name starts with prefix (case-insensitive), in order.
    std::vector<std::wstring> LoadsOf(const std::wstring& prefix) const;

private:
    static void __stdcall OnNotification(unsigned long reason, const void* data, void* context);

    void* cookie_ = nullptr;
    std::vector<std::wstring> paths_;
};

} // namespace kxdemo
