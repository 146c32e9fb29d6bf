// What an application of a configuration would do to this machine, worked out without changing
// anything: the preview before an application, the comparison of a machine with the configuration it
// was given, the services an undo must bring back, and how many services are not yet as wanted once an
// application has ended.
#pragma once

#include "profile/ConfigFormat.h"
#include "profile/Export.h"
#include "profile/Records.h"
#include "service/ForbiddenList.h"
#include "service/ServiceManager.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace kestrane {

struct PlanLine {
    enum class Kind {
        StartMode,            // the start mode would change (or differs, in a comparison)
        State,                // the state would change (or differs)
        Forbidden,            // marked 1: the application leaves it untouched
        Discouraged,          // marked 0: the application changes it, with a warning
        Absent,               // named in the file, not on this machine
        PrerequisiteStarted,  // started first because a service to start needs it
        DependentRunning,     // running and depending on a service to stop: that stop will be refused
        PrerequisiteRefused,  // the start would start a service the forbidden list refuses: refused
        Conflict,             // the file wants a service stopped that another it wants running needs
        StateNotApplied,      // a state no pass sets (a paused state), the service being in another
        PerUser,              // a record of a per-user instance resolved to this machine's, or left absent
        Refused,              // the service database refuses the record's service (protected by Windows)
        Trigger,              // a note on a trigger-start service: Windows starts and stops it itself
    };
    Kind kind;
    std::wstring name;  // the service the line is about
    std::wstring text;  // the line as shown to the user
};

struct Plan {
    // In the order the application acts: start modes first, then states in dependency order.
    std::vector<PlanLine> lines;
    // The present state and start mode of every service the application would change, in the order
    // first changed: what an undo applies.
    std::vector<ConfigRecord> before;
    // Services that would change, prerequisites started included.
    int Changes() const { return static_cast<int>(before.size()); }
};

// What applying `records` would do now. Reads the machine (inventory with start modes, dependencies),
// never changes it. Throws ServiceError when the machine cannot be read.
// With ApplyOrder::Undo, it works out what an undo does (ApplyRecords): stops in reverse order, a paused
// state started and paused again, a running service whose start mode is Disabled disabled only once it runs.
Plan PlanApplication(ServiceManager& services, const std::vector<ConfigRecord>& records,
                     const std::vector<ForbiddenEntry>& forbiddenList, ApplyOrder order = ApplyOrder::Configuration);

// How this machine differs from `records`: first the file's own conflicts (a service wanted stopped that
// another wanted running needs), then one line per start mode and per state that is not the one wanted
// (a paused state told from a stopped one), one per service absent, in file order. Start modes and states
// no application sets (a boot start mode, a pending state) are not compared. Throws ServiceError.
std::vector<PlanLine> CompareMachine(ServiceManager& services, const std::vector<ConfigRecord>& records);

// The number of services of `records` present on this machine whose state or start mode is not the one
// wanted. Services still starting or stopping are given up to `patienceMs` milliseconds to settle, in
// steps that `wait` spends (a window keeps painting meanwhile; Sleep when it is empty). The start modes of
// `modesSet` (an application's ApplyReport::modesSet) are known to be the ones wanted and not read again.
// Throws ServiceError.
// The state of a trigger-start service is Windows' own business: not counted. With `why`, each service
// whose state differs at the end and why, where it can be told: still pending, or stopped by its own failure.
int NotInWantedState(ServiceManager& services, const std::vector<ConfigRecord>& records, int patienceMs = 3000,
                     const std::function<void(int)>& wait = {},
                     const std::set<std::wstring, ServiceNameLess>& modesSet = {},
                     std::vector<std::wstring>* why = nullptr);

// Whether a line of a comparison is a difference (counted, and an undo not fully restored) rather than a
// note (the state of a trigger-start service, which Windows starts and stops itself).
bool IsDifference(const PlanLine& line);

// The records with what an export needs to know of each: its state pass on this machine (a service this
// machine lacks is taken as needing none) and its mark in the forbidden list. Throws ServiceError.
std::vector<ExportEntry> ExportEntriesFor(ServiceManager& services, const std::vector<ConfigRecord>& records,
                                          const std::vector<ForbiddenEntry>& forbiddenList);

// The export of `records` for a fleet tool, as the window and the command line both write it: the
// configuration's name is its file name without the extension. `leftOut` is what the file cannot say
// and the user is told instead (a security template holds no comment). Throws ServiceError.
enum class FleetTool { Ansible, PowerShell, GroupPolicy };
struct FleetFile {
    std::string bytes;
    std::vector<std::wstring> leftOut;
};
FleetFile FleetExport(ServiceManager& services, const std::vector<ConfigRecord>& records,
                      const std::vector<ForbiddenEntry>& forbiddenList, const std::wstring& fileName, FleetTool tool);

}  // namespace kestrane
