// A configuration written for the tools that manage fleets of machines: an Ansible playbook of
// ansible.windows.win_service tasks and a PowerShell script of Set-Service, Start-Service and
// Stop-Service commands, both in the order an application acts. Services the forbidden list refuses
// are left out and named in a comment; a value the target cannot express (a paused state, a boot start
// mode) is named in a comment, never dropped silently. Neither file holds, besides its own line ends, a control
// character (C0, DEL, C1), U+2028, U+2029, U+FFFE, U+FFFF or a lone surrogate taken from a record: a service whose
// name holds one cannot be named exactly and is left out, with the character in a comment; in a label or a
// comment (display names, the configuration's name, reasons) each shows as a space.
#pragma once

#include "profile/ConfigFormat.h"
#include "service/ForbiddenList.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// One record as the export sees it: in which state pass an application sets its state (2: needs no
// other service, 3: needs others and is needed, 4: only needs others) and what the forbidden list says.
struct ExportEntry {
    ConfigRecord record;
    int statePass = 2;
    Mark mark = Mark::None;
    std::wstring reason;  // what the forbidden list says of it, if anything
    std::wstring perUserState;  // a per-user template exported for its instance: the state wanted for it
};

// A playbook for ansible-playbook: UTF-8, one task per service setting its start mode and its state,
// in the order of the state passes (start modes go with them: a service is given its start mode before
// it is started or stopped).
std::string AnsiblePlaybook(const std::wstring& configName, const std::vector<ExportEntry>& entries);

// A script for Windows PowerShell 5.1 and PowerShell 7: UTF-8 with a byte-order mark (without it
// Windows PowerShell reads the comments in the ANSI code page) and CR LF line ends. Start modes first,
// then states in the order of the state passes.
std::string PowerShellScript(const std::wstring& configName, const std::vector<ExportEntry>& entries);

// A security template for Group Policy ("System Services" of a GPO's security settings, imported with the
// policy editor's "Import Policy") and for `secedit /configure /areas SERVICES`: UTF-16LE with a byte-order
// mark, CR LF, the [Unicode] and [Version] sections and one line of [Service General Setting] per record
// whose start mode a template can express ("Name",2|3|4,"": automatic, manual, disabled), in file order.
// Windows stops reading the section at its first line it cannot read, so the file holds no comment and no
// line that is not valid for any reader: what it cannot carry (states, delays, boot and system start
// modes, services the forbidden list refuses, names a template cannot hold) is in `leftOut`, to be told.
struct SecurityTemplate {
    std::string bytes;
    std::vector<std::wstring> leftOut;
};
SecurityTemplate GroupPolicyTemplate(const std::vector<ExportEntry>& entries);

}  // namespace kestrane
