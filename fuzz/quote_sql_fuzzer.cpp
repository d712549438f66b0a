// The literal builders against the engines themselves (SQLite always,
// PostgreSQL when KX4_TEST_PGHOST names a server):
//  - QuoteSQL of a non-empty text reads back as exactly that text; a text
//    with a NUL is refused, invalid UTF-8 reads back exactly or is refused;
//  - the pattern form after LIKE matches exactly the values that begin with
//    the text, '%' in it matching any run of characters, checked against a
//    small matcher of its own over values derived from the text.
#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Database.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "dataaccess/Command.h"
#include "dataaccess/Connection.h"
#include "dataaccess/ResultTable.h"
#include "session/Common.h"
#include "variant/Utf8.h"

namespace {

using kx4::fuzz::Check;
using kx4::fuzz::Shown;

struct Database {
  std::string name;
  std::string connection_string;
  std::shared_ptr<kx4::ado::Connection> connection;
};

std::vector<Database>& Databases() {
  static auto* databases = new std::vector<Database>;
  return *databases;
}
std::string& Folder() {
  static auto* folder = new std::string;
  return *folder;
}

void Open(const std::string& name, const std::string& server, const std::string& database) {
  Database db{name,
              "Provider=SQLOLEDB;Data Source=" + server + ";Database=" + database +
                  ";Trusted_Connection=Yes;",
              std::make_shared<kx4::ado::Connection>()};
  kx4::ado::CreateDatabase(db.connection_string);
  db.connection->SetConnectionString(db.connection_string);
  db.connection->Open();
  Databases().push_back(std::move(db));
}

void DropAll() {
  for (Database& db : Databases()) {
    db.connection.reset();
    try {
      kx4::ado::DropDatabase(db.connection_string);
    } catch (const std::exception&) {
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
}

// The first field of the statement's rows; nullopt when it has none, and
// RuntimeError when the engine refuses it.
std::optional<std::string> FirstValue(const Database& db, const std::string& sql,
                                      const std::string* parameter = nullptr) {
  kx4::ado::Command command;
  command.SetCommandText(sql);
  if (parameter)
    command.Parameters().emplace_back("Par0", kx4::ado::adVarWChar, kx4::ado::adParamInput,
                                      static_cast<int32_t>(parameter->size()),
                                      kx4::Variant(*parameter));
  command.SetActiveConnection(db.connection);
  kx4::ado::ResultTable rows;
  command.ExecuteInto(rows);
  if (rows.RowCount() == 0)
    return std::nullopt;
  return rows.Value(0, 0).ToString();
}

bool IsCleanText(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    char32_t c;
    if (s[i] == '\0' || !kx4::DecodeUtf8(s, i, c))
      return false;
  }
  return true;
}

// LIKE with '%' as the only wildcard, and a '%' after the pattern.
bool BeginsWith(std::string_view value, std::string_view text) {
  size_t percent = text.find('%');
  if (value.substr(0, std::min(percent, text.size())) !=
      text.substr(0, std::min(percent, text.size())))
    return false;
  size_t at = percent == std::string_view::npos ? value.size() : percent;
  while (percent != std::string_view::npos) {
    const size_t next = text.find('%', percent + 1);
    const std::string_view piece = text.substr(percent + 1, next - percent - 1);
    const size_t found = value.find(piece, at);
    if (found == std::string_view::npos)
      return false;
    at = found + piece.size();
    percent = next;
  }
  return true;
}

void CheckReadBack(const Database& db, const std::string& text) {
  const std::string sql = "SELECT " + kx4::QuoteSQL(text) + " AS V";
  try {
    const std::optional<std::string> back = FirstValue(db, sql);
    Check(back && *back == text, db.name + ": " + Shown(sql) + " reads back as " +
                                     (back ? Shown(*back) : std::string("no row")));
    Check(text.find('\0') == std::string::npos,
          db.name + ": a text with a NUL was taken: " + Shown(sql));
  } catch (const kx4::RuntimeError& e) {
    Check(!IsCleanText(text), db.name + ": " + Shown(sql) + " is refused: " + e.what());
  }
}

void CheckPattern(const Database& db, const std::string& text,
                  const std::vector<std::string>& values) {
  if (text.empty() || !IsCleanText(text))
    return;
  const std::string upper_sql = "SELECT UPPER(?) AS U";
  const std::string upper_text = *FirstValue(db, upper_sql, &text);
  const std::string sql = "SELECT 1 AS M WHERE UPPER(?) LIKE " + kx4::QuoteSQL(upper_text, true);
  for (const std::string& value : values) {
    if (!IsCleanText(value))
      continue;
    const std::string upper_value = *FirstValue(db, upper_sql, &value);
    std::optional<std::string> match;
    try {
      match = FirstValue(db, sql, &value);
    } catch (const kx4::RuntimeError& e) {
      kx4::fuzz::Fail(db.name + ": " + Shown(sql) + " is refused: " + e.what());
    }
    Check(match.has_value() == BeginsWith(upper_value, upper_text),
          db.name + ": " + Shown(sql) + (match ? " matches " : " does not match ") +
              Shown(upper_value));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/kx4fuzz.XXXXXX";
  if (::mkdtemp(pattern) == nullptr)
    kx4::fuzz::Fail("no scratch folder");
  Folder() = pattern;
  const std::string unique = std::to_string(::getpid());
  try {
    Open("SQLite", "(localdb)", Folder() + "/literals.db");
    if (const char* host = std::getenv("KX4_TEST_PGHOST"); host && *host) {
      const char* port = std::getenv("KX4_TEST_PGPORT");
      Open("PostgreSQL", std::string(host) + (port && *port ? std::string(",") + port : ""),
           "kx4fuzz_" + unique);
    }
  } catch (const std::exception& e) {
    kx4::fuzz::Fail(std::string("cannot set up the databases: ") + e.what());
  }
  std::atexit(DropAll);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> pieces = kx4::fuzz::Pieces(kx4::fuzz::Text(data, size));
  const std::string& text = pieces[0];
  // Values that begin with the text, or nearly do, and whatever else came.
  std::vector<std::string> values(pieces.begin() + 1, pieces.end());
  values.push_back(text);
  values.push_back(text + "x");
  values.push_back("x" + text);
  values.push_back(text.substr(0, text.size() / 2));
  std::string filled = text;
  for (size_t at = 0; (at = filled.find('%', at)) != std::string::npos; at += 2)
    filled.replace(at, 1, "ab");
  values.push_back(filled);
  for (const Database& db : Databases()) {
    if (!text.empty())
      CheckReadBack(db, text);
    CheckPattern(db, text, values);
  }
  return 0;
}
