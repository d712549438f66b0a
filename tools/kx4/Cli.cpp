#include "tools/kx4/Cli.h"

#include <kx4data/DataGlobal.h>
#include <kx4data/RuntimeError.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"

namespace kx4::cli {
namespace {

// In the order --help lists them.  A later command group is one more
// function here and a source file of its own.
constexpr AddCommands kCommandGroups[] = {
    AddDemoCommand,      AddInitCommand,    AddConnectionCommands, AddUserCommands,
    AddPrinterCommands,  AddConfigCommands, AddPaperCommands,      AddCodeCommands,
    AddAppCommands,      AddJobCommands,    AddExportCommand,      AddSettingsCommands,
    AddSecurityCommands, AddReportCommand,  AddCupsCommands,
    AddSqlCommand,  // last: it hands over to another program
};

}  // namespace

int Run(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err,
        bool terminal_input) {
  CLI::App app("Set up and administer a print-tracking database.", "kx4");
  app.set_version_flag("--version", "kx4 " + DataGlobal().DataVersion());
  app.require_subcommand(1);
  // Options of the root command may follow a subcommand too.
  app.fallthrough();
  Context context(in, out, err, terminal_input);
  context.AddGlobalOptions(app);
  for (AddCommands add : kCommandGroups)
    add(app, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e, out, err);
    return status == static_cast<int>(CLI::ExitCodes::Success) ? 0 : kExitUsage;
  } catch (const CommandError& e) {
    out.flush();
    err << e.what() << '\n';
    return kExitFailed;
  } catch (const RuntimeError& e) {
    // A failed call of the library: no error object, only its description.
    out.flush();
    err << "kx4: " << e.Description() << '\n';
    return kExitFailed;
  } catch (const std::exception& e) {
    out.flush();
    err << "kx4: " << e.what() << '\n';
    return kExitFailed;
  }
  out.flush();
  if (!out) {
    err << "kx4: could not write the output\n";
    return kExitFailed;
  }
  return 0;
}

}  // namespace kx4::cli
