// What an application, its preview, its undo and the exports all know of a configuration's records: which
// records act, in which pass each sets its state, and what the forbidden list says of each. Each rule
// here is the one every one of them follows.
#pragma once

#include "profile/ConfigFormat.h"
#include "service/ForbiddenList.h"
#include "service/Programme.h"
#include "service/ServiceManager.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestrane {

// The order of the state passes. A configuration sets states from the services needing none to those
// only needing others. An undo stops in the reverse order (a service is stopped once what depends on
// it is), so that it can stop what the application it undoes started as prerequisites.
enum class ApplyOrder { Configuration, Undo };

// The records of a configuration file that an application acts on: those with a name, in file order.
// Throws FileError.
std::vector<ConfigRecord> RecordsToApply(const std::wstring& path);

// The start modes and states an application sets; any other (a boot start mode, a paused state) is
// left as it is.
bool AppliedStartMode(const std::wstring& mode);
bool AppliedState(const std::wstring& state);
// The argument of a start-mode change for a start mode of the file ("Auto" gives "Automatic"), or
// nullptr for one that is not applied.
const wchar_t* StartModeArgument(const std::wstring& startMode);

// The pass in which an application sets the state of a service: 2 when it needs no other service, 3 when
// it needs others and others need it, 4 when it only needs others.
int StatePassOf(bool needsOthers, bool needed);
// Whether pass `pass` (2 to 4) sets the state `wanted` of a service of `statePass`, in that order.
bool SetsStateIn(int pass, int statePass, ApplyOrder order, const std::wstring& wanted);

// What an application learns once of each record's service before its passes.
struct RecordFacts {
    bool present = false;
    Mark mark = Mark::None;
    int statePass = 2;
};
using FactsByName = std::map<std::wstring, RecordFacts, ServiceNameLess>;

// The facts of every service named by `records`. `present` tells whether this machine has a service;
// the dependency lists are read only for those it has. Throws ServiceError.
FactsByName LearnFacts(ServiceManager& services, const std::vector<ConfigRecord>& records,
                       const std::vector<ForbiddenEntry>& forbiddenList,
                       const std::function<bool(const std::wstring&)>& present);

}  // namespace kestrane
