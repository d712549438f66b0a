// "kx4 printer": printers known by their port, each with a configuration.
#include <kx4data/KXData.h>
#include <kx4data/Printer.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/Lists.h"

namespace kx4::cli {
namespace {

struct PrinterValues {
  std::string key;  // the name
  std::string port;
  int32_t config = -1;
  CLI::Option* key_option = nullptr;
  CLI::Option* port_option = nullptr;
  CLI::Option* config_option = nullptr;

  void AddOptions(CLI::App& command) {
    port_option = command.add_option("--port", port, "The port, unique without regard to case");
    config_option = command.add_option("--config", config, "The configuration's id");
  }
  void ApplyTo(Printer& printer) const {
    if (key_option->count() > 0)
      printer.SetName(key);
    if (port_option->count() > 0)
      printer.SetPort(port);
    if (config_option->count() > 0)
      printer.SetConfigurationId(config);
  }
};

// "show ID" or "show --port PORT".
void AddPrinterShow(CLI::App& group, Context& context) {
  struct Wanted {
    std::string port;
    CLI::Option* port_option = nullptr;
  };
  auto wanted = std::make_shared<Wanted>();
  CLI::App* show = AddShowById(
      group, context, "Show a printer, by id or by port", "printer",
      [wanted](KXData& session, int32_t id) {
        Printer printer;
        Check(wanted->port_option->count() > 0 ? printer.LoadByPort(session, wanted->port)
                                               : printer.Load(session, id));
        return Shown{{"PrinterId", "Name", "Port", "ConfigurationId"},
                     {Variant(printer.Id()), Variant(printer.Name()), Variant(printer.Port()),
                      Variant(printer.ConfigurationId())}};
      });
  CLI::Option* id = show->get_option("id");
  id->required(false);
  wanted->port_option =
      show->add_option("--port", wanted->port, "Find the printer by its port instead");
  id->excludes(wanted->port_option);
  show->parse_complete_callback([id, wanted] {
    if (id->count() == 0 && wanted->port_option->count() == 0)
      throw CLI::ValidationError("printer show", "give the printer's id or --port");
  });
}

}  // namespace

void AddPrinterCommands(CLI::App& root, Context& context) {
  CLI::App* group = AddGroup(root, "printer", "Printers, found by port");

  auto commands = AddSaveCommands<Printer, PrinterValues>(*group, context, "printer", "name");
  commands.added->config_option->required();
  AddPrinterShow(*group, context);
  AddListCommand(*group, context);
  AddIdCommand(
      *group, context, "delete", "Delete a printer", "printer",
      [](KXData& session, int32_t id) { Check(Loaded<Printer>(session, id).Delete(session)); });

  struct Batch {
    std::string ids;
    int32_t config = -1;
  };
  auto batch = std::make_shared<Batch>();
  CLI::App* move = group->add_subcommand("batch", "Move several printers to one configuration");
  move->add_option("ids", batch->ids, "Printer ids separated by commas, such as 2,7")->required();
  move->add_option("--config", batch->config, "The configuration's id")->required();
  move->callback([&context, batch] {
    std::unique_ptr<KXData> session = context.OpenSession();
    Printer printer;
    printer.SetConfigurationId(batch->config);
    Check(printer.BatchUpdate(*session, batch->ids));
  });
}

}  // namespace kx4::cli
