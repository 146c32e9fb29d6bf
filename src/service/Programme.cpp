#include "service/Programme.h"

#include "base/Texts.h"

#include <exception>
#include <iterator>

namespace kestrane {

const wchar_t* ControlMessage(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(texts::kControlMessages))) return nullptr;
    return texts::kControlMessages[code];
}

const wchar_t* ModifyMessage(int code) {
    if (code == ReturnCode::Success) return texts::kModifySuccess;
    if (code == ReturnCode::NotSupported) return texts::kModifyNotTaken;
    return texts::kModifyFailed;
}

int CurrentFailureCode() {
    try {
        throw;
    } catch (const ServiceError& e) {
        return e.Code();
    } catch (...) {
        return ReturnCode::UnknownFailure;
    }
}

namespace {

// Nothing to send the order to: said so instead of reporting an accepted request.
OrderOutcome NotFound(const std::wstring& nom) {
    OrderOutcome outcome;
    outcome.code = ReturnCode::ServiceMarkedForDeletion;
    outcome.message = texts::kServiceNotFound + nom;
    return outcome;
}

}  // namespace

OrderOutcome EnvoieOrdre(ServiceManager& services, const std::wstring& nom, const std::wstring& ordre) {
    OrderOutcome outcome;
    try {
        if (!services.Find(nom)) return NotFound(nom);
        outcome.sent = true;
        if (ordre == L"okstart") outcome.code = services.StartService(nom);
        else if (ordre == L"okstop") outcome.code = services.StopService(nom);
        else if (ordre == L"okpause") outcome.code = services.PauseService(nom);
        else if (ordre == L"okreprise") outcome.code = services.ResumeService(nom);
        else outcome.sent = false;
    } catch (...) {
        outcome.code = CurrentFailureCode();
    }
    const wchar_t* message = ControlMessage(outcome.code);
    outcome.message = message ? message : texts::kRequestRunning;
    return outcome;
}

OrderOutcome EnvoieModif(ServiceManager& services, const std::wstring& nom, const std::wstring& ordre) {
    OrderOutcome outcome;
    try {
        if (!services.Find(nom)) return NotFound(nom);
        outcome.sent = true;
        // A plain automatic start does not wait: the user chose it over the delayed one. The delay is set
        // first: Windows refuses it to a service in a load-ordering group, and the start mode then stays
        // as it was rather than becoming a plain automatic start nobody asked for.
        if (ordre == L"auto" || ordre == L"autodiff") {
            outcome.code = services.SetDelayedAutoStart(nom, ordre == L"autodiff");
            if (outcome.code == ReturnCode::StatusInvalidParameter && ordre == L"autodiff") {
                outcome.message = texts::kDelayedRefused;
                return outcome;
            }
            if (outcome.code == ReturnCode::Success) outcome.code = services.ChangeStartMode(nom, L"Automatic");
        }
        else if (ordre == L"stop") outcome.code = services.ChangeStartMode(nom, L"Disabled");
        else if (ordre == L"manu") outcome.code = services.ChangeStartMode(nom, L"Manual");
        else if (ordre == L"suprime") {
            services.StopService(nom);  // a service that refuses to stop is still asked to go
            outcome.code = services.Delete(nom);
        } else {
            outcome.sent = false;
        }
    } catch (...) {
        outcome.code = CurrentFailureCode();
    }
    outcome.message = ModifyMessage(outcome.code);
    return outcome;
}

}  // namespace kestrane
