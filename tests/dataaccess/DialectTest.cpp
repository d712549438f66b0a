// The tokenizer, the batch splitter and the translation for SQLite.
#include <gtest/gtest.h>

#include "dataaccess/dialect/Dialect.h"

namespace kx4::ado::dialect {
namespace {

// SQLite's spellings, as the engine registers them.
class SqliteLike : public Hooks {
 public:
  void Identity(std::string& out) const override { out += "last_insert_rowid()"; }
  void CurrentTime(std::string& out) const override { out += "kx4_getdate()"; }
  void CastSmallDateTime(std::string_view e, std::string& out) const override {
    out += "kx4_smalldatetime(";
    out += e;
    out += ')';
  }
  void Placeholder(int index, std::string& out) const override {
    out += '$';
    out += std::to_string(index + 1);
  }
  void AssignedValue(std::string_view table, std::string_view column, std::string_view expr,
                     std::string& out) const override {
    if (column == "Active")
      out += "B(" + std::string(expr) + ")";
    else
      out += expr;
    assigned += std::string(table) + "." + std::string(column) + "=" + std::string(expr) + ";";
  }
  mutable std::string assigned;
};

std::vector<std::string> Translated(std::string_view batch, const Hooks& hooks) {
  Translator t(hooks);
  std::vector<std::string> out;
  for (const Statement& s : t.Translate(batch))
    out.push_back(s.sql);
  return out;
}

TEST(Tokenizer, IsLosslessAndKeepsLiteralsWhole) {
  const std::string sql =
      "SELECT N'it''s ? -- no', 'x/*y*/', [a]]b], \"q\" FROM t -- c ?\n/* /* n */ ? */ WHERE a<>?";
  std::vector<Token> tokens;
  Tokenize(sql, tokens);
  std::string joined;
  int markers = 0;
  for (const Token& t : tokens) {
    joined += t.text;
    markers += t.kind == TokenKind::kMarker;
  }
  EXPECT_EQ(joined, sql);
  EXPECT_EQ(markers, 1);
  EXPECT_EQ(tokens[2].kind, TokenKind::kNString);
  EXPECT_EQ(tokens[2].text, "N'it''s ? -- no'");
}

TEST(Tokenizer, UnterminatedLiteralRunsToTheEnd) {
  std::vector<Token> tokens;
  Tokenize("SELECT 'abc", tokens);
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[2].text, "'abc");
  EXPECT_TRUE(tokens[2].open);
  for (const char* sql :
       {"SELECT E'\\'", "SELECT $x$ abc $x", "SELECT U&\"a", "SELECT [a", "SELECT 1 /* /* */"}) {
    tokens.clear();
    Tokenize(sql, tokens);
    EXPECT_TRUE(tokens.back().open) << sql;
  }
  tokens.clear();
  Tokenize("SELECT 'a', E'\\\\', $$b$$, [c], /* d */ 1", tokens);
  for (const Token& t : tokens)
    EXPECT_FALSE(t.open) << t.text;
}

// Only the significant tokens, as text.
std::vector<std::string> Pieces(std::string_view sql) {
  std::vector<Token> tokens;
  Tokenize(sql, tokens);
  std::string joined;
  std::vector<std::string> out;
  for (const Token& t : tokens) {
    joined += t.text;
    if (Significant(t))
      out.emplace_back(t.text);
  }
  EXPECT_EQ(joined, sql);
  return out;
}

TEST(Tokenizer, CutsPostgresQuotingWhereTheServerDoes) {
  using V = std::vector<std::string>;
  // Backslash escapes in E'' strings; nothing else escapes a quote.
  EXPECT_EQ(Pieces("SELECT E'it\\'s; x', 'a\\'"), (V{"SELECT", "E'it\\'s; x'", ",", "'a\\'"}));
  EXPECT_EQ(Pieces("SELECT e'\\\\'; x"), (V{"SELECT", "e'\\\\'", ";", "x"}));
  // Unicode-escaped strings and names.
  EXPECT_EQ(Pieces("SELECT U&'d\\0061t''a', u&\"x\"\"y\" UESCAPE '!'"),
            (V{"SELECT", "U&'d\\0061t''a'", ",", "u&\"x\"\"y\"", "UESCAPE", "'!'"}));
  // Dollar quotes, with and without a tag; $1 is a parameter and a$b$ a name.
  EXPECT_EQ(Pieces("SELECT $$a;'b$$, $t$ $$ ; $t$, $1, a$b$c"),
            (V{"SELECT", "$$a;'b$$", ",", "$t$ $$ ; $t$", ",", "$", "1", ",", "a$b$c"}));
  // A line comment ends at a carriage return too.
  EXPECT_EQ(Pieces("SELECT 1 -- c\r; x"), (V{"SELECT", "1", ";", "x"}));
  std::vector<Token> tokens;
  Tokenize("E'a' U&'b' $$c$$ U&\"d\"", tokens);
  EXPECT_EQ(tokens[0].kind, TokenKind::kString);
  EXPECT_EQ(tokens[2].kind, TokenKind::kString);
  EXPECT_EQ(tokens[4].kind, TokenKind::kString);
  EXPECT_EQ(tokens[6].kind, TokenKind::kQuotedName);
  EXPECT_EQ(NameText(tokens[6]), "d");
}

TEST(Tokenizer, ResolvesNamesAsPostgresReadsThem) {
  // The name and the index after it, or "refused".
  auto resolve = [](std::string_view sql) {
    std::vector<Token> tokens;
    Tokenize(sql, tokens);
    std::string name;
    size_t next = 0;
    return ResolveName(tokens, 0, name, next) ? name + "|" + std::to_string(next)
                                              : std::string("refused");
  };
  EXPECT_EQ(resolve("Lower("), "lower|1");
  EXPECT_EQ(resolve("[Lo]]w](x)"), "lo]w|1");
  EXPECT_EQ(resolve("\"Lo\"\"w\""), "Lo\"w|1");
  EXPECT_EQ(resolve("U&\"set\\005fconfig\"("), "set_config|1");
  EXPECT_EQ(resolve("U&\"a\\+0000e9\\\\\""), "a\xc3\xa9\\|1");
  EXPECT_EQ(resolve("U&\"set!005fconfig\" /* c */ UESCAPE '!' (x)"), "set_config|7");
  // Escapes the server refuses, and a UESCAPE it would not take.
  for (const char* refused :
       {"U&\"a\\00zz\"", "U&\"a\\d800\"", "U&\"a\\12\"", "U&\"a\\0000\"", "U&\"a\" UESCAPE 'b'",
        "U&\"a\" UESCAPE '+'", "U&\"a\" UESCAPE '!!'", "U&\"a\" UESCAPE", "'text'", "U&\"open"})
    EXPECT_EQ(resolve(refused), "refused") << refused;
}

TEST(Translator, SplitsInsertBatchesWrittenWithoutSeparators) {
  SqliteLike hooks;
  const auto a = Translated(
      "SET NOCOUNT ON INSERT INTO tblApplications (Name, Description, TrackOptionId) VALUES "
      "(N'a', NULL, 1) SELECT @@IDENTITY AS NewId SET NOCOUNT OFF",
      hooks);
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0],
            "INSERT INTO tblApplications (Name, Description, TrackOptionId) VALUES ('a', NULL, 1)");
  EXPECT_EQ(a[1], "SELECT last_insert_rowid() AS NewId");

  const auto b = Translated(
      "SET NOCOUNT ON INSERT INTO tblPrinters (Name, Port, ConfigurationId) VALUES (N'P', N'L', "
      "1)SELECT @@IDENTITY As NewId SET NOCOUNT OFF",
      hooks);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[1], "SELECT last_insert_rowid() As NewId");

  const auto c = Translated(
      "SET NOCOUNT ON INSERT INTO tblUsers(PinCode, Name) VALUES (?, ?) SET NOCOUNT OFF SELECT "
      "@@IDENTITY AS NewId",
      hooks);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0], "INSERT INTO tblUsers(PinCode, Name) VALUES ($1, $2)");
}

TEST(Translator, DropsOnlyABareSetNoCount) {
  SqliteLike hooks;
  EXPECT_TRUE(Translated("SET NOCOUNT ON; SET NOCOUNT OFF", hooks).empty());
  // What follows SET NOCOUNT and starts no statement the splitter knows is
  // handed on, for the engine to refuse, not dropped as if it had run.
  const auto kept = Translated("SET NOCOUNT ON DROP TABLE tblUsers", hooks);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0], "SET NOCOUNT ON DROP TABLE tblUsers");
  EXPECT_EQ(Translated("SET NOCOUNT 'x' SELECT 1", hooks),
            (std::vector<std::string>{"SET NOCOUNT 'x'", "SELECT 1"}));
}

TEST(Translator, KeepsInsertSelectAndUnionsTogether) {
  SqliteLike hooks;
  EXPECT_EQ(Translated("INSERT INTO t (a) SELECT a FROM u", hooks).size(), 1u);
  EXPECT_EQ(Translated("SELECT a FROM t UNION ALL SELECT a FROM u", hooks).size(), 1u);
  EXPECT_EQ(Translated("SELECT a FROM t WHERE a IN (SELECT b FROM u)", hooks).size(), 1u);
  EXPECT_EQ(Translated("UPDATE t SET a = 1 SELECT 2", hooks).size(), 2u);
  EXPECT_EQ(Translated("SELECT 1; SELECT 2;", hooks).size(), 2u);
}

TEST(Translator, RewritesTheDialectsIdioms) {
  SqliteLike hooks;
  EXPECT_EQ(Translated("SELECT ISNULL(C.Code, 'Unknown') AS V FROM tblX C", hooks)[0],
            "SELECT COALESCE(C.Code, 'Unknown') AS V FROM tblX C");
  EXPECT_EQ(Translated("SELECT GETDATE ( )", hooks)[0], "SELECT kx4_getdate()");
  EXPECT_EQ(Translated("DELETE FROM t WHERE d >= CAST('Jan 01, 2026 00:00:00' AS smalldatetime)",
                       hooks)[0],
            "DELETE FROM t WHERE d >= kx4_smalldatetime('Jan 01, 2026 00:00:00')");
  EXPECT_EQ(Translated("SELECT TOP 10 a FROM t ORDER BY a", hooks)[0],
            "SELECT a FROM t ORDER BY a LIMIT 10");
  EXPECT_EQ(Translated("SELECT a FROM t WHERE a IN (SELECT DISTINCT TOP 1 b FROM u)", hooks)[0],
            "SELECT a FROM t WHERE a IN (SELECT DISTINCT b FROM u LIMIT 1)");
  EXPECT_EQ(Translated("SELECT [Name] FROM [tblX]", hooks)[0], "SELECT \"Name\" FROM \"tblX\"");
  EXPECT_EQ(Translated("SELECT CAST(a AS int) FROM t", hooks)[0], "SELECT CAST(a AS int) FROM t");
}

TEST(Translator, PassesLiteralsCommentsAndUnknownTextThrough) {
  SqliteLike hooks;
  const std::string sql =
      "SELECT 'GETDATE() ? @@IDENTITY N''x''' /* ? ISNULL( */ FROM t -- ?\nWHERE x = ?";
  const auto out = Translated(sql, hooks);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0],
            "SELECT 'GETDATE() ? @@IDENTITY N''x''' /* ? ISNULL( */ FROM t -- ?\nWHERE x = $1");
  EXPECT_EQ(Translated("MERGE INTO whatever USING x", hooks)[0], "MERGE INTO whatever USING x");
  // Two literals side by side stay two (the second is a column name there).
  EXPECT_EQ(Translated("SELECT N'a'N'b', 'c'N'd'", hooks)[0], "SELECT 'a' 'b', 'c' 'd'");
  // Nor does U& before a literal or [name] become PostgreSQL's escaped form.
  EXPECT_EQ(Translated("SELECT U&N'\\0041', u&[x]", hooks)[0], "SELECT U& '\\0041', u& \"x\"");
}

TEST(Translator, HandsAssignedValuesToTheHook) {
  SqliteLike hooks;
  EXPECT_EQ(
      Translated("INSERT INTO tblUsers (Name, Active) VALUES (N'a', -1), (N'b', ?)", hooks)[0],
      "INSERT INTO tblUsers (Name, Active) VALUES ('a', B(-1)), ('b', B($1))");
  EXPECT_EQ(
      Translated("UPDATE tblUsers SET Active = -1, Name = N'x, y' WHERE Active = 1", hooks)[0],
      "UPDATE tblUsers SET Active = B(-1), Name = 'x, y' WHERE Active = 1");
  EXPECT_EQ(hooks.assigned,
            "tblUsers.Name='a';tblUsers.Active=-1;tblUsers.Name='b';tblUsers.Active=$1;"
            "tblUsers.Active=-1;tblUsers.Name='x, y';");
}

TEST(Translator, NumbersMarkersAcrossTheBatch) {
  SqliteLike hooks;
  Translator t(hooks);
  const auto& s = t.Translate("UPDATE t SET a = ? WHERE b = ? SELECT ? FROM t");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].first_param, 0);
  EXPECT_EQ(s[0].param_count, 2);
  EXPECT_EQ(s[1].first_param, 2);
  EXPECT_EQ(s[1].sql, "SELECT $3 FROM t");
  EXPECT_EQ(t.ParamCount(), 3);
}

}  // namespace
}  // namespace kx4::ado::dialect
