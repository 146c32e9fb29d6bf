#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// What the forbidden list (liste\interdit.txt) says of a service.
enum class Mark {
    Forbidden,    // mark 1: the service must not be changed from here
    Discouraged,  // mark 0: the user is warned and may go on
    None,         // any other mark: no effect
};

struct ForbiddenEntry {
    std::wstring Name;  // the service's system name, as written in the list
    Mark mark;
    std::wstring Reason;  // why, in a few French words, for the user; may be empty

    friend bool operator==(const ForbiddenEntry&, const ForbiddenEntry&) = default;
};

// The entries of the forbidden list's content (ANSI code page bytes, or UTF-8 after a byte-order mark), in
// file order, a name listed twice included. Records are two fields of the field stream (see FieldReader):
// the name, then the mark. A quoted name is kept as written between its quotes; an unquoted one loses its
// surrounding blanks. The mark is read as a number: "1", " 1" or "1.0" is Forbidden, "0" Discouraged,
// anything else (another number, text, an empty field) None. A last name without its mark is dropped.
// Where the name and the mark share a line and the mark does not end it, the reason follows: a quoted field
// that ends the line; any other third field is an error (UserError, naming the line).
std::vector<ForbiddenEntry> ParseForbiddenList(std::string_view bytes);

// The forbidden list of the application folder (CheminAppli + "liste\interdit.txt"), or nothing when it
// is missing or cannot be read; then `problem`, when given, says why (empty for a missing file).
// What the user is told when the list cannot be taken: that it is missing, or (with `problem`, the line
// and what is wrong, or why the file cannot be read) that it holds an error.
std::wstring GuardListProblem(const std::wstring& problem);

std::optional<std::vector<ForbiddenEntry>> ReadForbiddenList(const std::wstring& cheminAppli,
                                                             std::wstring* problem = nullptr);

// A line of a report with the reason after it, when there is one.
std::wstring WithReason(const std::wstring& line, const std::wstring& reason);

}  // namespace kestrane
