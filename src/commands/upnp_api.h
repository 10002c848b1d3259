#pragma once

// The Windows UPnP device-finder interfaces, declared here because the mingw-w64 headers lack
// upnp.h. Slot order follows the platform's interface definitions exactly.

#include <windows.h>
#include <oaidl.h>

namespace kx {

// {E2085F28-FEB7-404A-B8E7-E659BDEAAA02}
constexpr CLSID CLSID_UPnPDeviceFinder = {0xE2085F28, 0xFEB7, 0x404A, {0xB8, 0xE7, 0xE6, 0x59, 0xBD, 0xEA, 0xAA, 0x02}};
// {ADDA3D55-6F72-4319-BFF9-18600A539B10}
constexpr IID IID_IUPnPDeviceFinder = {0xADDA3D55, 0x6F72, 0x4319, {0xBF, 0xF9, 0x18, 0x60, 0x0A, 0x53, 0x9B, 0x10}};
// {3D44D0D1-98C9-4889-ACD1-F9D674BF2221}
constexpr IID IID_IUPnPDevice = {0x3D44D0D1, 0x98C9, 0x4889, {0xAC, 0xD1, 0xF9, 0xD6, 0x74, 0xBF, 0x22, 0x21}};
// {E7772804-3287-418E-9072-CF2B47238981}
constexpr IID IID_IUPnPDeviceDocumentAccess = {
    0xE7772804, 0x3287, 0x418E, {0x90, 0x72, 0xCF, 0x2B, 0x47, 0x23, 0x89, 0x81}};

struct IUPnPDevices;
struct IUPnPServices;

struct IUPnPDevice : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_IsRootDevice(VARIANT_BOOL* isRoot) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RootDevice(IUPnPDevice** root) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ParentDevice(IUPnPDevice** parent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HasChildren(VARIANT_BOOL* hasChildren) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Children(IUPnPDevices** children) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UniqueDeviceName(BSTR* udn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FriendlyName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Type(BSTR* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PresentationURL(BSTR* url) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ManufacturerName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ManufacturerURL(BSTR* url) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ModelName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ModelNumber(BSTR* number) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ModelURL(BSTR* url) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UPC(BSTR* upc) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SerialNumber(BSTR* serialNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE IconURL(BSTR encodingFormat, LONG sizeX, LONG sizeY, LONG bitDepth,
                                              BSTR* iconUrl) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Services(IUPnPServices** services) = 0;
};

struct IUPnPDeviceFinder : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE FindByType(BSTR typeUri, DWORD flags, IUPnPDevices** devices) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateAsyncFind(BSTR typeUri, DWORD flags, IUnknown* callback,
                                                      LONG* findData) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartAsyncFind(LONG findData) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelAsyncFind(LONG findData) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindByUDN(BSTR udn, IUPnPDevice** device) = 0;
};

struct IUPnPDeviceDocumentAccess : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDocumentURL(BSTR* documentUrl) = 0;
};

} // namespace kx
