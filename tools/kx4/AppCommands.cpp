// "kx4 app": applications whose jobs get a tracking option of their own.
#include <kx4data/AppTrack.h>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Lists.h"
#include "tools/kx4/Options.h"

namespace kx4::cli {
namespace {

struct AppValues {
  std::string key;  // the name
  std::string description;
  std::optional<KXTrackStatus> track;
  CLI::Option* key_option = nullptr;
  CLI::Option* description_option = nullptr;

  void AddOptions(CLI::App& command) {
    description_option = command.add_option("--description", description, "What it is");
    AddTrackStatusOption(command, "track", track);
  }
  void ApplyTo(AppTrack& app) const {
    if (key_option->count() > 0)
      app.SetName(key);
    if (description_option->count() > 0)
      app.SetDescription(description);
    if (track)
      app.SetTrackOptionId(*track);
  }
};

}  // namespace

void AddAppCommands(CLI::App& root, Context& context) {
  CLI::App* group = AddGroup(root, "app", "Applications tracked with an option of their own");
  AddSaveCommands<AppTrack, AppValues>(*group, context, "tracked application", "name");
  AddShowById(*group, context, "Show a tracked application", "application",
              [](KXData& session, int32_t id) {
                AppTrack app = Loaded<AppTrack>(session, id);
                return Shown{{"ApplicationId", "Name", "Description", "TrackOptionId"},
                             {Variant(app.Id()), Variant(app.Name()), Variant(app.Description()),
                              Variant(static_cast<int32_t>(app.TrackOptionId()))}};
              });
  AddListCommand(*group, context);
  AddIdCommand(
      *group, context, "delete", "Delete a tracked application", "application",
      [](KXData& session, int32_t id) { Check(Loaded<AppTrack>(session, id).Delete(session)); });
}

}  // namespace kx4::cli
