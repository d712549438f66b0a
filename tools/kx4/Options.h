// Option kinds the commands share.  Values that do not parse are usage
// errors (exit status 2) before anything reaches the library.
#ifndef KX4_TOOLS_KX4_OPTIONS_H_
#define KX4_TOOLS_KX4_OPTIONS_H_

#include <kx4data/Currency.h>
#include <kx4data/DateTime.h>
#include <kx4data/KXEnums.h>
#include <kx4data/Variant.h>

#include <optional>
#include <string>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace kx4::cli {

// "--NAME" sets true, "--no-NAME" false; neither leaves `target` empty.
void AddSwitch(CLI::App& command, const std::string& name, std::optional<bool>& target,
               const std::string& help);
// "--NAME AMOUNT": decimal money, at most four places kept.
CLI::Option* AddMoneyOption(CLI::App& command, const std::string& name,
                            std::optional<Currency>& target, const std::string& help);
// "--NAME none|own|all" (or 0, 1, 2).
CLI::Option* AddReportSecurityOption(CLI::App& command, const std::string& name,
                                     std::optional<KXReportSecurity>& target);
// "--NAME popup|track-only|ignore|abort|end-max|end-quota" (or 1 to 6).
CLI::Option* AddTrackStatusOption(CLI::App& command, const std::string& name,
                                  std::optional<KXTrackStatus>& target);

// Usage errors name `what` and the text.
Currency ParseMoney(const std::string& what, const std::string& text);
// "yyyy-mm-dd", optionally with " hh:mm[:ss]" or "Thh:mm[:ss]".
DateTime ParseDate(const std::string& what, const std::string& text);
// A typed statement parameter: "text:VALUE", "int:N", "money:AMOUNT",
// "date:DATE", "flag:true|false" or "number:X".
Variant ParseParameter(const std::string& text);

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_OPTIONS_H_
