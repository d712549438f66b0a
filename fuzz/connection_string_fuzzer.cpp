// The connection-string parser: any text parses, and what reaches libpq is
// what the text said or a refusal; settings written into a connection string
// read back exactly as they were, whatever they hold.
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "dataaccess/Engine.h"
#include "dataaccess/postgres/ConnectParams.h"
#include "session/clsConnectionVariables.h"

namespace {

using kx4::fuzz::Check;
using kx4::fuzz::Shown;

void CheckLibpqValues(const kx4::ado::ConnectionOptions& options) {
  if (options.IsEmbedded())
    return;
  try {
    const auto params = kx4::ado::pg::ConnectParams::From(options);
    for (const auto& [keyword, value] : params.Values())
      Check(value.find('\0') == std::string::npos,
            keyword + " " + Shown(value) + " would reach libpq cut short at its NUL");
  } catch (const kx4::ado::EngineError&) {
    // refused: a clear error for a data source it cannot use
  }
}

void CheckRoundTrip(const std::vector<std::string>& pieces) {
  auto piece = [&](size_t i) { return i < pieces.size() ? pieces[i] : std::string(); };
  kx4::clsConnectionVariables settings;
  settings.SetServer(piece(0));
  settings.SetDatabase(piece(1));
  settings.SetUser(piece(2));
  settings.SetPassword(piece(3));
  settings.SetNetProvider(piece(4));
  settings.SetNTAuthenticate(!piece(5).empty());
  const std::string text = settings.BuildConnectionString();
  if (text.empty())
    return;  // no server or no database
  const auto back = kx4::ado::ConnectionOptions::Parse(text);
  const std::string in = " in " + Shown(text);
  Check(back.provider == "SQLOLEDB", "provider " + Shown(back.provider) + in);
  Check(back.data_source == settings.Server(), "data source " + Shown(back.data_source) + in);
  Check(back.database == settings.Database(), "database " + Shown(back.database) + in);
  Check(back.network_library == settings.NetProvider(),
        "network library " + Shown(back.network_library) + in);
  Check(back.trusted == settings.NTAuthenticate(), "integrated authentication" + in);
  if (!settings.NTAuthenticate()) {
    Check(back.user_id == settings.User(), "user " + Shown(back.user_id) + in);
    Check(back.password == settings.Password(), "password " + Shown(back.password) + in);
  }
  CheckLibpqValues(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = kx4::fuzz::Text(data, size);
  CheckLibpqValues(kx4::ado::ConnectionOptions::Parse(input));
  CheckRoundTrip(kx4::fuzz::Pieces(input));
  return 0;
}
