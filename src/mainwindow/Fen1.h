// Fen1, the main window: the three service lists and everything shown for the selected service, the
// action commands, the configuration list, and the menu bar.
#pragma once

#include "mainwindow/Variables.h"
#include "win/Controls.h"
#include "win/Picture.h"
#include "win/Window.h"

#include <functional>
#include <map>
#include <string>

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

    HMENU MnuServ = nullptr;  // the "Action" menu, also shown as pop-up
    HMENU MnuAffiTri = nullptr;

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

    // Action commands.
    void OnMnuStart();
    void OnMnuSTop();
    void OnMnuPause();
    void OnMnuNoPause();
    void OnMnuAuto();
    void OnMnuManuel();
    void OnMnuDesactive();
    void OnMnuSupServ();
    void OnMnuOpAuto();
    void OnBtStartServ();
    void OnBtStopServ();
    void OnBtConfServAuto();
    void OnBtConfServMAnu();
    void OnBtConfServStop();
    // A right-button press on the window background or on either rich text box.
    void OnRightButton(POINT screen);

    // Help and information.
    void OnMnuHelp();
    void OnMnuInfo();
    void OnMnuQui();

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

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void CreateControls();
    void CreateMenuBar();
    void OnCommand(UINT id, UINT code, HWND control);
    void OnPaintBackground(HDC dc);
    HBRUSH OnControlColour(HDC dc, HWND control);
    void SingleServiceCommand(const wchar_t* order, bool startModeOrder);
    void CommandWithDependencies(bool start);
    void Reselect(int position);

    Picture background_;
    std::wstring backgroundPath_;
    HWND toolTip_ = nullptr;
    HMENU menuBar_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH whiteBrush_ = nullptr;
    std::map<HWND, COLORREF> markerColours_;
    std::map<COLORREF, HBRUSH> brushes_;
    std::map<int, Caption> captions_;  // the captions that never change
    std::map<UINT, std::function<void()>> commands_;
};

}  // namespace kestrane
