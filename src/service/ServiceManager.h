// The one way into the machine's services.
//
// Every caller sees services the way the Win32_Service management class presents them: texts such as
// "Running" or "Auto", a null (std::nullopt) where the class gives no value, and the published
// Win32_Service method return codes (0 = request accepted, 1..24 = the documented failures).
// Nothing is cached: each call opens its own connection to the service database and closes it.
#pragma once

// windows.h first, in every file that sees this interface: it turns StartService into StartServiceW, and
// the method below must carry the same name wherever it is declared, overridden or called.
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrane {

// A property value; std::nullopt is the null of the management class.
using Text = std::optional<std::wstring>;

// Services Windows creates at each sign-in from a template (the template's type carries
// SERVICE_USER_SERVICE, each instance SERVICE_USERSERVICE_INSTANCE and the name <template>_<suffix>).
enum class PerUser { None, Template, Instance };
constexpr unsigned long kUserServiceBit = 0x40;          // SERVICE_USER_SERVICE
constexpr unsigned long kUserServiceInstanceBit = 0x80;  // SERVICE_USERSERVICE_INSTANCE
inline PerUser PerUserOfType(unsigned long type) {
    return (type & kUserServiceInstanceBit) ? PerUser::Instance : (type & kUserServiceBit) ? PerUser::Template : PerUser::None;
}

// One line of the inventory, in the order the service database lists them.
struct ServiceEntry {
    std::wstring Name;
    std::wstring DisplayName;
    Text State;
    Text StartMode;
    PerUser perUser = PerUser::None;  // from the type the service database gives
};

// Every property of one service, as text.
struct ServiceInfo {
    Text Name;
    Text DisplayName;
    Text Caption;
    Text PathName;
    Text Description;
    Text ServiceType;
    Text AcceptPause;
    Text AcceptStop;
    Text State;
    Text Status;
    Text StartMode;
    Text Started;
    Text DesktopInteract;
    Text StartName;
    Text SystemName;
    Text SystemCreationClassName;
    Text CreationClassName;
    Text InstallDate;
    Text WaitHint;
    Text ProcessId;
    Text TagId;
    Text CheckPoint;
    Text ExitCode;
    Text ErrorControl;
    Text ServiceSpecificExitCode;
    // "True" when an automatic start waits until the system has started (delayed automatic start),
    // "False" otherwise; null where the service database cannot tell.
    Text DelayedAutoStart;
    // "True" when Windows starts (or stops) the service itself when one of its triggers fires (a device
    // arrives, a network comes up, ...), "False" otherwise; null where the service database cannot tell.
    Text TriggerStart;
    PerUser perUser = PerUser::None;
};

// The start mode as the windows show it: "Automatique (début différé)" for an automatic start that waits,
// "Manuel (déclencheur)" for one Windows starts on a trigger.
std::wstring StartModeShown(const ServiceInfo& info);

// Published return codes of the Win32_Service methods that callers name.
namespace ReturnCode {
constexpr int Success = 0;
constexpr int NotSupported = 1;
constexpr int AccessDenied = 2;
constexpr int DependentServicesRunning = 3;
constexpr int InvalidServiceControl = 4;
constexpr int ServiceCannotAcceptControl = 5;
constexpr int ServiceNotActive = 6;
constexpr int ServiceRequestTimeout = 7;
constexpr int UnknownFailure = 8;
constexpr int PathNotFound = 9;
constexpr int ServiceAlreadyRunning = 10;
constexpr int ServiceDatabaseLocked = 11;
constexpr int ServiceDependencyDeleted = 12;
constexpr int ServiceDependencyFailure = 13;
constexpr int ServiceDisabled = 14;
constexpr int ServiceLogonFailed = 15;
constexpr int ServiceMarkedForDeletion = 16;
constexpr int ServiceNoThread = 17;
constexpr int StatusCircularDependency = 18;
constexpr int StatusDuplicateName = 19;
constexpr int StatusInvalidName = 20;
constexpr int StatusInvalidParameter = 21;
constexpr int StatusInvalidServiceAccount = 22;
constexpr int StatusServiceExists = 23;
constexpr int ServiceAlreadyPaused = 24;
}  // namespace ReturnCode

// Maps a Win32 error code to the method return code the management class would report for it.
int ReturnCodeFromWin32(unsigned long win32Error);

// The return code of a call that failed with `win32Error`. A failure never reads as success: an error
// of 0 (a call that failed without saying why) gives 8, unknown failure.
int FailureCode(unsigned long win32Error);

// A query that could not be made at all (the service database unreachable, access refused, ...).
class ServiceError : public std::runtime_error {
public:
    ServiceError(const std::string& what, unsigned long win32Error)
        : std::runtime_error(what), win32Error_(win32Error) {}
    unsigned long Win32Error() const { return win32Error_; }
    // The method return code matching this failure (for example 2 for access refused); never 0.
    int Code() const { return FailureCode(win32Error_); }

private:
    unsigned long win32Error_;
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;

    // All Win32 services of the machine (drivers are not services here), with their state. The start
    // mode is read only when asked for (it costs a query per service): otherwise StartMode is null.
    // Throws ServiceError.
    virtual std::vector<ServiceEntry> Inventory(bool withStartModes) = 0;

    // The service of that exact system name, or std::nullopt when there is none. Throws ServiceError
    // when the lookup itself fails.
    virtual std::optional<ServiceInfo> Find(const std::wstring& name) = 0;

    // The start modes of the named services, as the inventory gives them, in the order of the names; null
    // for one that is not there or cannot be read. For a few services this costs far less than an
    // inventory with every start mode. By default each is looked up.
    virtual std::vector<Text> StartModes(const std::vector<std::wstring>& names);
    // Whether each of the named services starts on a trigger: a running or stopped state of such a service
    // is Windows' own business. False for one that is not there or cannot be read. By default each is
    // looked up.
    virtual std::vector<bool> TriggerStarts(const std::vector<std::wstring>& names);
    // Whether the automatic start of each of the named services waits until the system has started
    // (delayed). False for one that is not there or cannot be read. By default each is looked up.
    virtual std::vector<bool> DelayedAutoStarts(const std::vector<std::wstring>& names);

    // Control methods. Each returns a method return code; failures of the service database itself,
    // including a service that vanished since it was looked up, come back as codes too.
    virtual int StartService(const std::wstring& name) = 0;
    virtual int StopService(const std::wstring& name) = 0;
    virtual int PauseService(const std::wstring& name) = 0;
    virtual int ResumeService(const std::wstring& name) = 0;
    // mode is "Automatic", "Manual" or "Disabled"; anything else gives 21 (invalid parameter).
    virtual int ChangeStartMode(const std::wstring& name, const std::wstring& mode) = 0;
    virtual int Delete(const std::wstring& name) = 0;
    // Whether an automatic start of the service waits until the system has started. Return code as
    // the other methods.
    virtual int SetDelayedAutoStart(const std::wstring& name, bool delayed) = 0;

    // Whether this program may change the service so: false for one Windows protects even from
    // administrators (access denied), which would refuse the order. Asked before a change is planned;
    // by default true.
    enum class Change { Configuration, Start, Stop };
    virtual bool MayChange(const std::wstring& name, Change change) { return true; }

    // Waits while the service is in a pending state (starting, stopping, pausing, resuming), for as long
    // as it reports progress (its check point advancing within its wait hint). True when it is no longer
    // pending, false when it stopped reporting progress or cannot be asked.
    virtual bool WaitWhilePending(const std::wstring& name) = 0;

    // Mark the start and the end of one user command (which may send several orders, or apply a whole
    // configuration): within it an implementation may hold its connection to the service database, and
    // what it learnt of failing services during an earlier command is forgotten. Use CommandScope.
    virtual void BeginCommand() {}
    virtual void EndCommand() {}
    // Whether calls for different services may be made from several threads at once (the service
    // database's may; a simulation need not).
    virtual bool TakesConcurrentCalls() const { return false; }

    // System names of the services that depend on `name` (they need it running). Throws ServiceError.
    virtual std::vector<std::wstring> DependentServices(const std::wstring& name) = 0;
    // System names of the services that `name` depends on (it needs them to start); load-order groups
    // are left out. Throws ServiceError.
    virtual std::vector<std::wstring> ServicesDependedOn(const std::wstring& name) = 0;
};

// One user command, from its construction to its destruction.
class CommandScope {
public:
    explicit CommandScope(ServiceManager& services) : services_(services) { services_.BeginCommand(); }
    ~CommandScope() { services_.EndCommand(); }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    ServiceManager& services_;
};

}  // namespace kestrane
