// Guards for the two session entry points that take SQL pieces from callers.
#ifndef KX4DATA_SESSION_STATEMENTCHECK_H_
#define KX4DATA_SESSION_STATEMENTCHECK_H_

#include <string>
#include <string_view>

namespace kx4 {

// Letters, digits and underscores, not starting with a digit, optionally
// qualified by one owner ("owner.name").
bool IsPlainIdentifier(std::string_view text);

// True when `sql` is one statement that only reads: SELECT, or WITH ...
// SELECT, optionally followed by one ";", with no word that writes (INSERT,
// UPDATE, DELETE, INTO, ...) or locks rows anywhere in it, and calling no
// function but the reading ones of a fixed list.  The text is cut as the
// shared tokenizer cuts it, which reads PostgreSQL's quoting (E'', U&, dollar
// quotes) as that server does; anything the engines might read differently
// (nested or unterminated comments, unterminated literals, @ names) is
// refused.  On refusal `reason` says why.
bool IsSingleReadStatement(std::string_view sql, std::string& reason);

}  // namespace kx4

#endif  // KX4DATA_SESSION_STATEMENTCHECK_H_
