// Applying a configuration: every service named in a configuration file brought to the start mode and
// the state recorded for it, start modes first, then states in dependency order. No window is touched:
// the caller gives the machine, the file, the forbidden list and something to report progress to, and
// shows the outcome.
#pragma once

#include "profile/Records.h"
#include "service/ForbiddenList.h"
#include "service/ServiceManager.h"

#include <map>
#include <set>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class ApplyProgress {
public:
    virtual ~ApplyProgress() = default;
    virtual void SetMaximum(int maximum) = 0;
    virtual void SetValue(int value) = 0;
};

struct ApplyReport {
    enum class Outcome {
        Done,         // every pass ran (some calls may have been refused: see `refused`)
        MissingFile,  // no file at the path
        EmptyFile,    // no record with a name
        Interrupted,  // the service interface failed part-way: `reason`, `callsMade`
    };
    Outcome outcome = Outcome::Done;
    int records = 0;                     // records with a name
    int callsMade = 0;                   // method calls made
    std::vector<std::wstring> refused;   // "name : message" of each call refused, in the order made
    std::vector<std::wstring> absent;    // names of the file this machine lacks
    std::vector<std::wstring> forbidden; // names left untouched (marked 1) that are not as the file wants
    std::vector<std::wstring> discouraged;  // names changed although discouraged (marked 0)
    std::vector<std::wstring> notes;     // no errors: the file's contradictions, states it asks but no pass sets
    std::map<std::wstring, std::wstring, ServiceNameLess> reasons;  // what the forbidden list says of a service it names
    std::wstring reason;                 // why it was interrupted
    std::vector<std::wstring> pending;   // interrupted: the names whose state had still to be set
    // Services the application waited for (a start or a stop it sent, before the next order that needed it
    // settled) that did not settle within what they promised.
    std::vector<std::wstring> stillPending;
    // The services whose start mode the service database confirmed set to the one the file wants: the
    // closing check need not read them again.
    std::set<std::wstring, ServiceNameLess> modesSet;

    // The lines of the closing message after its first line, in this order: refused calls, absent
    // services, forbidden ones left untouched, discouraged ones changed, notes.
    std::vector<std::wstring> Lines() const;
    // The lines of the message that closes an application that ran (Done) or was interrupted: its first
    // line, then what the window and the command line both tell.
    std::vector<std::wstring> ClosingLines() const;
    // Whether everything the file asks was done: no call refused, no service absent or left untouched. A
    // discouraged service changed is told, but is no error.
    bool Clean() const { return refused.empty() && absent.empty() && forbidden.empty() && stillPending.empty(); }
};

// Applies the configuration file at `path`. `forbiddenList` holds the entries of the forbidden list.
// Throws nothing: a failure of the service interface ends the application as Interrupted.
ApplyReport AppliqueConf(ServiceManager& services, const std::wstring& path,
                         const std::vector<ForbiddenEntry>& forbiddenList, ApplyProgress& progress,
                         ApplyOrder order = ApplyOrder::Configuration);

// Applies `records` (those with a name, as RecordsToApply gives them), as AppliqueConf does once it has
// read its file: what a preview showed is applied as it was shown. An undo (ApplyOrder::Undo) also
// brings back a paused state (started, then paused) and a running service that was disabled (started
// before it is disabled again).
ApplyReport ApplyRecords(ServiceManager& services, std::vector<ConfigRecord> records,
                         const std::vector<ForbiddenEntry>& forbiddenList, ApplyProgress& progress,
                         ApplyOrder order = ApplyOrder::Configuration);

}  // namespace kestrane
