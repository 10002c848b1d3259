// Main-job step: the Open and Install Connector verbs against a simulated device. Resolves the
// device the way every verb does, then runs Open inside this process (Wine cannot show a UNC
// folder, so the library's call to the shell is captured) and Install Connector through the
// real rundll32, whose launch the http recorder of the prefix writes down. With --registered in
// place of the library, both verbs run as the shell would run them from the registered command
// lines: Open with the library that its command names, Install Connector by its command itself.
//
// Usage: kx_verb_demo <library path>|--registered <host> <log folder>

#include "commands/device_identity.h"
#include "kx_product.h"
#include "network_explorer_expectations.h"
#include "product_library.h"
#include "simulated_device.h"
#include "test_environment.h"

#include <cstdio>
#include <string>

namespace {

void Say(const std::wstring& line)
{
    std::printf("%s\n", kxtest::ToUtf8(line).c_str());
    std::fflush(stdout);
}

void ShowResolution(const std::wstring& udn)
{
    kx::CountedString host = kx::CountedString::Make(nullptr);
    const bool resolved = kx::ResolveDeviceHost(kx::CountedString::Make(udn.c_str()), host);
    Say(resolved ? L"resolved host: " + std::wstring(host.Text()) : L"resolved host: (not resolved)");
}

void RunOpenInProcess(const std::wstring& libraryPath, const std::wstring& udn)
{
    const kxtest::ProductLibrary library(libraryPath);
    const kxtest::VerbEntry open = library.Verb("ShellCommandOpen");
    if (open == nullptr) {
        Say(L"Open: cannot load " + libraryPath);
        return;
    }
    const kxtest::LaunchCapture capture(library.Module());
    library.RunVerb(open, KX_LIBRARY_FILE_TEXT ",ShellCommandOpen " + kxtest::ToUtf8(udn));
    Say(L"Open: shell asked to open " + (capture.Launches() == 0 ? L"(nothing)" : capture.LastTarget()));
}

void RunInstallConnectThroughRundll32(const std::wstring& command, const std::wstring& logFolder)
{
    const std::wstring log = logFolder + L"\\" + kxtest::UniqueName(L"demo-launch-") + L".log";
    ::SetEnvironmentVariableW(L"KX_LAUNCH_LOG", log.c_str());
    Say(L"Install Connector: " + command);
    kxtest::RunProcess(command, 60000);
    std::string launched = kxtest::WaitForFileText(log, 20000);
    if (!launched.empty() && launched.back() == '\n') {
        launched.pop_back();
    }
    std::printf("Install Connector: browser asked to open %s\n", launched.empty() ? "(nothing)" : launched.c_str());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: kx_verb_demo <library path>|--registered <host> <log folder>\n");
        return 2;
    }
    const std::wstring url = L"http://" + std::wstring(argv[2]) + L":5000/rootDesc.xml";
    kxtest::SimulatedUpnpDevice device(kxtest::NewUdn(), url);
    Say(L"simulated device " + device.Udn() + L", description " + url);
    ShowResolution(device.Udn());
    std::wstring library = kxtest::ToWindowsPath(argv[1]);
    std::wstring connect = kxtest::Rundll32Command(L"ShellCommandInstallConnect", device.Udn());
    if (std::wstring(argv[1]) == L"--registered") {
        const std::wstring open = kxtest::RegisteredCommand(L"Open");
        Say(L"Open: registered as " + open);
        library = kxtest::LibraryOfCommand(open);
        connect = kxtest::RegisteredCommand(L"InstallConnect");
        const size_t identity = connect.find(L"%1");
        connect = identity == std::wstring::npos ? L"" : connect.replace(identity, 2, device.Udn());
    }
    RunOpenInProcess(library, device.Udn());
    RunInstallConnectThroughRundll32(connect, kxtest::ToWindowsPath(argv[3]));
    return 0;
}
