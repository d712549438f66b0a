#include "tools/kx4/Lists.h"

#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include <CLI/CLI.hpp>

#include <vector>

#include "tools/kx4/Context.h"
#include "tools/kx4/Output.h"
#include "tools/kx4/Progress.h"

namespace kx4::cli {
namespace {

std::vector<ListCommand>& Registered() {
  static std::vector<ListCommand> commands;
  return commands;
}

}  // namespace

ListCommand Unfiltered(std::string group, std::string summary, ListCommand::Fetch fetch) {
  return {std::move(group),
          std::move(summary),
          [fetch = std::move(fetch)](CLI::App&) { return fetch; },
          {}};
}

ListRegistration::ListRegistration(ListCommand command) {
  Registered().push_back(std::move(command));
}

void AddListCommand(CLI::App& group, Context& context) {
  for (const ListCommand& command : Registered()) {
    if (command.group != group.get_name())
      continue;
    CLI::App* list = group.add_subcommand("list", command.summary);
    auto format = std::make_shared<Format>(Format::kTable);
    AddFormatOption(*list, *format);
    ListCommand::Fetch fetch = command.add_filters(*list);
    list->callback([&context, &command, format, fetch] {
      std::unique_ptr<KXData> session = context.OpenSession();
      std::shared_ptr<ado::Recordset> records;
      Check(fetch(*session, records));
      RecordsetRows rows(records, command.hidden);
      Progress progress;
      WriteRows(context.Out(), rows, *format, &progress);
    });
  }
}

}  // namespace kx4::cli
