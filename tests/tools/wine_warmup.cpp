// Starts the Wine services a test process would otherwise start on first use
// (the desktop process, the COM service), so that they begin life with their
// output away from the test runner's pipes: ctest waits for every process
// holding its pipe, and these outlive the test that started them.
#include <windows.h>
#include <objbase.h>

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IUnknown* unknown = nullptr;
    // Any out-of-process-capable class makes COM reach its service.
    const CLSID kStdGlobalInterfaceTable = {0x00000323, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    CoCreateInstance(kStdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                     reinterpret_cast<void**>(&unknown));
    if (unknown) unknown->Release();
    HWND window = CreateWindowExW(0, L"STATIC", L"warm-up", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window) DestroyWindow(window);
    CoUninitialize();
    return 0;
}
