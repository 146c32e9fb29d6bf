// The rows of the "Tous les services" window, apart from the window: what each row shows, which rows the
// search and the filters keep, and in which order the chosen column puts them.
#pragma once

#include "service/ForbiddenList.h"
#include "service/ServiceManager.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrane {

enum class TableColumn { DisplayName, Name, State, StartMode, Verdict, Kind, Choice };
inline constexpr int kTableColumns = 7;

struct ServiceRow {
    std::wstring name, displayName, state;
    std::optional<std::wstring> startMode;  // read after the rows are shown: null until then
    bool delayed = false, trigger = false;  // read with the start mode's details
    bool detailsRead = false;
    Mark mark = Mark::None;
    std::wstring reason;                    // what the forbidden list says of it
    PerUser perUser = PerUser::None;
    std::wstring chosenState, chosenMode;   // creation mode: what the user chose to add for it
    size_t inventoryOrder = 0;              // its place in the machine's list, the order a save writes
    std::wstring foldedName, foldedDisplay;  // for the search
    std::string nameKey, displayKey;         // for sorting
};

// Text without letter case and accents, as the search compares it: "Télémétrie" gives "telemetrie".
std::wstring FoldForSearch(const std::wstring& text);

// The text of a cell as the table shows it.
std::wstring CellText(const ServiceRow& row, TableColumn column);

// The values of the two filters besides "tous": those of the selective display.
extern const std::vector<std::wstring> kStateFilterValues;
extern const std::vector<std::wstring> kModeFilterValues;
inline constexpr const wchar_t* kFilterAll = L"tous";

class ServicesTable {
public:
    // The machine's services (inventory order), with the forbidden list's verdict on each.
    void SetRows(const std::vector<ServiceEntry>& services, const std::vector<ForbiddenEntry>& forbidden);
    std::vector<ServiceRow>& Rows() { return rows_; }
    const std::vector<ServiceRow>& Rows() const { return rows_; }

    void SetSearch(const std::wstring& text);
    void SetStateFilter(const std::wstring& value);  // kFilterAll or one of kStateFilterValues
    void SetModeFilter(const std::wstring& value);
    const std::wstring& ModeFilter() const { return modeFilter_; }
    // Sorts by `column`; the same column again reverses the order. Equal rows keep the display name's order.
    void SortBy(TableColumn column);
    // Sorts by `column` in the given direction.
    void SortBy(TableColumn column, bool descending);
    TableColumn SortColumn() const { return sortColumn_; }
    bool Descending() const { return descending_; }

    // The rows shown, in their order: indexes into Rows(). Recomputed after any change above.
    const std::vector<size_t>& Shown() const { return shown_; }
    // Computes the rows shown again (after rows changed, a start mode read say).
    void Update();
    // The position among the rows shown of the service of that name, if shown.
    std::optional<size_t> PositionOf(const std::wstring& name) const;

private:
    bool Keeps(const ServiceRow& row) const;
    std::vector<ServiceRow> rows_;
    std::vector<size_t> shown_;
    std::wstring search_;
    std::wstring stateFilter_ = kFilterAll, modeFilter_ = kFilterAll;
    TableColumn sortColumn_ = TableColumn::DisplayName;
    bool descending_ = false;
};

}  // namespace kestrane
