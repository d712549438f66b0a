#include "tools/kx4/Options.h"

#include <kx4data/RuntimeError.h>

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <map>
#include <regex>

namespace kx4::cli {
namespace {

template <typename Enum>
CLI::Option* AddNamedOption(CLI::App& command, const std::string& name, std::optional<Enum>& target,
                            const std::map<std::string, int>& names, const std::string& help) {
  std::string choices;
  for (const auto& [text, value] : names)
    choices += (choices.empty() ? "" : "|") + text;
  return command
      .add_option_function<int>(
          "--" + name, [&target](const int& value) { target = static_cast<Enum>(value); }, help)
      ->transform(CLI::CheckedTransformer(names, CLI::ignore_case).description(""))
      ->type_name(choices);
}

}  // namespace

void AddSwitch(CLI::App& command, const std::string& name, std::optional<bool>& target,
               const std::string& help) {
  // Given both, the last one counts.
  command.add_flag_callback(
      "--" + name, [&target] { target = true; }, help);
  command.add_flag_callback(
      "--no-" + name, [&target] { target = false; }, "The opposite of --" + name);
}

CLI::Option* AddMoneyOption(CLI::App& command, const std::string& name,
                            std::optional<Currency>& target, const std::string& help) {
  return command
      .add_option_function<std::string>(
          "--" + name,
          [&target, name](const std::string& text) { target = ParseMoney("--" + name, text); },
          help)
      ->type_name("AMOUNT");
}

CLI::Option* AddReportSecurityOption(CLI::App& command, const std::string& name,
                                     std::optional<KXReportSecurity>& target) {
  static const std::map<std::string, int> kNames = {
      {"none", kxrNone}, {"own", kxrOwnData}, {"all", kxrAllData}};
  return AddNamedOption(command, name, target, kNames,
                        "Reports the user may run: none, own (own jobs) or all");
}

CLI::Option* AddTrackStatusOption(CLI::App& command, const std::string& name,
                                  std::optional<KXTrackStatus>& target) {
  static const std::map<std::string, int> kNames = {
      {"popup", kxtPopup},    {"track-only", kxtTrackOnly}, {"ignore", kxtIgnore},
      {"abort", kxtAbortJob}, {"end-max", kxtEndJobMax},    {"end-quota", kxtEndJobQuota}};
  return AddNamedOption(command, name, target, kNames,
                        "How jobs are tracked: popup, track-only, ignore, abort, end-max or "
                        "end-quota");
}

Currency ParseMoney(const std::string& what, const std::string& text) {
  // Plain decimals only: no exponents, blanks, signs of other currencies or
  // locale separators slip through as some other amount.
  static const std::regex kAmount(R"([-+]?(\d+(\.\d*)?|\.\d+))");
  if (std::regex_match(text, kAmount)) {
    try {
      return Currency::Parse(text);
    } catch (const RuntimeError&) {
      throw CLI::ValidationError(what, "'" + text + "' is out of the range of money");
    }
  }
  throw CLI::ValidationError(what, "'" + text + "' is not an amount of money");
}

DateTime ParseDate(const std::string& what, const std::string& text) {
  static const std::regex kDate(R"(\d{4}-\d{2}-\d{2}([ T]\d{2}:\d{2}(:\d{2})?)?)");
  if (std::regex_match(text, kDate)) {
    if (std::optional<DateTime> date = DateTime::Parse(text))
      return *date;
  }
  throw CLI::ValidationError(what, "'" + text + "' is not a date (yyyy-mm-dd[ hh:mm[:ss]])");
}

Variant ParseParameter(const std::string& text) {
  const size_t colon = text.find(':');
  const std::string type = colon == std::string::npos ? "" : text.substr(0, colon);
  const std::string value = colon == std::string::npos ? "" : text.substr(colon + 1);
  const std::string what = "--param " + text;
  if (type == "text")
    return Variant(value);
  if (type == "money")
    return Variant(ParseMoney(what, value));
  if (type == "date")
    return Variant(ParseDate(what, value));
  if (type == "flag") {
    if (value == "true" || value == "false")
      return Variant(value == "true");
    throw CLI::ValidationError(what, "a flag is true or false");
  }
  if (type == "int") {
    int32_t number = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size() || value.empty())
      throw CLI::ValidationError(what, "'" + value + "' is not a 32-bit whole number");
    return Variant(number);
  }
  if (type == "number") {
    double number = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size() || value.empty() ||
        !std::isfinite(number))
      throw CLI::ValidationError(what, "'" + value + "' is not a number");
    return Variant(number);
  }
  throw CLI::ValidationError(what,
                             "give TYPE:VALUE with TYPE text, int, money, date, flag or "
                             "number");
}

}  // namespace kx4::cli
