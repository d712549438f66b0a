// "kx4 report": one reading statement on a read-only connection.
#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/Options.h"
#include "tools/kx4/Progress.h"

namespace kx4::cli {

void AddReportCommand(CLI::App& root, Context& context) {
  struct State {
    std::string statement;
    std::vector<Variant> parameters;
    Format format = Format::kTable;
  };
  auto state = std::make_shared<State>();
  CLI::App* report = root.add_subcommand(
      "report",
      "Run one SELECT statement on a read-only connection (needs the right to report "
      "on all jobs)");
  report->add_option("statement", state->statement, "The statement; values as ? markers")
      ->required();
  report
      ->add_option_function<std::vector<std::string>>(
          "-p,--param",
          [state](const std::vector<std::string>& texts) {
            for (const std::string& text : texts)
              state->parameters.push_back(ParseParameter(text));
          },
          "A value for the next ? marker: text:VALUE, int:N, number:X, money:AMOUNT, "
          "date:yyyy-mm-dd[Thh:mm[:ss]] or flag:true|false")
      ->type_name("TYPE:VALUE");
  AddFormatOption(*report, state->format);
  report->callback([&context, state] {
    std::unique_ptr<KXData> session = context.OpenSession(true);
    std::shared_ptr<ado::Recordset> rows;
    Check(session->ExecuteReportSQL(
        rows, state->statement,
        state->parameters.empty() ? Variant() : Variant(VariantArray(state->parameters))));
    RecordsetRows listing(rows);
    Progress progress;
    WriteRows(context.Out(), listing, state->format, &progress);
  });
}

}  // namespace kx4::cli
