#include "windows/services/ServicesTable.h"

#include "service/Programme.h"

#include <windows.h>

#include <algorithm>

namespace kestrane {

const std::vector<std::wstring> kStateFilterValues = {L"Running", L"Stopped"};
const std::vector<std::wstring> kModeFilterValues = {L"Auto", L"Manual", L"Disabled"};

std::wstring FoldForSearch(const std::wstring& text) {
    // Decomposed, each accent is a character of its own, which is dropped; then lower case.
    std::wstring decomposed;
    int length = NormalizeString(NormalizationKD, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    if (length > 0) {
        decomposed.resize(static_cast<size_t>(length));
        length = NormalizeString(NormalizationKD, text.c_str(), static_cast<int>(text.size()), decomposed.data(), length);
    }
    if (length <= 0) decomposed = text;  // a name that cannot be normalised (a lone surrogate) is compared as it is
    else decomposed.resize(static_cast<size_t>(length));
    std::wstring out;
    out.reserve(decomposed.size());
    for (wchar_t c : decomposed) {
        // The combining marks (accents, cedillas, ...) of the decomposed text.
        bool mark = (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
                    (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F);
        if (!mark) out += c;
    }
    if (!out.empty()) CharLowerBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

namespace {

std::string SortKey(const std::wstring& text) {
    int bytes = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), static_cast<int>(text.size()),
                             nullptr, 0);
    if (bytes <= 0) return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    std::string key(static_cast<size_t>(bytes), '\0');
    LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), static_cast<int>(text.size()),
                 reinterpret_cast<LPWSTR>(key.data()), bytes);
    return key;
}

}  // namespace

std::wstring CellText(const ServiceRow& row, TableColumn column) {
    switch (column) {
    case TableColumn::DisplayName: return row.displayName;
    case TableColumn::Name: return row.name;
    case TableColumn::State: return row.state;
    case TableColumn::StartMode: {
        if (!row.startMode) return L"";
        ServiceInfo info;
        info.StartMode = row.startMode;
        info.DelayedAutoStart = std::wstring(row.delayed ? L"True" : L"False");
        info.TriggerStart = std::wstring(row.trigger ? L"True" : L"False");
        return StartModeShown(info);
    }
    case TableColumn::Verdict:
        return row.mark == Mark::Forbidden ? L"refusé" : row.mark == Mark::Discouraged ? L"déconseillé" : L"";
    case TableColumn::Kind:
        return row.perUser == PerUser::Template   ? L"modèle par utilisateur"
               : row.perUser == PerUser::Instance ? L"instance par utilisateur"
                                                  : L"";
    case TableColumn::Choice:
        if (row.chosenState.empty() && row.chosenMode.empty()) return L"";
        return row.chosenState + L" / " + row.chosenMode;
    }
    return L"";
}

void ServicesTable::SetRows(const std::vector<ServiceEntry>& services, const std::vector<ForbiddenEntry>& forbidden) {
    rows_.clear();
    rows_.reserve(services.size());
    for (const ServiceEntry& s : services) {
        ServiceRow row;
        row.name = s.Name;
        row.displayName = s.DisplayName;
        row.state = s.State.value_or(L"");
        row.startMode = s.StartMode;
        row.mark = MarkOf(s.Name, forbidden);
        row.reason = ReasonOf(s.Name, forbidden);
        row.perUser = s.perUser;
        row.inventoryOrder = rows_.size();
        row.foldedName = FoldForSearch(s.Name);
        row.foldedDisplay = FoldForSearch(s.DisplayName);
        row.nameKey = SortKey(s.Name);
        row.displayKey = SortKey(s.DisplayName);
        rows_.push_back(std::move(row));
    }
    Update();
}

void ServicesTable::SetSearch(const std::wstring& text) {
    search_ = FoldForSearch(text);
    Update();
}

void ServicesTable::SetStateFilter(const std::wstring& value) {
    stateFilter_ = value;
    Update();
}

void ServicesTable::SetModeFilter(const std::wstring& value) {
    modeFilter_ = value;
    Update();
}

void ServicesTable::SortBy(TableColumn column) { SortBy(column, column == sortColumn_ ? !descending_ : false); }

void ServicesTable::SortBy(TableColumn column, bool descending) {
    sortColumn_ = column;
    descending_ = descending;
    Update();
}

bool ServicesTable::Keeps(const ServiceRow& row) const {
    if (stateFilter_ != kFilterAll && row.state != stateFilter_) return false;
    if (modeFilter_ != kFilterAll && row.startMode != std::optional<std::wstring>(modeFilter_)) return false;
    if (search_.empty()) return true;
    return row.foldedName.find(search_) != std::wstring::npos || row.foldedDisplay.find(search_) != std::wstring::npos;
}

void ServicesTable::Update() {
    shown_.clear();
    for (size_t i = 0; i < rows_.size(); ++i)
        if (Keeps(rows_[i])) shown_.push_back(i);
    const TableColumn column = sortColumn_;
    // The cells of the column, made once: a comparison reads two of them.
    std::vector<std::wstring> cells;
    if (column != TableColumn::Name && column != TableColumn::DisplayName) {
        cells.resize(rows_.size());
        for (size_t i : shown_) cells[i] = CellText(rows_[i], column);
    }
    auto order = [&](size_t a, size_t b) -> int {
        if (column == TableColumn::Name) return rows_[a].nameKey.compare(rows_[b].nameKey);
        if (column == TableColumn::DisplayName) return rows_[a].displayKey.compare(rows_[b].displayKey);
        const std::wstring& x = cells[a];
        const std::wstring& y = cells[b];
        if (x == y) return 0;
        // Empty cells (a start mode not read yet, no verdict) go after the others.
        if (x.empty() || y.empty()) return descending_ ? (x.empty() ? -1 : 1) : (x.empty() ? 1 : -1);
        return x.compare(y);
    };
    // The column's order, then the display name's, then the name's: equal rows are never in a chance order.
    std::sort(shown_.begin(), shown_.end(), [&](size_t a, size_t b) {
        int c = order(a, b);
        if (c != 0) return descending_ ? c > 0 : c < 0;
        if (rows_[a].displayKey != rows_[b].displayKey) return rows_[a].displayKey < rows_[b].displayKey;
        if (rows_[a].nameKey != rows_[b].nameKey) return rows_[a].nameKey < rows_[b].nameKey;
        return a < b;
    });
}

std::optional<size_t> ServicesTable::PositionOf(const std::wstring& name) const {
    for (size_t i = 0; i < shown_.size(); ++i)
        if (CompareStringOrdinal(rows_[shown_[i]].name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) return i;
    return std::nullopt;
}

}  // namespace kestrane
