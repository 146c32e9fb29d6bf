#include "service/Prerequisites.h"

#include "service/ServiceManager.h"

namespace kestrane {

namespace {

// Deeper than this, the chain of services needed must loop (the service database refuses such loops,
// but the registry could still be edited into one).
constexpr int kMaxDependencyDepth = 32;

// A failure of a prerequisite as the start that needed it reports it.
int AsPrerequisiteFailure(int code) {
    if (code == ReturnCode::StatusCircularDependency || code == ReturnCode::ServiceRequestTimeout) return code;
    return ReturnCode::ServiceDependencyFailure;
}

int Walk(PrerequisiteWalk& walk, const std::wstring& name, int depth);

int BringUp(PrerequisiteWalk& walk, const std::wstring& needed, const std::wstring& neededBy, int depth) {
    PrerequisiteWalk::State state{};
    if (int code = walk.Look(needed, state); code != ReturnCode::Success) return code;
    switch (state) {
    case PrerequisiteWalk::State::Missing:
        return ReturnCode::ServiceDependencyDeleted;
    case PrerequisiteWalk::State::Disabled:
        return ReturnCode::ServiceDependencyFailure;
    case PrerequisiteWalk::State::Stopped:
        if (int code = Walk(walk, needed, depth + 1); code != ReturnCode::Success) return AsPrerequisiteFailure(code);
        break;
    case PrerequisiteWalk::State::Active:
        break;
    }
    int code = walk.Reach(needed, neededBy, state == PrerequisiteWalk::State::Stopped);
    return code == ReturnCode::Success ? code : AsPrerequisiteFailure(code);
}

int Walk(PrerequisiteWalk& walk, const std::wstring& name, int depth) {
    if (depth > kMaxDependencyDepth) return ReturnCode::StatusCircularDependency;
    std::vector<std::wstring> needs;
    try {
        needs = walk.Needs(name);
    } catch (const ServiceError& e) {
        return e.Code();
    }
    for (const std::wstring& needed : needs) {
        int code = BringUp(walk, needed, name, depth);
        if (code != ReturnCode::Success) {
            walk.Failed(needed, code);
            return code;
        }
    }
    return ReturnCode::Success;
}

}  // namespace

int StartPrerequisites(PrerequisiteWalk& walk, const std::wstring& name) { return Walk(walk, name, 0); }

}  // namespace kestrane
