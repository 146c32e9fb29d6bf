// Which services a start starts first, and in which order: the one rule shared by the layers that start
// prerequisites themselves (Wine's service database starts a service alone; the simulated machine) and by
// the preview, which predicts what a start will do.
#pragma once

#include <string>
#include <vector>

namespace kestrane {

// What the walk asks of the machine (or of a model of it).
class PrerequisiteWalk {
public:
    enum class State {
        Missing,   // no such service
        Disabled,  // stopped and disabled: it cannot be started
        Stopped,   // stopped (or stopping): to be started
        Active,    // running, starting, paused: what it needs runs already
    };
    virtual ~PrerequisiteWalk() = default;
    // The direct prerequisites of `name`, in the order of its dependency list. May throw ServiceError.
    virtual std::vector<std::wstring> Needs(const std::wstring& name) = 0;
    // The state of `prerequisite` in `state`; gives 0, or the return code of a failure that ends the walk.
    virtual int Look(const std::wstring& prerequisite, State& state) = 0;
    // Brings `prerequisite` up for `neededBy`: starts it when `stopped` (what it needs runs by then), and
    // in any case waits until it runs. Gives 0 or the return code of the failure.
    virtual int Reach(const std::wstring& prerequisite, const std::wstring& neededBy, bool stopped) = 0;
    // Told of each prerequisite that failed, with the code the start of `neededBy` gets for it.
    virtual void Failed(const std::wstring& prerequisite, int code) {}
};

// Brings up what a start of `name` needs first, as the service database of Windows does: each direct
// prerequisite in list order; a stopped one has its own prerequisites brought up first (so the deepest
// starts first), then is started; an active one is only waited for, and what it needs is left alone.
// Gives 0, or the code of the first failure: 12 for a prerequisite that does not exist, 18 for a chain
// deeper than 32 (a loop), 7 for a prerequisite that does not come up in time, 13 for any other failure
// of a prerequisite (a disabled one included). Nothing more is started after a failure.
int StartPrerequisites(PrerequisiteWalk& walk, const std::wstring& name);

}  // namespace kestrane
