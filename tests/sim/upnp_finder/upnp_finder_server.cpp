// Stand-in for the Windows UPnP device finder: an in-process COM server that answers
// FindByUDN from the devices that tests describe in the registry (simulated_upnp_config.h).

#include "../../../src/coinstaller/registration/network_explorer_keys.h"
#include "../../../src/commands/upnp_api.h"
#include "simulated_upnp_config.h"

#include <new>
#include <string>
// After the standard headers: its deprecation macros rename the C string functions they name.
#include <strsafe.h>

namespace {

HMODULE g_module = nullptr;
volatile LONG g_liveObjects = 0;
volatile LONG g_findByUdnCalls = 0;
std::wstring g_lastUdn;
bool g_lastUdnWasNull = false;

struct DeviceConfiguration {
    bool known = false;
    std::wstring descriptionUrl;
    std::wstring behaviour;
};

std::wstring ReadText(HKEY key, const wchar_t* name)
{
    wchar_t buffer[2048] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return buffer;
}

DeviceConfiguration ReadDeviceConfiguration(BSTR udn)
{
    DeviceConfiguration configuration;
    if (udn == nullptr || ::SysStringLen(udn) > 255) {
        return configuration;
    }
    std::wstring path = std::wstring(kxsim::UpnpDevicesKey) + L"\\" + udn;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return configuration;
    }
    configuration.known = true;
    configuration.descriptionUrl = ReadText(key, kxsim::UpnpDescriptionUrlValue);
    configuration.behaviour = ReadText(key, kxsim::UpnpBehaviourValue);
    ::RegCloseKey(key);
    return configuration;
}

// Reference counting and the IDispatch slots that nobody calls, shared by both objects.
template <typename Interface>
class SimObject : public Interface {
public:
    SimObject() { ::InterlockedIncrement(&g_liveObjects); }
    virtual ~SimObject() { ::InterlockedDecrement(&g_liveObjects); }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG remaining = ::InterlockedDecrement(&references_);
        if (remaining == 0) {
            delete this;
        }
        return static_cast<ULONG>(remaining);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

private:
    volatile LONG references_ = 1;
};

class SimDocumentAccess;

class SimDevice : public SimObject<kx::IUPnPDevice> {
public:
    explicit SimDevice(DeviceConfiguration configuration);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

    HRESULT STDMETHODCALLTYPE get_IsRootDevice(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RootDevice(kx::IUPnPDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ParentDevice(kx::IUPnPDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HasChildren(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Children(kx::IUPnPDevices**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_UniqueDeviceName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FriendlyName(BSTR*) override { return E_NOTIMPL; }
    // The same device type that names the device's Network Explorer key.
    HRESULT STDMETHODCALLTYPE get_Type(BSTR* type) override
    {
        if (type == nullptr) {
            return E_POINTER;
        }
        *type = ::SysAllocString(kx::DeviceType);
        return *type != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_PresentationURL(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ManufacturerName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ManufacturerURL(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ModelName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ModelNumber(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Description(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ModelURL(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_UPC(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SerialNumber(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IconURL(BSTR, LONG, LONG, LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Services(kx::IUPnPServices**) override { return E_NOTIMPL; }

    const DeviceConfiguration& Configuration() const { return configuration_; }

private:
    DeviceConfiguration configuration_;
};

// The document-access face of a device: a separate object that keeps its device alive.
class SimDocumentAccess : public kx::IUPnPDeviceDocumentAccess {
public:
    explicit SimDocumentAccess(SimDevice* device) : device_(device)
    {
        device_->AddRef();
        ::InterlockedIncrement(&g_liveObjects);
    }
    virtual ~SimDocumentAccess()
    {
        device_->Release();
        ::InterlockedDecrement(&g_liveObjects);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return device_->QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG remaining = ::InterlockedDecrement(&references_);
        if (remaining == 0) {
            delete this;
        }
        return static_cast<ULONG>(remaining);
    }
    HRESULT STDMETHODCALLTYPE GetDocumentURL(BSTR* documentUrl) override
    {
        if (documentUrl == nullptr) {
            return E_POINTER;
        }
        const DeviceConfiguration& configuration = device_->Configuration();
        if (configuration.behaviour == kxsim::BehaviourNoUrl) {
            *documentUrl = nullptr;
            return E_FAIL;
        }
        *documentUrl = ::SysAllocString(configuration.descriptionUrl.c_str());
        if (*documentUrl == nullptr) {
            return E_OUTOFMEMORY;
        }
        return configuration.behaviour == kxsim::BehaviourUrlWithError ? E_FAIL : S_OK;
    }

private:
    SimDevice* device_;
    volatile LONG references_ = 1;
};

SimDevice::SimDevice(DeviceConfiguration configuration) : configuration_(std::move(configuration)) {}

HRESULT STDMETHODCALLTYPE SimDevice::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kx::IID_IUPnPDevice) {
        AddRef();
        *object = static_cast<kx::IUPnPDevice*>(this);
        return S_OK;
    }
    if (iid == kx::IID_IUPnPDeviceDocumentAccess && configuration_.behaviour != kxsim::BehaviourNoDocumentAccess) {
        auto* access = new (std::nothrow) SimDocumentAccess(this);
        if (access == nullptr) {
            return E_OUTOFMEMORY;
        }
        *object = static_cast<kx::IUPnPDeviceDocumentAccess*>(access);
        return S_OK;
    }
    return E_NOINTERFACE;
}

class SimFinder : public SimObject<kx::IUPnPDeviceFinder> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kx::IID_IUPnPDeviceFinder) {
            AddRef();
            *object = static_cast<kx::IUPnPDeviceFinder*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE FindByType(BSTR, DWORD, kx::IUPnPDevices**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateAsyncFind(BSTR, DWORD, IUnknown*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE StartAsyncFind(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CancelAsyncFind(LONG) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE FindByUDN(BSTR udn, kx::IUPnPDevice** device) override
    {
        ::InterlockedIncrement(&g_findByUdnCalls);
        g_lastUdnWasNull = udn == nullptr;
        g_lastUdn.assign(udn != nullptr ? udn : L"", udn != nullptr ? ::SysStringLen(udn) : 0);
        if (device == nullptr) {
            return E_POINTER;
        }
        *device = nullptr;
        DeviceConfiguration configuration = ReadDeviceConfiguration(udn);
        if (!configuration.known) {
            return S_FALSE;
        }
        if (configuration.behaviour == kxsim::BehaviourFindFails) {
            return E_FAIL;
        }
        const bool failAnyway = configuration.behaviour == kxsim::BehaviourFindFailsWithDevice;
        *device = new (std::nothrow) SimDevice(std::move(configuration));
        if (*device == nullptr) {
            return E_OUTOFMEMORY;
        }
        return failAnyway ? E_FAIL : S_OK;
    }
};

class FinderFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* finder = new (std::nothrow) SimFinder();
        if (finder == nullptr) {
            return E_OUTOFMEMORY;
        }
        const HRESULT result = finder->QueryInterface(iid, object);
        finder->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

FinderFactory g_factory;

std::wstring ClassKeyPath()
{
    return L"Software\\Classes\\CLSID\\{E2085F28-FEB7-404A-B8E7-E659BDEAAA02}";
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (clsid != kx::CLSID_UPnPDeviceFinder) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, object);
}

// The tests read the counters of this process, so the finder stays loaded.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    wchar_t modulePath[MAX_PATH] = {};
    ::GetModuleFileNameW(g_module, modulePath, MAX_PATH);
    HKEY key = nullptr;
    const std::wstring path = ClassKeyPath() + L"\\InprocServer32";
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return E_FAIL;
    }
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(modulePath),
                     static_cast<DWORD>((::lstrlenW(modulePath) + 1) * sizeof(wchar_t)));
    const wchar_t threadingModel[] = L"Both";
    ::RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(threadingModel),
                     sizeof(threadingModel));
    ::RegCloseKey(key);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKeyPath().c_str());
    return S_OK;
}

extern "C" void WINAPI SimUpnpGetStatistics(kxsim::SimUpnpStatistics* statistics)
{
    if (statistics == nullptr) {
        return;
    }
    *statistics = {};
    statistics->liveObjects = g_liveObjects;
    statistics->findByUdnCalls = g_findByUdnCalls;
    statistics->lastUdnLength = static_cast<ULONG>(g_lastUdn.size());
    statistics->lastUdnWasNull = g_lastUdnWasNull ? TRUE : FALSE;
    ::StringCchCopyW(statistics->lastUdn, sizeof(statistics->lastUdn) / sizeof(wchar_t), g_lastUdn.c_str());
}
