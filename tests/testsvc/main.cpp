// A small own-process service for the tests and the demo services. The Service Control Manager starts it
// with the command line it was registered with:
//
//   kestrane_testsvc.exe <ServiceName> [--fail-start] [--hang-start] [--slow-stop] [--no-pause]
//
//   <ServiceName>  the name it was registered under (its dispatch table must carry that name)
//   --fail-start   gives up at once: reports SERVICE_STOPPED with ERROR_SERVICE_SPECIFIC_ERROR and the
//                  service-specific exit code 42
//   --hang-start   reports START_PENDING once (check point 1, wait hint 3 s) and then nothing more, as a
//                  service stuck in its start-up does, for up to ten minutes; it ends as soon as it is
//                  told to stop
//   --slow-stop    takes two seconds to stop, reporting STOP_PENDING with an advancing check point
//   --no-pause     does not accept pause and continue
//
// Otherwise it runs until it is stopped, and accepts stop, pause and continue.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <utility>

namespace {

constexpr DWORD kFailStartSpecificCode = 42;
constexpr DWORD kHangStartMilliseconds = 10 * 60 * 1000;
constexpr int kSlowStopSteps = 4;
constexpr DWORD kSlowStopStepMilliseconds = 500;

struct Options {
    std::wstring name;
    bool failStart = false;
    bool hangStart = false;
    bool noPause = false;
    bool slowStop = false;
};

// The state shared between the service's main thread and the dispatcher thread that runs the handler.
class Service {
public:
    explicit Service(Options options) : options_(std::move(options)) {}

    bool Register() {
        handle_ = RegisterServiceCtrlHandlerExW(options_.name.c_str(), &Service::Handler, this);
        stopRequested_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        return handle_ != nullptr && stopRequested_ != nullptr;
    }

    void Run() {
        if (options_.failStart) {
            Report(SERVICE_START_PENDING, 0, 1000);
            Report(SERVICE_STOPPED, 0, 0, ERROR_SERVICE_SPECIFIC_ERROR, kFailStartSpecificCode);
            return;
        }
        Report(SERVICE_START_PENDING, SERVICE_ACCEPT_STOP, 3000);
        if (options_.hangStart) {
            // A service still starting normally refuses controls, but the service database lets a stop
            // through when the service says it accepts one; this keeps the hanging service stoppable.
            WaitForSingleObject(stopRequested_, kHangStartMilliseconds);
            Report(SERVICE_STOPPED, 0, 0);
            return;
        }
        Report(SERVICE_RUNNING, RunningControls(), 0);
        WaitForSingleObject(stopRequested_, INFINITE);
        if (options_.slowStop) {
            for (int step = 0; step < kSlowStopSteps; ++step) {
                Sleep(kSlowStopStepMilliseconds);
                Report(SERVICE_STOP_PENDING, 0, 1000);
            }
        }
        Report(SERVICE_STOPPED, 0, 0);
    }

private:
    DWORD RunningControls() const {
        return SERVICE_ACCEPT_STOP | (options_.noPause ? 0 : SERVICE_ACCEPT_PAUSE_CONTINUE);
    }

    void Report(DWORD state, DWORD controls, DWORD waitHint, DWORD exitCode = NO_ERROR, DWORD specific = 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        ReportLocked(state, controls, waitHint, exitCode, specific);
    }

    void ReportLocked(DWORD state, DWORD controls, DWORD waitHint, DWORD exitCode = NO_ERROR, DWORD specific = 0) {
        bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                       state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
        checkPoint_ = pending ? checkPoint_ + 1 : 0;
        status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status_.dwCurrentState = state;
        status_.dwControlsAccepted = controls;
        status_.dwWin32ExitCode = exitCode;
        status_.dwServiceSpecificExitCode = specific;
        status_.dwCheckPoint = checkPoint_;
        status_.dwWaitHint = waitHint;
        SetServiceStatus(handle_, &status_);
    }

    static DWORD WINAPI Handler(DWORD control, DWORD, void*, void* context) {
        return static_cast<Service*>(context)->OnControl(control);
    }

    DWORD OnControl(DWORD control) {
        std::lock_guard<std::mutex> lock(mutex_);
        switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            ReportLocked(SERVICE_STOP_PENDING, 0, 3000);
            SetEvent(stopRequested_);
            return NO_ERROR;
        case SERVICE_CONTROL_PAUSE:
            if (options_.noPause) return ERROR_CALL_NOT_IMPLEMENTED;
            if (status_.dwCurrentState == SERVICE_RUNNING) {
                ReportLocked(SERVICE_PAUSE_PENDING, RunningControls(), 1000);
                ReportLocked(SERVICE_PAUSED, RunningControls(), 0);
            }
            return NO_ERROR;
        case SERVICE_CONTROL_CONTINUE:
            if (options_.noPause) return ERROR_CALL_NOT_IMPLEMENTED;
            if (status_.dwCurrentState == SERVICE_PAUSED) {
                ReportLocked(SERVICE_CONTINUE_PENDING, RunningControls(), 1000);
                ReportLocked(SERVICE_RUNNING, RunningControls(), 0);
            }
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            SetServiceStatus(handle_, &status_);
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

    Options options_;
    std::mutex mutex_;
    SERVICE_STATUS_HANDLE handle_ = nullptr;
    HANDLE stopRequested_ = nullptr;
    SERVICE_STATUS status_{};
    DWORD checkPoint_ = 0;
};

Service* g_service = nullptr;  // set once before the dispatcher starts, read by ServiceMain

void WINAPI ServiceMain(DWORD, wchar_t**) {
    if (!g_service->Register()) return;
    g_service->Run();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--fail-start") options.failStart = true;
        else if (arg == L"--hang-start") options.hangStart = true;
        else if (arg == L"--no-pause") options.noPause = true;
        else if (arg == L"--slow-stop") options.slowStop = true;
        else if (options.name.empty() && !arg.empty() && arg[0] != L'-') options.name = arg;
        else {
            std::fwprintf(stderr, L"unknown argument: %ls\n", argv[i]);
            return 2;
        }
    }
    if (options.name.empty()) {
        std::fwprintf(stderr, L"usage: kestrane_testsvc <ServiceName> [--fail-start] [--hang-start] [--slow-stop] [--no-pause]\n");
        return 2;
    }

    std::wstring name = options.name;
    Service service(options);
    g_service = &service;
    SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        DWORD error = GetLastError();
        std::fwprintf(stderr, L"kestrane_testsvc must be started by the Service Control Manager (error %lu)\n", error);
        return 1;
    }
    return 0;
}
