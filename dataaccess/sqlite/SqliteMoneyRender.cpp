// How a typed statement's money becomes calls of the functions in
// SqliteMoney.cpp, on ten-thousandths.
#include <string>

#include "dataaccess/Money.h"
#include "dataaccess/dialect/Analyzer.h"
#include "dataaccess/sqlite/SqliteMoney.h"

namespace kx4::ado::sqlite {
namespace {

using dialect::Analyzer;
using dialect::Edits;
using dialect::Node;
using dialect::NodeKind;
using dialect::Token;
using dialect::TokenKind;
using dialect::Use;
using dialect::ValueKind;
using money::Exact;
using money::Wide;

// The literal a node stands for: a number or text, with a sign before it.
bool Literal(const Analyzer& a, const Node& n, Exact& value, uint32_t& sign, uint32_t& token) {
  const Node* literal = &n;
  sign = UINT32_MAX;
  if (n.kind == NodeKind::kUnary && n.child_count == 1 &&
      a.Child(n, 0).kind == NodeKind::kLiteral && a.Tokens()[n.op].text != "~") {
    sign = n.op;
    literal = &a.Child(n, 0);
  }
  if (literal->kind != NodeKind::kLiteral)
    return false;
  const Token& t = a.Tokens()[literal->op];
  std::string_view text = t.text;
  if (t.kind == TokenKind::kString || t.kind == TokenKind::kNString) {
    const size_t skip = t.kind == TokenKind::kNString ? 2 : 1;
    if (text.size() < skip + 1)
      return false;
    text = text.substr(skip, text.size() - skip - 1);
  } else if (t.kind != TokenKind::kNumber) {
    return false;
  }
  if (!money::ParseExact(text, value))
    return false;
  if (sign != UINT32_MAX && a.Tokens()[sign].text == "-")
    value.mantissa = -value.mantissa;
  token = literal->op;
  return true;
}

void ReplaceLiteral(Edits& edits, uint32_t sign, uint32_t token, std::string text) {
  if (sign != UINT32_MAX)
    edits.Replace(sign, "");
  edits.Replace(token, std::move(text));
}

void Wrap(Edits& edits, const Node& n, std::string before, std::string after) {
  edits.Before(n.first, std::move(before));
  edits.After(n.last, std::move(after));
}

// How the expression around takes the node.
void Convert(const Analyzer& a, const Node& n, Edits& edits) {
  Exact value;
  uint32_t sign, token;
  switch (n.use) {
    case Use::kAsIs:
      return;
    case Use::kMoney: {
      int64_t ticks;
      if (Literal(a, n, value, sign, token) && money::ToTicks(value, ticks, n.scale))
        return ReplaceLiteral(edits, sign, token, std::to_string(ticks));
      if (n.scale == money::kPlaces)
        return Wrap(edits, n, "kx4_tomoney(", ")");
      return Wrap(edits, n, "kx4_tomoney(", ", " + std::to_string(n.scale) + ")");
    }
    case Use::kCompareMoney: {
      std::string literal;
      Wide whole;
      if (Literal(a, n, value, sign, token)) {
        Scaled(value, literal, whole);
        if (!literal.empty())
          return ReplaceLiteral(edits, sign, token, literal);
      }
      if (n.type == ValueKind::kInteger)
        return Wrap(edits, n, "(", " * 10000)");
      return Wrap(edits, n, "kx4_mcmp(", ")");
    }
    case Use::kFloat:
      return Wrap(edits, n, "(", " / 10000.0)");
    case Use::kText:
      return Wrap(edits, n, "kx4_mtext(", ")");
    case Use::kInteger:
      return Wrap(edits, n, "kx4_mtoint(", ")");
  }
}

bool InTicks(const Node& n) {
  return n.type == ValueKind::kMoney || n.use == Use::kMoney;
}

// The node's own operation on ten-thousandths.
void Operate(const Analyzer& a, const Node& n, Edits& edits) {
  const Token& op = a.Tokens()[n.op];
  if (n.kind == NodeKind::kArithmetic && n.concat) {
    edits.Replace(n.op, "||");
    return;
  }
  if (n.type != ValueKind::kMoney)
    return;
  switch (n.kind) {
    case NodeKind::kArithmetic: {
      const Node& l = a.Child(n, 0);
      const Node& r = a.Child(n, 1);
      const char* name = op.text == "+"   ? "kx4_madd("
                         : op.text == "-" ? "kx4_msub("
                         : op.text == "*" ? "kx4_mmul("
                         : op.text == "/" ? "kx4_mdiv("
                                          : "kx4_mmod(";
      const int mask = (InTicks(l) ? 1 : 0) | (InTicks(r) ? 2 : 0);
      edits.Before(n.first, name);
      edits.Replace(n.op, ",");
      edits.After(n.last, ", " + std::to_string(mask) + ")");
      // Decimal literals travel as text, exactly.
      for (const Node* c : {&l, &r}) {
        const Token& t = a.Tokens()[c->op];
        if (c->kind == NodeKind::kLiteral && c->use == Use::kAsIs && t.kind == TokenKind::kNumber &&
            c->type != ValueKind::kInteger) {
          std::string quoted(1, '\'');
          quoted.append(t.text).push_back('\'');
          edits.Replace(c->op, std::move(quoted));
        }
      }
      return;
    }
    case NodeKind::kUnary:
      if (op.text == "-") {
        edits.Replace(n.op, "kx4_mneg(");
        edits.After(n.last, ")");
      }
      return;
    case NodeKind::kAggregate:
      if (dialect::WordIs(op, "AVG"))
        edits.Replace(n.op, "kx4_mavg");
      return;
    case NodeKind::kCall:
      if (dialect::WordIs(op, "ROUND"))
        edits.Replace(n.op, "kx4_mround");
      else if (dialect::WordIs(op, "CEILING"))
        edits.Replace(n.op, "kx4_mceiling");
      else if (dialect::WordIs(op, "FLOOR"))
        edits.Replace(n.op, "kx4_mfloor");
      return;
    case NodeKind::kCast:
      if (n.scale < money::kPlaces && a.Child(n, 0).type == ValueKind::kMoney)
        Wrap(edits, n, "kx4_mround(", ", " + std::to_string(n.scale) + ")");
      return;
    default:
      return;
  }
}

}  // namespace

void RenderMoney(const Analyzer& analysis, Edits& edits) {
  const auto& nodes = analysis.Nodes();
  // Parents before children: what wraps a node is added before what the
  // node itself writes.
  for (size_t i = nodes.size(); i-- > 0;) {
    Convert(analysis, nodes[i], edits);
    Operate(analysis, nodes[i], edits);
  }
}

}  // namespace kx4::ado::sqlite
