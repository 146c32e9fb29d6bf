// The shared service procedures that need no window: control orders, start-mode changes and deletion,
// the forbidden-list guard, and which dependencies a command must act on. Each takes the machine, the
// dialogs and the program-wide variables it needs and returns its outcome; the windows show it.
#pragma once

#include "service/ServiceManager.h"
#include "service/Variables.h"
#include "service/ForbiddenList.h"

#include <string>
#include <vector>

namespace kestrane {

// The outcome of one order: the method return code and the French sentence that tells it.
struct OrderOutcome {
    int code = ReturnCode::Success;
    std::wstring message;
    bool sent = false;  // false when no order could be sent (no such service, the lookup failed)
};

// The French sentence for a control order's return code, or nullptr for a code outside 0..24.
const wchar_t* ControlMessage(int code);
// The French sentence for a start-mode change's or deletion's return code.
const wchar_t* ModifyMessage(int code);

// The return code of the exception being handled: a service database failure gives its own code, any
// other failure 8 (unknown failure). Never 0. Call it only inside a catch block.
int CurrentFailureCode();

// Sends a control order ("okstart", "okstop", "okpause", "okreprise") to the service named `nom`.
OrderOutcome EnvoieOrdre(ServiceManager& services, const std::wstring& nom, const std::wstring& ordre);

// Changes the start mode ("auto", "autodiff" for a delayed automatic start, "manu", "stop") of the service
// named `nom`, or deletes it ("suprime":
// asked to stop, then deleted whatever the stop gave).
OrderOutcome EnvoieModif(ServiceManager& services, const std::wstring& nom, const std::wstring& ordre);

// Service names as the service database compares them: without regard to letter case.
bool SameServiceName(const std::wstring& a, const std::wstring& b);
// The order of service names for maps keyed by them, with the same rule.
struct ServiceNameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// What the forbidden list says of `name`, its letter case aside: forbidden wins over discouraged when the
// list names it both ways. A record naming a per-user template covers each of its instances.
Mark MarkOf(const std::wstring& name, const std::vector<ForbiddenEntry>& forbiddenList);
// What a refusal or a warning tells of `name`: the first reason the list gives of it (or of its per-user
// template), or nothing.
std::wstring ReasonOf(const std::wstring& name, const std::vector<ForbiddenEntry>& forbiddenList);

// What the forbidden list CheminAppli + "liste\interdit.txt" asks before a change to `nom`: one step for
// each record that names it, in file order (a service listed twice gets both), none when it is not
// listed. A list missing or unreadable gives a single ListMissing step: nothing may be changed. The
// window shows each step; every text names the service it is about.
struct GuardStep {
    enum class Kind {
        ListMissing,  // an error box; the change is refused
        Ask,          // marked 0: a Yes/No question; No refuses the change
        Refuse,       // marked 1: an error box; the change is refused
    };
    Kind kind;
    std::wstring text;
    std::wstring title;
};
std::vector<GuardStep> GuardSteps(const std::wstring& cheminAppli, const std::wstring& nom);

}  // namespace kestrane
