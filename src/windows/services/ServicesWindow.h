// "Tous les services": every service of the machine in one table to sort, search and filter, and to change
// many at once. The table shows names, display names and states as soon as the machine's list is read, and
// reads the start modes afterwards while the window goes on answering the user. A change made here is a
// configuration of the selected services with the value wanted, applied exactly as an application is
// (preview, questions, guard, lock, undo file, progress, closing report).
#pragma once

#include "windows/AppContext.h"
#include "windows/services/ServicesTable.h"
#include "win/Controls.h"
#include "win/Window.h"

#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

namespace kestrane {

class Fen1;

class ServicesWindow : public Window {
public:
    ServicesWindow(AppContext& app, Fen1& main);
    ~ServicesWindow() override;

    // Opens the window (or brings it forward) and reads the machine. It is a window of its own, owned by
    // none: a row sent to the main window brings that one above it.
    void Open();
    void Close();
    // Creation mode began or ended: the choice column and "Ajouter à la configuration en cours" follow it.
    void CreationModeChanged() {
        if (Handle()) Relayout();
    }
    // Reads the machine again, keeping the sort, the search, the filters, the selection and the scroll position.
    void Refresh();

    // What the buttons and the context menu offer on the selection.
    enum class Action { Start, Stop, Automatic, AutomaticDelayed, Manual, Disabled };
    void OnAction(Action action);
    void OnSaveSelection();
    void OnAddToConfiguration();
    // Selects the service of the focused row in the main window and brings it forward.
    void OnActivate();
    // The search and the filters, as the user sets them.
    void SetSearch(const std::wstring& text);
    void SetStateFilter(const std::wstring& value);
    void SetModeFilter(const std::wstring& value);
    // A click on a column's header.
    void OnColumnClick(TableColumn column);

    // Whether start modes are still to be read, and reading all of them now (the wait cursor shown).
    bool Reading() const { return reading_; }
    // Whether every start mode has been read (delays and triggers may still be on their way).
    bool StartModesRead() const { return !reading_ || nextMode_ >= table_.Rows().size(); }
    void ReadAllNow();

    // What the window shows, for those who check it.
    const ServicesTable& Table() const { return table_; }
    HWND List() const { return list_; }
    std::vector<std::wstring> SelectedNames() const;
    // Selects exactly the rows shown of these services.
    void Select(const std::vector<std::wstring>& names);
    std::wstring CountText() const { return LabCount.Text(); }
    // The tool tip of a row: what the forbidden list says of it.
    std::wstring ToolTipOf(int position) const;

    Control EdSearch, CbState, CbMode, LabCount;
    Control BtStart, BtStop, BtAuto, BtAutoDelayed, BtManual, BtDisabled, BtSave, BtAdd, BtRefresh;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void ReportUnexpected(const std::wstring& reason) override;

private:
    void CreateControls();
    void Arrange(const RECT& canvas) override;
    SIZE LayoutSize(SIZE client) const override;
    // Where the buttons go for a canvas `width` wide (at the window's DPI), and the height they take.
    std::vector<RECT> ButtonPlaces(int width, int& height) const;
    void OnCommand(int id, int code);
    LRESULT OnNotify(NMHDR* header);
    void OnContextMenu(LPARAM lp);
    // Reads the machine's list and shows it (the selection and the scroll position as they were).
    void Load();
    // Shows the table's rows again: the count, the header's arrow, the selection by name.
    void ShowRows(const std::set<std::wstring>& selected, int topRow);
    void UpdateCount();
    // Reads start modes (then delays and triggers) for at most `budgetMs`, stopping early when the user acts.
    void ReadSome(DWORD budgetMs);
    std::set<std::wstring> SelectedSet() const;

    AppContext& app_;
    Fen1& main_;
    ServicesTable table_;
    HWND list_ = nullptr;
    HFONT font_ = nullptr;
    std::vector<HWND> captions_;
    std::vector<Control*> buttons_;
    bool reading_ = false;
    bool quietCount_ = false;
    RECT arranged_{};  // the canvas, DPI and mode the controls were last placed for
    UINT arrangedDpi_ = 0;
    bool arrangedCreation_ = false;
    size_t nextMode_ = 0, nextDetail_ = 0;  // the next rows (in the machine's order) whose values are to be read
    mutable std::wstring cell_;             // the text a list view request is answered with
};

}  // namespace kestrane
