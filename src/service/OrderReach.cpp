#include "service/OrderReach.h"

#include "service/Prerequisites.h"
#include "service/Programme.h"

#include <set>

namespace kestrane {

std::optional<std::wstring> LiveLook::State(const std::wstring& name) {
    try {
        std::optional<ServiceInfo> info = services_.Find(name);
        if (!info) return std::nullopt;
        return info->State.value_or(L"");
    } catch (const ServiceError&) {
        return std::wstring();
    }
}

bool LiveLook::Disabled(const std::wstring& name) {
    try {
        std::optional<ServiceInfo> info = services_.Find(name);
        return info && info->StartMode == std::optional<std::wstring>(L"Disabled");
    } catch (const ServiceError&) {
        return false;
    }
}

std::vector<std::wstring> OrderReach::Others() const {
    std::vector<std::wstring> out;
    for (size_t i = 0; i < services.size(); ++i)
        if (!cause[i].empty()) out.push_back(services[i]);
    return out;
}

namespace {

bool Active(const std::wstring& state) { return state != L"Stopped" && state != L"Stop Pending"; }

void Add(OrderReach& reach, const std::wstring& name, const std::wstring& cause) {
    for (const std::wstring& already : reach.services)
        if (SameServiceName(already, name)) return;
    reach.services.push_back(name);
    reach.cause.push_back(cause);
}

// The start's prerequisites, walked as the service database walks them. A service that cannot be read is
// taken as one to start: the guard must decide on it, and on what it needs as far as that can be read.
class ReachWalk : public PrerequisiteWalk {
public:
    ReachWalk(MachineLook& machine, OrderReach& reach) : machine_(machine), reach_(reach) {}
    std::vector<std::wstring> Needs(const std::wstring& name) override {
        try {
            return machine_.Needs(name);
        } catch (const ServiceError&) {
            reach_.unreadable.push_back(name);
            return {};
        }
    }
    int Look(const std::wstring& prerequisite, State& state) override {
        std::optional<std::wstring> now = machine_.State(prerequisite);
        if (!now) state = State::Missing;
        else if (now->empty()) {
            reach_.unreadable.push_back(prerequisite);
            state = State::Stopped;
        } else if (Active(*now) || started_.count(prerequisite)) state = State::Active;
        else state = machine_.Disabled(prerequisite) ? State::Disabled : State::Stopped;
        return ReturnCode::Success;
    }
    int Reach(const std::wstring& prerequisite, const std::wstring& neededBy, bool stopped) override {
        if (stopped && started_.insert(prerequisite).second) Add(reach_, prerequisite, neededBy);
        return ReturnCode::Success;
    }

private:
    MachineLook& machine_;
    OrderReach& reach_;
    std::set<std::wstring, ServiceNameLess> started_;
};

// Every active dependent of `name`, at any depth, those depending on others first.
void Dependents(MachineLook& machine, const std::wstring& name, OrderReach& reach,
                std::set<std::wstring, ServiceNameLess>& seen) {
    std::vector<std::wstring> dependents;
    try {
        dependents = machine.NeededBy(name);
    } catch (const ServiceError&) {
        reach.unreadable.push_back(name);
        return;
    }
    for (const std::wstring& dependent : dependents) {
        if (!seen.insert(dependent).second) continue;
        // A stopped service is walked through all the same: what depends on it may be running.
        Dependents(machine, dependent, reach, seen);
        std::optional<std::wstring> state = machine.State(dependent);
        if (!state) continue;
        if (state->empty()) reach.unreadable.push_back(dependent);
        if (state->empty() || Active(*state)) Add(reach, dependent, name);
    }
}

}  // namespace

OrderReach WhatOrderChanges(MachineLook& machine, const std::wstring& name, OrderKind kind) {
    OrderReach reach;
    if (kind == OrderKind::Start) {
        // The service database answers a start of a disabled service before it starts anything it needs,
        // and a start of an active one changes nothing.
        std::optional<std::wstring> state = machine.State(name);
        bool active = state && !state->empty() && Active(*state);
        if (!active && state && machine.Disabled(name)) {
            reach.code = ReturnCode::ServiceDisabled;
        } else if (!active) {
            ReachWalk walk(machine, reach);
            reach.code = StartPrerequisites(walk, name);
        }
    } else if (kind == OrderKind::Stop) {
        std::set<std::wstring, ServiceNameLess> seen{name};
        Dependents(machine, name, reach, seen);
    }
    reach.services.push_back(name);
    reach.cause.push_back(L"");
    return reach;
}

OrderReach WhatOrderChanges(ServiceManager& services, const std::wstring& name, OrderKind kind) {
    LiveLook look(services);
    return WhatOrderChanges(look, name, kind);
}

}  // namespace kestrane
