// The machine's services through the Service Control Manager API of advapi32.
//
// Each call opens its own handles and closes them before it returns; nothing is kept between calls, so
// what a caller sees is always the service database as it is now. Where Wine's service database answers
// differently from Windows, this class gives the Windows answer (see the comments in the .cpp).
#pragma once

#include "service/ServiceManager.h"

#include <string>
#include <vector>

namespace kestrane {

class ScmServiceManager : public ServiceManager {
public:
    std::vector<ServiceEntry> Inventory() override;
    std::optional<ServiceInfo> Find(const std::wstring& name) override;
    int StartService(const std::wstring& name) override;
    int StopService(const std::wstring& name) override;
    int PauseService(const std::wstring& name) override;
    int ResumeService(const std::wstring& name) override;
    int ChangeStartMode(const std::wstring& name, const std::wstring& mode) override;
    int Delete(const std::wstring& name) override;
    std::vector<std::wstring> DependentServices(const std::wstring& name) override;
    std::vector<std::wstring> ServicesDependedOn(const std::wstring& name) override;
};

}  // namespace kestrane
