// What the scheduler tells a backend about a job beyond its data: the
// options string of argv[5] (name=value pairs with the job's attributes
// among them), read into the facts a job record holds.
#ifndef KX4_TOOLS_CUPS_JOBOPTIONS_H_
#define KX4_TOOLS_CUPS_JOBOPTIONS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kx4::cups {

// Option names compare without regard to case, as the scheduler's do.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const;
};
using Options = std::map<std::string, std::string, NoCase>;

// Splits an options string: blank-separated name=value pairs whose values
// may be quoted ('...' or "..."), escaped with backslashes or braced
// collections; a bare name is "true", a bare "noname" makes name "false".
// A later pair replaces an earlier one of the same name.
Options ParseOptions(std::string_view text);

// The value of `name`, or none.
std::optional<std::string> Find(const Options& options, const std::string& name);

// A paper size: its name and its dimensions in tenths of a millimetre.
struct Media {
  std::string name;
  int32_t width = 0;
  int32_t height = 0;
};

// A size named as the scheduler and drivers name them: a common name
// ("A4", "Letter"), a self-describing one ("iso_a4_210x297mm",
// "na_letter_8.5x11in") or a driver's custom size ("Custom.210x297mm",
// points without a unit).  Sizes of the common table take its name.
std::optional<Media> LookUpMedia(std::string_view value);

// The job's paper: media (its first part naming a size), media-col's
// media-size, PageSize or PageRegion, in that order.
std::optional<Media> MediaOf(const Options& options);
// Colour when print-color-mode asks for it, or, without a decided mode,
// when ColorModel is not a grey or black one.  Monochrome without either.
bool ColorOf(const Options& options);
// media-type, media-col's media-type or MediaType; empty without one.
std::string PaperTypeOf(const Options& options);
// The submitting application where the attributes name it; empty otherwise.
std::string ApplicationOf(const Options& options);
// The host the job came from: `remote_host` (REMOTE_HOST) when set, else
// job-originating-host-name; the local host stands for `server`.
std::string HostOf(const Options& options, const char* remote_host, const std::string& server);
// The copies of argv[4], within 1 to 32767.
int16_t CopiesOf(std::string_view argument);

}  // namespace kx4::cups

#endif  // KX4_TOOLS_CUPS_JOBOPTIONS_H_
