#include "dataaccess/dialect/LikeRange.h"

#include <cstddef>
#include <cstdint>

#include "variant/Utf8.h"

namespace kx4::ado::dialect {
namespace {

// Characters whose upper case differs from that of their lower case (the
// capital I with a dot: lower-cased it is "i", whose upper case is "I").
// A lower-cased subject that shows such a key character cannot be placed by
// it, so the range stops before it.
bool AmbiguousWhenLowered(char32_t key) {
  static const std::u32string ambiguous = [] {
    std::u32string keys;
    for (char32_t c = 0; c < 0x10000; ++c) {
      if (c >= 0xD800 && c < 0xE000)
        continue;
      if (UpperChar(LowerChar(c)) != UpperChar(c))
        keys += UpperChar(LowerChar(c));
    }
    return keys;
  }();
  return ambiguous.find(key) != std::u32string::npos;
}

}  // namespace

bool PrefixKeyRange(std::string_view content, bool lowered, std::string& low, std::string& high) {
  // The leading characters every match begins with, by their keys.
  std::u32string prefix;
  size_t i = 0;
  while (i < content.size()) {
    const char c = content[i];
    char32_t literal;
    if (c == '%' || c == '_') {
      break;
    } else if (c == '[') {
      // "[x]" is x itself; any other bracket is a class of characters.
      if (i + 2 >= content.size() || content[i + 2] != ']' || content[i + 1] == '^' ||
          content[i + 1] == ']')
        break;
      literal = static_cast<unsigned char>(content[i + 1]);
      i += 3;
    } else if (c == '\'') {
      literal = '\'';
      i += 2;  // the doubled quote
    } else {
      literal = NextChar(content, i);
    }
    const char32_t key = UpperChar(literal);
    if (lowered && AmbiguousWhenLowered(key))
      break;
    prefix += key;
  }
  while (!prefix.empty() && prefix.back() == U' ')
    prefix.pop_back();  // keys have no trailing blanks
  if (prefix.empty())
    return false;
  // Past every key that begins with the prefix: its last character raised
  // to the next one that is its own key and no blank.
  std::u32string next = prefix;
  char32_t& last = next.back();
  do {
    ++last;
    if (last == 0xD800)
      last = 0xE000;
  } while (last <= 0x10FFFF && (UpperChar(last) != last || last == U' '));
  if (last > 0x10FFFF)
    return false;
  std::string text;
  for (char32_t cp : prefix)
    AppendUtf8(cp, text);
  low = Quoted(text, '\'');
  text.clear();
  for (char32_t cp : next)
    AppendUtf8(cp, text);
  high = Quoted(text, '\'');
  return true;
}

std::vector<LikeRange> LikeRanges(const Analyzer& analysis) {
  std::vector<LikeRange> ranges;
  const std::vector<Token>& tokens = analysis.Tokens();
  const std::vector<Node>& nodes = analysis.Nodes();
  for (const Node& n : nodes) {
    if (n.kind != NodeKind::kCondition || n.child_count != 2 || !WordIs(tokens[n.op], "LIKE"))
      continue;
    if (const size_t before = analysis.PreviousSignificant(n.op);
        before != n.op && WordIs(tokens[before], "NOT"))
      continue;
    const Node& pattern = analysis.Child(n, 1);
    const Token& literal = tokens[pattern.first];
    if (pattern.kind != NodeKind::kLiteral || pattern.first != pattern.last ||
        (literal.kind != TokenKind::kNString &&
         !(literal.kind == TokenKind::kString && literal.text.front() == '\'')))
      continue;
    const Node* subject = &analysis.Child(n, 0);
    const bool lowered = analysis.IsCallOf(*subject, "LOWER");
    if ((lowered || analysis.IsCallOf(*subject, "UPPER")) && subject->child_count == 1)
      subject = &analysis.Child(*subject, 0);
    const int32_t column = analysis.ColumnOf(static_cast<int32_t>(subject - nodes.data()), false);
    if (column < 0)
      continue;
    const size_t skip = literal.kind == TokenKind::kNString ? 2 : 1;
    if (literal.text.size() < skip + 1)
      continue;
    const std::string_view content = literal.text.substr(skip, literal.text.size() - skip - 1);
    LikeRange range{&n, &nodes[static_cast<size_t>(column)], {}, {}};
    if (PrefixKeyRange(content, lowered, range.low, range.high))
      ranges.push_back(std::move(range));
  }
  return ranges;
}

}  // namespace kx4::ado::dialect
