// The texts shipped in data/ServTxt: in serv/, one file per service, named after the key of the service under
// HKLM\SYSTEM\CurrentControlSet\Services as Windows spells it; in help/ and info/, the help and the information
// texts. The program shows them in a rich edit control that wraps long lines itself, so each paragraph is a
// single line: a line cut in the middle of a sentence shows as a ragged paragraph.
#include "base/CodePage.h"
#include "base/FailureText.h"
#include "service/ForbiddenList.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

// The services of a standard Windows 10 or 11 installation, in the letter case of their keys, those of its first
// versions included (HomeGroupListener, tiledatamodelsvc). A per-user service is named after its template
// (CDPUserSvc, not the CDPUserSvc_1a2b3 of one session).
constexpr std::string_view kWindowsServices[] = {
    "AarSvc", "AJRouter", "ALG", "AppIDSvc", "Appinfo", "AppMgmt", "AppReadiness", "AppVClient", "AppXSvc",
    "AssignedAccessManagerSvc", "AudioEndpointBuilder", "Audiosrv", "autotimesvc", "AxInstSV",
    "BcastDVRUserService", "BDESVC", "BFE", "BITS", "BluetoothUserService", "BrokerInfrastructure", "Browser",
    "BTAGService", "BthAvctpSvc", "bthserv", "camsvc", "CaptureService", "cbdhsvc", "CDPSvc", "CDPUserSvc",
    "CertPropSvc", "ClipSVC", "cloudidsvc", "COMSysApp", "ConsentUxUserSvc", "CoreMessagingRegistrar",
    "CredentialEnrollmentManagerUserSvc", "CryptSvc", "CscService", "DcomLaunch", "dcsvc", "defragsvc",
    "DeviceAssociationBrokerSvc", "DeviceAssociationService", "DeviceInstall", "DevicePickerUserSvc",
    "DevicesFlowUserSvc", "DevQueryBroker", "Dhcp", "diagnosticshub.standardcollector.service", "diagsvc",
    "DiagTrack", "DialogBlockingService", "DispBrokerDesktopSvc", "DisplayEnhancementService", "DmEnrollmentSvc",
    "dmwappushservice", "Dnscache", "DoSvc", "dot3svc", "DPS", "DsmSvc", "DsSvc", "DusmSvc", "Eaphost",
    "edgeupdate", "edgeupdatem", "EFS", "embeddedmode", "EntAppSvc", "EventLog", "EventSystem", "Fax", "fdPHost",
    "FDResPub", "fhsvc", "FontCache", "FontCache3.0.0.0", "FrameServer", "FrameServerMonitor", "gpsvc",
    "GraphicsPerfSvc", "hidserv", "HomeGroupListener", "HomeGroupProvider", "HvHost", "icssvc", "IKEEXT",
    "InstallService", "InventorySvc", "iphlpsvc", "IpxlatCfgSvc", "irmon", "KeyIso", "KtmRm", "LanmanServer",
    "LanmanWorkstation", "lfsvc", "LicenseManager", "lltdsvc", "lmhosts", "LSM", "LxpSvc", "LxssManager",
    "MapsBroker", "McpManagementService", "MDCoreSvc", "MessagingService", "MicrosoftEdgeElevationService",
    "MixedRealityOpenXRSvc", "mpssvc", "MSDTC", "MSiSCSI", "msiserver", "MsKeyboardFilter",
    "NaturalAuthentication", "NcaSvc", "NcbService", "NcdAutoSetup", "Netlogon", "Netman", "netprofm",
    "NetSetupSvc", "NetTcpPortSharing", "NgcCtnrSvc", "NgcSvc", "NlaSvc", "NPSMSvc", "nsi", "OneSyncSvc",
    "p2pimsvc", "p2psvc", "P9RdrService", "PcaSvc", "PeerDistSvc", "PenService", "perceptionsimulation",
    "PerfHost", "PhoneSvc", "PimIndexMaintenanceSvc", "pla", "PlugPlay", "PNRPAutoReg", "PNRPsvc", "PolicyAgent",
    "Power", "PrintNotify", "PrintWorkflowUserSvc", "ProfSvc", "PushToInstall", "QWAVE", "RasAuto", "RasMan",
    "RemoteAccess", "RemoteRegistry", "RetailDemo", "RmSvc", "RpcEptMapper", "RpcLocator", "RpcSs", "SamSs",
    "SCardSvr", "ScDeviceEnum", "Schedule", "SCPolicySvc", "SDRSVC", "seclogon", "SecurityHealthService",
    "SEMgrSvc", "SENS", "Sense", "SensorDataService", "SensorService", "SensrSvc", "SessionEnv", "SgrmBroker",
    "SharedAccess", "SharedRealitySvc", "ShellHWDetection", "shpamsvc", "smphost", "SmsRouter", "SNMPTrap",
    "Spooler", "sppsvc", "SSDPSRV", "ssh-agent", "SstpSvc", "StateRepository", "stisvc", "StorSvc",
    "svsvc", "swprv", "SysMain", "SystemEventsBroker", "TabletInputService", "TapiSrv", "TermService",
    "TextInputManagementService", "Themes", "TieringEngineService", "tiledatamodelsvc", "TimeBrokerSvc",
    "TokenBroker", "TrkWks",
    "TroubleshootingSvc", "TrustedInstaller", "tzautoupdate", "UdkUserSvc", "UevAgentService", "uhssvc",
    "UmRdpService", "UnistoreSvc", "upnphost", "UserDataSvc", "UserManager", "UsoSvc", "VacSvc", "VaultSvc", "vds",
    "vmicguestinterface", "vmicheartbeat", "vmickvpexchange", "vmicrdv", "vmicshutdown", "vmictimesync",
    "vmicvmsession", "vmicvss", "VSS", "W32Time", "WaaSMedicSvc", "WalletService", "WarpJITSvc", "wbengine",
    "WbioSrvc", "Wcmsvc", "wcncsvc", "WdiServiceHost", "WdiSystemHost", "WdNisSvc", "WebClient", "webthreatdefsvc",
    "webthreatdefusersvc", "Wecsvc", "WEPHOSTSVC", "wercplsupport", "WerSvc", "WFDSConMgrSvc", "WiaRpc",
    "WinDefend", "WinHttpAutoProxySvc", "Winmgmt", "WinRM", "wisvc", "WlanSvc", "wlidsvc", "wlpasvc", "WManSvc",
    "wmiApSrv", "WMPNetworkSvc", "workfolderssvc", "WpcMonSvc", "WPDBusEnum", "WpnService", "WpnUserService",
    "wscsvc", "WSearch", "wuauserv", "WwanSvc", "XblAuthManager", "XblGameSave", "XboxGipSvc", "XboxNetApiSvc",
};

// The usual drivers of the same installations: they have their key beside the services, and Kestrane lists
// them too.
constexpr std::string_view kWindowsDrivers[] = {
    "ACPI", "AFD", "ahcache", "AppID", "applockerfltr", "AsyncMac", "atapi", "bam", "Beep", "bindflt", "bowser",
    "BthEnum", "BTHPORT", "BTHUSB", "cdrom", "CldFlt", "CLFS", "CmBatt", "CNG", "CompositeBus", "condrv", "CSC",
    "dam", "Dfsc", "disk", "DXGKrnl", "EhStorClass", "exfat", "fastfat", "FileCrypt", "FileInfo", "FltMgr",
    "fvevol", "GPIOClx0101", "HdAudAddService", "HDAudBus", "HidBth", "HidUsb", "HTTP", "i8042prt", "intelppm",
    "iorate", "kbdclass", "kbdhid", "KSecDD", "KSecPkg", "lltdio", "luafv", "monitor", "mouclass", "mouhid",
    "mountmgr", "mpsdrv", "MRxDAV", "mrxsmb", "mrxsmb20", "Msfs", "msisadrv", "MsLldp", "mssmbios", "Mup",
    "NativeWifiP", "NdisCap", "NdisTapi", "Ndisuio", "NdisWan", "NDProxy", "Ndu", "NetBIOS", "NetBT", "Npfs",
    "npsvctrig", "nsiproxy", "Ntfs", "Null", "partmgr", "pci", "pcw", "PEAUTH", "Psched", "rdbss", "RDPDR",
    "rdyboost", "rspndr", "spaceport", "srv2", "srvnet", "storahci", "stornvme", "storqosflt", "swenum", "Tcpip",
    "Tcpip6", "tcpipreg", "tdx", "Ucx01000", "UEFI", "umbus", "usbccgp", "usbhub", "USBHUB3", "USBSTOR", "USBXHCI",
    "volmgr", "volmgrx", "volsnap", "vwifibus", "vwififlt", "wcifs", "WdBoot", "Wdf01000", "WdFilter", "WdNisDrv",
    "WFPLWFS", "WIMMount", "WindowsTrustedRT", "WindowsTrustedRTProxy", "WmiAcpi", "Wof", "ws2ifsl", "WUDFRd",
};

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kExtension = ".txt";
constexpr std::size_t kFewestServiceTexts = 120;

std::string AsciiLower(std::string_view s) {
    std::string lower(s);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::optional<std::string> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Decodes the UTF-8 sequence at the start of s into code: the number of bytes it takes, or 0 when s does not
// start with a well-formed sequence (overlong forms, surrogates and values past U+10FFFF are not).
std::size_t DecodeUtf8(std::string_view s, char32_t& code) {
    if (s.empty()) return 0;
    const auto byte = [s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    struct Form {
        unsigned char first, last;  // the lead bytes of the form
        std::size_t length;
        char32_t smallest;  // below it the sequence is overlong
        unsigned char bits;  // the payload of the lead byte
    };
    static constexpr Form kForms[] = {
        {0xC2, 0xDF, 2, 0x80, 0x1F}, {0xE0, 0xEF, 3, 0x800, 0x0F}, {0xF0, 0xF4, 4, 0x10000, 0x07}};
    const Form* form = nullptr;
    for (const Form& f : kForms)
        if (lead >= f.first && lead <= f.last) form = &f;
    if (!form) return 0;
    const std::size_t length = form->length;
    code = static_cast<char32_t>(lead & form->bits);
    if (s.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        code = static_cast<char32_t>((code << 6) | (byte(i) & 0x3Fu));
    }
    if (code < form->smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// A Windows-1252 byte as a code point, for the letters among 0x80..0x9F (the other bytes there are punctuation
// and symbols, never letters); from 0xA0 on the code page is Latin-1.
char32_t FromWindows1252(unsigned char b) {
    switch (b) {
        case 0x8A: return 0x0160;
        case 0x8C: return 0x0152;
        case 0x8E: return 0x017D;
        case 0x9A: return 0x0161;
        case 0x9C: return 0x0153;
        case 0x9E: return 0x017E;
        case 0x9F: return 0x0178;
        default: return b;
    }
}

bool IsLowerCaseLetter(char32_t c) {
    if (c >= U'a' && c <= U'z') return true;
    if (c >= 0xDF && c <= 0xFF) return c != 0xF7;  // ß, à..ÿ, less the division sign
    return c == 0x0153 || c == 0x0161 || c == 0x017E;  // œ, š, ž
}

bool IsIndent(char c) { return c == ' ' || c == '\t'; }

bool IsBlank(std::string_view line) {
    for (char c : line)
        if (!IsIndent(c)) return false;
    return true;
}

// The lines of a text, each without its line end (CR LF or LF).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (;;) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) return lines;
        text.remove_prefix(end + 1);
    }
}

// The first character of a line after its indentation, read as the program reads the file: UTF-8 after a byte
// order mark, Windows-1252 otherwise. U+FFFD for a broken UTF-8 sequence, 0 for an empty line.
char32_t FirstCharacter(std::string_view line, bool utf8) {
    while (!line.empty() && IsIndent(line.front())) line.remove_prefix(1);
    if (line.empty()) return 0;
    if (!utf8) return FromWindows1252(static_cast<unsigned char>(line.front()));
    char32_t code = 0;
    return DecodeUtf8(line, code) ? code : U'\uFFFD';
}

// The numbers (from 1) of the lines that go on with the sentence of the line above: a line that begins with a
// lower-case letter right under a non-blank line is the rest of a paragraph cut into lines.
std::vector<std::size_t> CutLines(std::string_view text, bool utf8) {
    const std::vector<std::string_view> lines = Lines(text);
    std::vector<std::size_t> cut;
    for (std::size_t i = 1; i < lines.size(); ++i)
        if (!IsBlank(lines[i - 1]) && IsLowerCaseLetter(FirstCharacter(lines[i], utf8))) cut.push_back(i + 1);
    return cut;
}

// What is wrong with the encoding of a text (without its byte order mark), or nothing. After a mark the program
// reads UTF-8, so the bytes must be UTF-8. Without one it reads Windows-1252: bytes that are all well-formed
// UTF-8, accents included, are a file saved as UTF-8 without its mark, whose "é" would show as "Ã©".
std::string EncodingFault(std::string_view text, bool utf8) {
    bool wellFormed = true;
    bool accented = false;
    for (std::string_view rest = text; !rest.empty();) {
        char32_t code = 0;
        const std::size_t used = DecodeUtf8(rest, code);
        if (used == 0) {
            wellFormed = false;
            break;
        }
        if (code >= 0x80) accented = true;
        rest.remove_prefix(used);
    }
    if (utf8 && !wellFormed) return "begins with a UTF-8 byte order mark but is not UTF-8";
    if (!utf8 && wellFormed && accented)
        return "written in UTF-8 without a byte order mark: the program would read it as Windows-1252";
    return {};
}

bool HasVisibleText(std::string_view text) {
    for (char c : text)
        if (!IsIndent(c) && c != '\r' && c != '\n') return true;
    return false;
}

// The checks every shipped text passes: something to show, an encoding the program reads as written, and each
// paragraph on one line.
void CheckText(const std::string& label, std::string_view bytes) {
    const bool utf8 = bytes.starts_with(kBom);
    const std::string_view text = utf8 ? bytes.substr(kBom.size()) : bytes;
    EXPECT_TRUE(HasVisibleText(text)) << label << " is empty";
    const std::string fault = EncodingFault(text, utf8);
    EXPECT_TRUE(fault.empty()) << label << ": " << fault;
    for (std::size_t line : CutLines(text, utf8))
        ADD_FAILURE() << label << ", line " << line << ": begins with a lower-case letter right under line "
                      << line - 1 << ", a paragraph cut into lines; write each paragraph on a single line";
}

TEST(ServiceTexts, EachNamedAfterAWindowsServiceAndWrittenAsParagraphs) {
    std::map<std::string, std::string_view> known;  // every name of the tables, by its lower-case form
    const auto add = [&known](const auto& table) {
        for (std::string_view name : table)
            EXPECT_TRUE(known.emplace(AsciiLower(name), name).second) << name << " is in the tables twice";
    };
    add(kWindowsServices);
    add(kWindowsDrivers);

    const fs::path folder = fs::path(KESTRANE_DATA_DIR) / "ServTxt" / "serv";
    ASSERT_TRUE(fs::is_directory(folder)) << "data/ServTxt/serv is missing";
    std::size_t texts = 0;
    std::map<std::string, std::string> files;  // file names, by the lower-case form of the service name
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::u8string utf8Name = entry.path().filename().u8string();
        const std::string file(utf8Name.begin(), utf8Name.end());
        const std::string label = "ServTxt/serv/" + file;
        if (!entry.is_regular_file()) {
            ADD_FAILURE() << label << " is not a file";
            continue;
        }
        if (file.size() <= kExtension.size() || !file.ends_with(kExtension)) {
            ADD_FAILURE() << label << " is not named <service>.txt: the program would never show it";
            continue;
        }
        ++texts;
        const std::string name = file.substr(0, file.size() - kExtension.size());
        const std::string lower = AsciiLower(name);
        const auto [other, first] = files.emplace(lower, file);
        if (!first)
            ADD_FAILURE() << label << " and " << other->second
                          << " differ only by letter case: on Windows they are the same file";
        const auto found = known.find(lower);
        if (found == known.end())
            ADD_FAILURE() << label << ": no service " << name << " on a standard Windows 10 or 11 installation";
        else if (found->second != name)
            ADD_FAILURE() << label << ": Windows spells the service " << found->second << ", the file must be "
                          << found->second << kExtension;
        const std::optional<std::string> bytes = ReadAll(entry.path());
        if (!bytes) {
            ADD_FAILURE() << label << " cannot be read";
            continue;
        }
        CheckText(label, *bytes);
    }
    EXPECT_GE(texts, kFewestServiceTexts) << "only " << texts << " service texts in data/ServTxt/serv";
}

TEST(ServiceTexts, HelpAndInformationWrittenAsParagraphs) {
    // The paragraph check itself, on texts whose cuts are known, so that a check that never fires shows here.
    EXPECT_EQ(CutLines("Titre\r\n\r\nUne phrase enti\xE8re.\r\n\r\nConseil : laissez-le.\r\n", false),
              std::vector<std::size_t>{});
    EXPECT_EQ(CutLines("Titre\r\n\r\nUne phrase coup\xE9" "e\r\nen deux.\r\n", false), std::vector<std::size_t>{4});
    EXPECT_EQ(CutLines("Une ligne\n  \xE9" "crite en deux\nUne autre.\n", false), std::vector<std::size_t>{2});
    EXPECT_EQ(CutLines("Une ligne\r\n\xC3\xA9" "crite en deux\r\n", true), std::vector<std::size_t>{2});
    EXPECT_EQ(CutLines("Une ligne\r\n\xC3\x89" "crite \xC3\xA0 la ligne\r\n", true), std::vector<std::size_t>{});

    for (const char* relative : {"ServTxt/help/help.txt", "ServTxt/info/info.txt"}) {
        const std::optional<std::string> bytes = ReadAll(fs::path(KESTRANE_DATA_DIR) / relative);
        if (!bytes) {
            ADD_FAILURE() << "data/" << relative << " is missing";
            continue;
        }
        CheckText(relative, *bytes);
    }
}


// One service of Microsoft's guidance on disabling the services of Windows Server 2016
// (tests/data/ms-service-guidance.tsv): its key name and the recommendation, "Do not disable", "OK to disable" and
// the like.
struct Guidance {
    std::string name;
    std::string recommendation;
};

// The services of the guidance's table: one a line, tab-separated name, start type and recommendation, after a
// comment naming the source and a header line.
std::vector<Guidance> ReadGuidance(std::string_view table) {
    std::vector<Guidance> services;
    for (const std::string_view line : Lines(table)) {
        if (line.empty() || line.starts_with("#") || line.starts_with("name\t")) continue;
        std::vector<std::string_view> fields;
        std::string_view rest = line;
        for (std::size_t tab; (tab = rest.find('\t')) != std::string_view::npos; rest.remove_prefix(tab + 1))
            fields.push_back(rest.substr(0, tab));
        fields.push_back(rest);
        if (fields.size() != 3 || fields[0].empty()) {
            ADD_FAILURE() << "not a name, a start type and a recommendation: " << line;
            continue;
        }
        services.push_back({std::string(fields[0]), std::string(fields[2])});
    }
    return services;
}

// Microsoft's guidance is written for a server not used as a desktop, where Kestrane's users run Windows 10 or 11:
// a text may advise otherwise, and then says why. But a service the guidance says not to disable is never left
// unguarded: the shipped list refuses it or warns before touching it, and its text tells the user what stops
// with it. And the list never refuses a service the guidance calls safe to disable.
TEST(ServiceTexts, TheShippedListAndTextsHeldToMicrosoftsGuidance) {
    const std::optional<std::string> table = ReadAll(fs::path(KESTRANE_TEST_DATA_DIR) / "ms-service-guidance.tsv");
    ASSERT_TRUE(table) << "tests/data/ms-service-guidance.tsv is missing";
    const std::vector<Guidance> guidance = ReadGuidance(*table);

    const std::optional<std::string> list = ReadAll(fs::path(KESTRANE_DATA_DIR) / "liste" / "interdit.txt");
    ASSERT_TRUE(list) << "data/liste/interdit.txt is missing";
    std::vector<ForbiddenEntry> entries;
    try {
        entries = ParseForbiddenList(*list);
    } catch (const UserError& error) {
        FAIL() << ToUtf8(error.Message());
    }
    std::map<std::string, Mark> marks;  // by the lower-case name, as the guard finds them: refused wins
    for (const ForbiddenEntry& entry : entries) {
        const auto [mark, added] = marks.emplace(AsciiLower(ToUtf8(entry.Name)), entry.mark);
        if (!added && entry.mark == Mark::Forbidden) mark->second = Mark::Forbidden;
    }
    const auto markOf = [&marks](const std::string& name) {
        const auto found = marks.find(AsciiLower(name));
        return found == marks.end() ? Mark::None : found->second;
    };

    std::set<std::string> texts;  // the lower-case names of the services that have a text
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(KESTRANE_DATA_DIR) / "ServTxt" / "serv"))
        if (entry.path().extension() == kExtension) texts.insert(AsciiLower(entry.path().stem().string()));

    std::size_t notToDisable = 0, safeToDisable = 0;
    for (const Guidance& service : guidance) {
        if (service.recommendation == "Do not disable") {
            ++notToDisable;
            EXPECT_NE(markOf(service.name), Mark::None)
                << service.name << ": Microsoft says not to disable it, and the shipped list neither refuses it nor "
                << "warns before a change";
            EXPECT_EQ(texts.count(AsciiLower(service.name)), 1u)
                << service.name << ": Microsoft says not to disable it, and no text data/ServTxt/serv/"
                << service.name << kExtension << " tells what stops with it";
        } else if (service.recommendation.starts_with("OK to disable") ||
                   service.recommendation == "Should be disabled") {
            ++safeToDisable;
            EXPECT_NE(markOf(service.name), Mark::Forbidden)
                << service.name << ": refused (marked 1) by the shipped list, where Microsoft says \""
                << service.recommendation << "\"";
        }
    }
    // The table read as it is written: a misread one would hold none of them, and check nothing.
    EXPECT_GE(notToDisable, 25u) << "services Microsoft says not to disable";
    EXPECT_GE(safeToDisable, 30u) << "services Microsoft calls safe to disable";
}

}  // namespace
}  // namespace kestrane
