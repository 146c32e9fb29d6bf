// Fen1, the main window: the three service lists and everything shown for the selected service, the
// action commands, the configuration list, and the menu bar.
#pragma once

#include "profile/Apply.h"
#include "profile/ConfigFiles.h"
#include "profile/MachineLock.h"
#include "profile/Plan.h"
#include "windows/AppContext.h"
#include "win/Controls.h"
#include "win/Menu.h"
#include "win/Picture.h"
#include "win/Window.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class Fen1 : public Window {
public:
    explicit Fen1(AppContext& app);
    ~Fen1() override;

    // Creates the window, which runs the start-up; `show` makes it visible.
    bool Create(bool show);

    AppContext& app;
    Variables& var;

    // Service lists: system names (inventory order), display names (same order, hidden), sorted display names.
    ComboBox CbNomSys, CbNomVue, CbNomVueTrier;
    ComboBox Combo1;  // services that depend on the selected one
    ComboBox Combo2;  // services the selected one depends on
    ComboBox CbListeConf;
    Label LabNb, LabEtat;
    Caption LabListeConf, Label3, Label4;
    Label LabStart, LabStop, LabAuto, LabManu, LabDisa;  // creation-mode markers
    Control TbChem, TbDemarre, TbEtat, TbNomCompte, TbType;
    RichText RichTextBox1, RichTextBox2;
    Control BtDefileBas, BtDefileHaut, BtRefreshServ;
    Control BtStartServ, BtStopServ, BtConfServAuto, BtConfServMAnu, BtConfServStop, Command1;

    // The menu bar; every item and sub-menu under the program's name for it (MnuServ, MnuEtat, ...).
    MenuTable menus;
    HMENU MnuServ = nullptr;         // the "Action" menu, also shown as pop-up
    HMENU MnuAffiTri = nullptr;      // "Affichage selectif", also the pop-up of Label3 and Label4
    HMENU MnuConfService = nullptr;  // "Configuration", also the pop-up of LabListeConf

    // Shows a pop-up menu at a screen position; tests replace it to see which menu would open.
    std::function<void(HMENU, POINT)> showPopup;

    // Start-up and shutdown.
    void Form_Load();
    void Form_Unload();

    // Lists and selection.
    void ChargeServices();
    void OnCbNomVueTrier();
    void OnCbNomVue();
    void OnCbNomSys();  // the selection refresh
    void OnBtDefileBas();
    void OnMnuPlus();
    void OnMnuRefresh();
    void OnMnuRefreshServ();
    void ChargeListeConf();
    // Selective display: the services whose state (kind "1"), start mode ("2") or both ("3") match.
    void ChargeServicesTri(const std::wstring& state, const std::wstring& mode, const std::wstring& kind);

    // Configurations.
    void OnMnuSauveConf();
    void OnMnuChargeConf();
    void OnCommand1();
    void OnMnuSupConf();
    void OnMnuImportConf();
    void OnMnuExportConf();
    void OnMnuCreerConf();
    // What applying the chosen configuration would change, shown before anything is changed; from there
    // it can be applied.
    void OnMnuApercu();
    // The latest application undone: the services it changed brought back as they were before it.
    void OnMnuAnnulerAppli();
    // How this machine differs from the chosen configuration.
    void OnMnuComparer();
    // The chosen configuration for a fleet tool: an Ansible playbook, a PowerShell script, a Group Policy
    // security template.
    void OnMnuExportFleet(FleetTool tool);
    // The machine's original state: what differs since, going back to it (previewed first, with its own
    // undo file), and taking the machine as it is now in its place (asked twice).
    void OnMnuComparerOrigine();
    void OnMnuRevenirOrigine();
    void OnMnuPrendreOrigine();
    // The external editor on a configuration file chosen anywhere.
    void OnMnuExterne();
    // "Tous les services": every service in a table, many changed at once.
    void OnMnuTousServices();
    bool CreationMode() const;

    // What the table of every service asks of this window.
    // Applies `records` (the selected services with the value wanted) as a configuration is applied: the
    // preview first for more than one service (or when every application is previewed), then the questions,
    // the undo file, the progress and the closing report. With `delayed`, the automatic start of each
    // service the application leaves automatic is then made to wait (or not) as it says.
    void ApplyFromTable(const std::vector<ConfigRecord>& records, const std::wstring& action, std::optional<bool> delayed);
    // Selects the service in the three lists (reloading them whole when a filter hides it) and brings the
    // window forward.
    void SelectService(const std::wstring& name);
    // Creation mode: appends the records to the configuration being made (the first addition starts the
    // file afresh, the one it replaces kept). False, with the message that says why, when nothing was added.
    bool AddRecordsToConfiguration(const std::vector<ConfigRecord>& records);
    // The name check of a save, with its message; the lock of one application at a time, as a save takes it.
    bool CheckConfigName(const std::wstring& name);
    bool TakeMachineLock(MachineLock& lock);
    // The menu items creation mode disables, by name (and BtRefreshServ with them).
    static const std::vector<std::wstring>& CreationModeDisabled();

    // What is shown for the selected service.
    // Fills Combo1 (services that depend on `name`) and Combo2 (services it depends on). Only appends:
    // the caller clears both first. Failures go to the caller.
    void ChargeDependances(const std::wstring& name);
    // Path, start mode, state, account and type of the service selected in CbNomSys. Failures go to the caller.
    void AfficheServ();
    // CheminAppli + relativePath + ".txt" in the upper text box, the platform's description of the
    // selected service in the lower one. Failures are absorbed.
    void AfficheTexte(const std::wstring& relativePath);

    // Orders, reported in LabEtat, and the guard.
    void CommandeService(const std::wstring& nom, const std::wstring& ordre);
    void ModifDemarrage(const std::wstring& nom, const std::wstring& ordre);
    void VerifInterdit(const std::wstring& nom);

    // Action commands.
    void OnMnuStart();
    void OnMnuSTop();
    void OnMnuPause();
    void OnMnuNoPause();
    void OnMnuAuto();
    void OnMnuAutoDiff();
    void OnMnuManuel();
    void OnMnuDesactive();
    void OnMnuSupServ();
    void OnMnuOpAuto();
    void OnBtStartServ();
    void OnBtStopServ();
    void OnBtConfServAuto();
    void OnBtConfServMAnu();
    void OnBtConfServStop();
    // A right-button press at a point of the window's client area, or in either rich text box.
    void OnRightButton(POINT client);
    void OnRichTextRightButton();

    // Skins: the skin's two pictures copied over the application's, the window repainted at once;
    // "Aucun" removes both.
    void ChargeSkin(const std::wstring& skin);
    void OnMnuAucun();

    // The details window of the selected service.
    void OnMnuDetailServ();

    // Help and information.
    void OnMnuHelp();
    void OnMnuInfo();
    void OnMnuQui();

    // Check marks and states of menu items by command id.
    bool MenuChecked(UINT id) const;
    void SetMenuChecked(UINT id, bool checked);
    bool MenuEnabled(UINT id) const;

    // The file the background picture was loaded from; empty when the window has none.
    const std::wstring& BackgroundPath() const { return backgroundPath_; }
    void LoadBackground(const std::wstring& path);
    COLORREF MarkerColour(const Label& marker) const;
    void SetMarkerColour(Label& marker, COLORREF colour);
    // Repaints the window at once.
    void Repaint();
    // The captions the window paints itself, with the room each is given.
    std::vector<const Caption*> Captions() const;
    // The font the window's controls and captions use.
    HFONT Font() const { return font_; }
    // The window's keyboard shortcuts (Ctrl+T: "Tous les services"), for the message loop.
    HACCEL Accelerators() const { return accelerators_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void ReportUnexpected(const std::wstring& reason) override;

private:
    void CreateControls();
    void CreateMenuBar();
    void CreateFont();
    SIZE LayoutSize(SIZE client) const override;
    bool FocusMnemonic(wchar_t letter) override;
    Caption& CaptionOf(int id);
    void Arrange(const RECT& canvas) override;
    void OnDpiChanged(WPARAM wp, LPARAM lp);
    void OnCommand(UINT id, UINT code, HWND control);
    void OnActivate(bool active);
    LRESULT OnNotify(NMHDR* header);
    void OnPaintBackground(HDC dc);
    HBRUSH OnControlColour(HDC dc, HWND control);
    void ShowSelectedInLists();
    // Looks the service up; false if it cannot be read, every field then saying so (and the state line
    // why, with `tellWhy`).
    bool ReadService(const std::wstring& name, std::optional<ServiceInfo>& info, bool tellWhy);
    void ShowFields(const std::optional<ServiceInfo>& info);
    void ShowTexts(const std::wstring& relativePath, const std::optional<ServiceInfo>* info);
    // Fills the three lists with the services `keep` accepts (all when it is empty): the one way the
    // plain and the filtering fill share. Gives the count.
    int FillLists(const std::vector<ServiceEntry>& services, const std::function<bool(const ServiceEntry&)>& keep);
    void EnterCreationMode();
    void LeaveCreationMode();
    void AddToConfiguration();
    // Applies a configuration of the folder; with the preview item checked, previews it first (unless
    // `previewed`: it was just shown).
    void ApplyConfiguration(const std::wstring& fileName, bool previewed = false);
    // Applies the file at `path` with the progress window and the closing message. A configuration
    // saves an undo file first; an undo ends its file (FinishUndo). Gives whether everything was done.
    bool ApplyFile(const std::wstring& path, ApplyOrder order);
    // Applies exactly what a preview showed, unless its file changed since (then the user is told).
    void ApplyPreviewed(const std::wstring& path, const std::string& bytesShown, const std::vector<ConfigRecord>& records,
                        ApplyOrder order, const std::vector<std::wstring>& unknown = {});
    // The steps of an application: the questions (each service marked 0 it would change; a declined one
    // is left alone like a forbidden one), the undo file (false when the user then gives up), the passes
    // under the progress window, the closing message.
    bool ApplyRecordsFromWindow(const std::vector<ConfigRecord>& records, std::vector<ForbiddenEntry> guard,
                                ApplyOrder order, const std::wstring& undoFile, const std::vector<std::wstring>& unknown = {},
                                const std::wstring& source = L"");
    // The records of the configuration file at `path` (and, with `unknown`, its values that mean nothing;
    // with `bytes`, the bytes read), or nothing with a box that says why (the line that is no record).
    std::optional<std::vector<ConfigRecord>> ReadRecordsOrTell(const std::wstring& path, std::vector<std::wstring>* unknown = nullptr,
                                                               std::string* bytes = nullptr);
    // Takes the lock one application at a time holds. While another application (of any window or the
    // command line) holds it, the user is told and the window waits with the wait cursor, painting, until
    // it ends or the user gives up (false).
    // Adds a record to a configuration file of creation mode, in the file's encoding; one the file's code
    // page cannot hold has the whole file written again in UTF-8. Throws FileError, UserError.
    void AddRecord(const std::wstring& file, const ConfigRecord& record);
    bool AskDiscouraged(const Plan& plan, std::vector<ForbiddenEntry>& guard);
    void AskDiscouragedRecords(const std::vector<ConfigRecord>& records, std::vector<ForbiddenEntry>& guard);
    bool SaveUndoFirst(const std::optional<Plan>& plan);
    ApplyReport ApplyWithProgress(const std::vector<ConfigRecord>& records, const std::vector<ForbiddenEntry>& guard,
                                  ApplyOrder order);
    void ShowClosingReport(const ApplyReport& report, const std::vector<ConfigRecord>& records,
                           const std::vector<std::wstring>& more);
    // Shows the preview of `records` of `path`; its "Appliquer" applies them with `order`.
    // `more`: lines the plan does not make (the delays the table sets after the application).
    void ShowPreview(const std::wstring& path, const std::wstring& heading, ApplyOrder order,
                     const std::vector<std::wstring>& more = {});
    // The configuration chosen in CbListeConf (its file name) with its records, or nothing (and the user
    // told why).
    std::optional<std::wstring> ChosenConfiguration();
    // The forbidden list, or nothing with the box that says it is missing.
    std::optional<std::vector<ForbiddenEntry>> ForbiddenListOrTell();
    // The file dialog for a configuration file, opening in the documents folder (the import uses the
    // save form, as it always has).
    std::optional<FileChoice> ChooseConfigFile(const wchar_t* title, bool saveDialog);
    void ShowFileFailure(const std::exception& failure);
    void SingleServiceCommand(const wchar_t* order, bool startModeOrder);
    // Takes the machine's original state if it has none, before a change (the lock held, or taken when
    // free). False when it cannot be taken and the user would rather change nothing.
    bool OriginBeforeChange(bool lockHeld);
    // The undo file an application of `path` ends: the file itself for an undo, none for a configuration
    // or the original state.
    std::wstring UndoFileOf(const std::wstring& path, ApplyOrder order) const;
    // The comparison window for the records of `path`.
    void CompareWith(const std::wstring& path, const std::wstring& heading);
    void CommandWithDependencies(bool start);
    // Whether a command acts on the dependencies listed too (the user is asked when MnuOpAuto is checked).
    bool WithDependencies(const std::vector<std::wstring>& entries, bool start);
    void Reselect(int position);

    Picture background_;
    std::wstring backgroundPath_;
    HWND toolTip_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH whiteBrush_ = nullptr;
    bool startingUp_ = false;
    HACCEL accelerators_ = nullptr;
    // What is done after the application of a file from the table (its path), before the closing report:
    // the delayed start set; the lines it gives go to the report.
    struct AfterApplication {
        std::wstring source;
        std::function<std::vector<std::wstring>(const std::vector<ConfigRecord>&, const std::vector<ForbiddenEntry>&)> run;
    };
    std::optional<AfterApplication> afterApplication_;
    // What the start-up has to tell of the original state, shown once the window is on screen.
    std::wstring originNotice_;
    int originNoticeStyle_ = BoxStyle::InformationOk;
    WrittenConfig lastSave_;  // what the last save of the machine left out or adjusted
    bool unloaded_ = false;
    std::map<int, HWND> controls_;  // every child control by id
    std::map<HWND, COLORREF> markerColours_;
    std::map<COLORREF, HBRUSH> brushes_;
    std::map<int, Caption> captions_;  // the captions that never change
    std::map<UINT, std::function<void()>> commands_;
    std::vector<std::wstring> disabledByCreationMode_;  // the items creation mode greyed, to enable again
};

}  // namespace kestrane
