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
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

// The order of the state passes. Starts go from the services needing none to those only needing others;
// stops go the reverse order (a service is stopped once what depends on it is), in an application as in
// an undo, which so stops what the application it undoes started as prerequisites. An undo also brings
// back paused states and disables last what had to run first.
enum class ApplyOrder { Configuration, Undo };

// The records of a configuration file that an application acts on: those with a name, in file order.
// `unknown`, when given, receives a line for each state or start mode that means nothing ("Stoped"), with
// its line: applied as the format says (no effect), but told. Throws FileError, or ConfigSyntaxError for a
// line that is not one whole record.
std::vector<ConfigRecord> RecordsToApply(const std::wstring& path, std::vector<std::wstring>* unknown = nullptr);
// The same of a configuration's content.
std::vector<ConfigRecord> RecordsIn(std::string_view bytes, std::vector<std::wstring>* unknown = nullptr);

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
    std::vector<std::wstring> prerequisites;  // what the service needs, as its dependency list gives it
    // Nonzero when the service could not be read (a service Windows protects refuses it): the return code
    // of the failure. Such a record is refused with its reason; the others go on.
    int unreadable = 0;
    // Whether an application acts on the record's service.
    bool Acted() const { return present && mark != Mark::Forbidden && !unreadable; }
};
using FactsByName = std::map<std::wstring, RecordFacts, ServiceNameLess>;

// The facts of every service named by `records`. `present` tells whether this machine has a service;
// the dependency lists are read only for those it has. Throws ServiceError.
FactsByName LearnFacts(ServiceManager& services, const std::vector<ConfigRecord>& records,
                       const std::vector<ForbiddenEntry>& forbiddenList,
                       const std::function<bool(const std::wstring&)>& present);

// Of the services a start would start first (StartPrerequisites, in its order), the first that the
// forbidden list refuses: a start that needs it is refused as the service itself would be. This is the one
// rule the preview, the application and the command line follow (the command line refuses services
// marked 0 too, unless forced, by giving them as forbidden).
std::optional<std::wstring> RefusedPrerequisite(const std::vector<std::wstring>& toStart,
                                                const std::vector<ForbiddenEntry>& forbiddenList);
// The refusal as the report and the preview tell it.
std::wstring RefusedPrerequisiteLine(const std::wstring& name, const std::wstring& prerequisite);
// Why a start the guard cannot decide on is refused: what it needs cannot be read at `where`, so nobody
// can tell what Windows would start with it.
std::wstring UnreadablePrerequisiteLine(const std::wstring& name, const std::wstring& where);

// A file that contradicts itself: it wants `stopped` stopped and `running` running, while `running` needs
// `stopped` (directly or through others). An application stops it, then starts it again.
struct Conflict {
    std::wstring stopped, running;
    std::wstring Line() const;
};
// The conflicts of `records`, each service wanted stopped named once (with the first service wanted
// running that needs it), in file order. Records the application leaves alone (absent, forbidden) are
// left out. `facts` gives the dependency lists already read; others are read. Throws ServiceError.
std::vector<Conflict> Conflicts(ServiceManager& services, const std::vector<ConfigRecord>& records, FactsByName& facts);

// The records as they act on this machine (`inventory`): a record naming a per-user instance this machine
// lacks acts on the instance of the same template that it has, if there is exactly one; a start mode wanted
// for an instance is wanted for its template too (what the next sign-in uses: a record for the template,
// without a state, follows the instance's unless the file names the template itself). `notes` says, for
// each record resolved or left absent, what was done and why.
struct PerUserResolution {
    std::vector<ConfigRecord> records;
    std::vector<std::wstring> notes;
    std::map<std::wstring, std::wstring, ServiceNameLess> templateOf;  // instance -> its template
};
PerUserResolution ResolvePerUser(const std::vector<ConfigRecord>& records, const std::vector<ServiceEntry>& inventory);

// A record refused for a reason of the service database (access denied, marked for deletion), as the
// preview, the report and the comparison tell it.
std::wstring RefusedRecordLine(const std::wstring& name, int code);

// A record's state that an application does not set ("Paused", a pending state), where the service is
// in another: told, never silently passed over.
std::wstring StateNotAppliedLine(const ConfigRecord& record);

}  // namespace kestrane
