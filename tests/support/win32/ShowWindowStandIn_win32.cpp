// The window's side of the show-window request on Windows: a window of the main window's class and
// title, on a thread of its own with its message loop, answering the registered message.
#include <windows.h>

#include <future>
#include <mutex>
#include <thread>

#include "ShowWindowStandIn.h"
#include "platform/ShowWindowRequest.h"
#include "platform/Trace.h"

struct ShowWindowStandIn::Impl {
    long answer = 0;
    UINT message = 0;
    HWND window = nullptr;
    DWORD threadId = 0;
    mutable std::mutex mutex;
    std::vector<long> requests;  // under mutex
    std::thread thread;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (impl != nullptr && message == impl->message) {
            std::lock_guard lock(impl->mutex);
            impl->requests.push_back(static_cast<long>(lParam));
            return impl->answer;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void Serve(std::promise<bool>& created) {
        threadId = GetCurrentThreadId();
        message = RegisterWindowMessageA(kShowWindowRequestName);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kMainWindowClassName;
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, kMainWindowClassName, kProgramName, WS_OVERLAPPEDWINDOW, 0, 0,
                                 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
        if (window != nullptr) {
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
        created.set_value(window != nullptr && message != 0);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageA(&msg);
        }
        if (window != nullptr) {
            DestroyWindow(window);
        }
        UnregisterClassA(kMainWindowClassName, windowClass.hInstance);
    }
};

ShowWindowStandIn::ShowWindowStandIn(long answer) : m_impl(std::make_unique<Impl>()) {
    m_impl->answer = answer;
    std::promise<bool> created;
    std::future<bool> result = created.get_future();
    m_impl->thread = std::thread([this, &created] { m_impl->Serve(created); });
    if (!result.get()) {
        m_impl->window = nullptr;
    }
}

ShowWindowStandIn::~ShowWindowStandIn() {
    PostThreadMessageA(m_impl->threadId, WM_QUIT, 0, 0);
    m_impl->thread.join();
}

bool ShowWindowStandIn::IsListening() const {
    return m_impl->window != nullptr;
}

std::vector<long> ShowWindowStandIn::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}
