#include "tools/kx4/Commands.h"

#include <kx4data/KXData.h>

#include <CLI/CLI.hpp>

#include <memory>

#include "tools/kx4/Context.h"

namespace kx4::cli {

CLI::App* AddGroup(CLI::App& root, const std::string& name, const std::string& summary) {
  CLI::App* group = root.add_subcommand(name, summary);
  group->require_subcommand(1);
  return group;
}

void ShowRecord(Context& context, Format format, Shown shown) {
  ValueRows rows(std::move(shown.names));
  rows.Add(std::move(shown.values));
  WriteRecord(context.Out(), rows, format);
}

CLI::App* AddShow(CLI::App& group, Context& context, const std::string& summary,
                  std::function<Shown(KXData&)> load) {
  auto format = std::make_shared<Format>(Format::kTable);
  CLI::App* show = group.add_subcommand("show", summary);
  AddFormatOption(*show, *format);
  show->callback([&context, format, load = std::move(load)] {
    std::unique_ptr<KXData> session = context.OpenSession();
    ShowRecord(context, *format, load(*session));
  });
  return show;
}

CLI::App* AddShowById(CLI::App& group, Context& context, const std::string& summary,
                      const std::string& record, std::function<Shown(KXData&, int32_t)> load) {
  auto id = std::make_shared<int32_t>(-1);
  CLI::App* show = AddShow(group, context, summary, [id, load = std::move(load)](KXData& session) {
    return load(session, *id);
  });
  show->add_option("id", *id, "The " + record + "'s id")->required();
  return show;
}

CLI::App* AddIdCommand(CLI::App& group, Context& context, const std::string& name,
                       const std::string& summary, const std::string& record,
                       std::function<void(KXData&, int32_t)> action) {
  auto id = std::make_shared<int32_t>(-1);
  CLI::App* command = group.add_subcommand(name, summary);
  command->add_option("id", *id, "The " + record + "'s id")->required();
  command->callback([&context, id, action = std::move(action)] {
    std::unique_ptr<KXData> session = context.OpenSession();
    action(*session, *id);
  });
  return command;
}

CLI::App* AddAddCommand(CLI::App& group, Context& context, const std::string& summary,
                        std::function<int32_t(KXData&)> save) {
  CLI::App* add = group.add_subcommand("add", summary);
  add->callback([&context, save = std::move(save)] {
    std::unique_ptr<KXData> session = context.OpenSession();
    context.Out() << save(*session) << '\n';
  });
  return add;
}

}  // namespace kx4::cli
