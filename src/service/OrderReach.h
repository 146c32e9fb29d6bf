// What one order changes on this machine, worked out before it is sent: the one answer the forbidden-list
// guard decides on, whoever sends the order (the main window, an application, its preview, an undo, the
// command line) and whatever the user answers about dependencies.
//
// - A start changes the service and every stopped service it needs, at any depth, drivers included: the
//   service database starts them first (StartService), whether or not Kestrane starts them itself.
// - A stop changes the service and every active service depending on it, at any depth: none of them can
//   keep running once it stops, and Windows refuses the stop while one runs.
// - A pause, a resumption, a start-mode change or a deletion changes the service alone.
#pragma once

#include "service/ServiceManager.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrane {

enum class OrderKind { Start, Stop, Alone };

// How the answer sees the machine: the machine itself (LiveLook), or what an application or a plan
// expects of it by the time the order is sent.
class MachineLook {
public:
    virtual ~MachineLook() = default;
    // The state of the service ("Running", "Stopped", "Start Pending", ...): std::nullopt when there is no
    // such service, an empty text when it cannot be read.
    virtual std::optional<std::wstring> State(const std::wstring& name) = 0;
    // Whether a stopped service is disabled (it cannot start).
    virtual bool Disabled(const std::wstring& name) = 0;
    // What the service needs, in the order of its dependency list; what depends on it. May throw ServiceError.
    virtual std::vector<std::wstring> Needs(const std::wstring& name) = 0;
    virtual std::vector<std::wstring> NeededBy(const std::wstring& name) = 0;
};

// The machine itself: each service opened by name, so that a driver (which no inventory lists) is seen.
class LiveLook : public MachineLook {
public:
    explicit LiveLook(ServiceManager& services) : services_(services) {}
    std::optional<std::wstring> State(const std::wstring& name) override;
    bool Disabled(const std::wstring& name) override;
    std::vector<std::wstring> Needs(const std::wstring& name) override { return services_.ServicesDependedOn(name); }
    std::vector<std::wstring> NeededBy(const std::wstring& name) override { return services_.DependentServices(name); }

private:
    ServiceManager& services_;
};

struct OrderReach {
    // Every service the order changes, in the order they change: for a start, the prerequisites as the
    // service database starts them (the deepest first), then the service; for a stop, the dependents (those
    // depending on others first), then the service.
    std::vector<std::wstring> services;
    // For each of `services`, the one that needs it (a start) or that it depends on (a stop); empty for the
    // service of the order.
    std::vector<std::wstring> cause;
    // A start the service database would refuse: the service disabled (then nothing else is listed), or a
    // prerequisite missing, disabled, a loop, on the way (what would be started before it is still listed).
    int code = ReturnCode::Success;
    // Services whose state or dependencies could not be read: counted as changed (the guard decides on
    // them too), and what lies beyond them is unknown.
    std::vector<std::wstring> unreadable;
    // The services the order changes besides the one it is sent to.
    std::vector<std::wstring> Others() const;
};

OrderReach WhatOrderChanges(MachineLook& machine, const std::wstring& name, OrderKind kind);
OrderReach WhatOrderChanges(ServiceManager& services, const std::wstring& name, OrderKind kind);

}  // namespace kestrane
