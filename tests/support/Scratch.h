// What the tests of every layer under Wine share: a scratch application folder, the demo machine, a
// file writer that fails part-way.
#pragma once

#include "base/TextFile.h"
#include "service/SimulatedServiceManager.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <string>
#include <string_view>

namespace kestrane::test {

// Writes through to the file system, but fails once `failAfter` writes have been made: the failing
// write puts half of its bytes in the file, then throws, as a disk that fills up does.
class FailingWriter : public FileWriter {
public:
    int failAfter = -1;  // writes allowed before the failing one; -1: none fails
    int writes = 0;
    void Append(const std::wstring& path, std::string_view bytes) override;
};

// A fresh application folder "<temp>\<unique>\Kestrane\" with the empty folders the program expects.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::wstring& Root() const { return root_; }        // the "program files" folder
    std::wstring App() const { return root_ + L"\\Kestrane\\"; }  // CheminAppli
    void Write(const std::wstring& relative, const std::string& bytes) const;
    void Remove(const std::wstring& relative) const;
    bool Exists(const std::wstring& relative) const;
    // Copies a file of the repository's application folder (data/) into this one.
    void CopyFromData(const std::wstring& relative) const;

private:
    std::wstring root_;
};

// The demo machine most tests use: services with dependencies, descriptions, one without any.
void AddDemoServices(SimulatedServiceManager& machine);

// A per-user template, CDPUserSvc (stopped, automatic), and this sign-in's instance of it,
// CDPUserSvc_9f21c (running, automatic).
void AddPerUserServices(SimulatedServiceManager& machine);

// Top needs Relay, which needs Nla, which needs the driver Tcpip (running, listed by no inventory) then
// EventLog (stopped): EventLog is three levels below Top, behind a driver.
void AddServicesBehindADriver(SimulatedServiceManager& machine);

// Another application of the machine (another sign-in session, a scheduled task): it holds the machine's
// lock, on a thread of its own, from its construction until EndAfter's delay has passed; its destruction
// waits for it to end.
class OtherApplication {
public:
    OtherApplication();
    ~OtherApplication();
    OtherApplication(const OtherApplication&) = delete;
    OtherApplication& operator=(const OtherApplication&) = delete;
    // Lets it end `milliseconds` from now; returns at once.
    void EndAfter(unsigned long milliseconds);

private:
    void* taken_;
    void* end_;
    unsigned long delay_ = 0;
    std::thread thread_;
};

// A file with every kind of line a preview shows, on the machine of ArrangeProfileMachine.
extern const std::string kEveryKind;
// The demo machine with Spooler stopped and two more services (Client runs and needs Base), a forbidden
// list refusing RpcSs and discouraging Audiosrv, and kEveryKind in Config\profil.cfg.
void ArrangeProfileMachine(SimulatedServiceManager& machine, const ScratchFolder& folder);

// The orders the machine was given (start, stop, start-mode changes), in order.
std::vector<std::wstring> ControlCalls(const SimulatedServiceManager& machine);

// Every service's state and start mode.
struct ServiceState {
    std::wstring state, mode;
    friend bool operator==(const ServiceState&, const ServiceState&) = default;
};
std::map<std::wstring, ServiceState> MachineSnapshot(SimulatedServiceManager& machine);

}  // namespace kestrane::test
