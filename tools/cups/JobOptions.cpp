#include "tools/cups/JobOptions.h"

#include <strings.h>

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kx4::cups {
namespace {

struct KnownSize {
  const char* name;
  int32_t width;
  int32_t height;
};

// Common sizes in tenths of a millimetre; B4 and B5 are the Japanese sizes
// drivers mean by those names.
constexpr std::array<KnownSize, 22> kSizes{{
    {"A0", 8410, 11890},     {"A1", 5940, 8410},        {"A2", 4200, 5940},
    {"A3", 2970, 4200},      {"A4", 2100, 2970},        {"A5", 1480, 2100},
    {"A6", 1050, 1480},      {"B4", 2570, 3640},        {"B5", 1820, 2570},
    {"Letter", 2159, 2794},  {"Legal", 2159, 3556},     {"Executive", 1842, 2667},
    {"Tabloid", 2794, 4318}, {"Ledger", 4318, 2794},    {"Statement", 1397, 2159},
    {"Env10", 1048, 2413},   {"EnvDL", 1100, 2200},     {"EnvC5", 1620, 2290},
    {"EnvC4", 2290, 3240},   {"EnvMonarch", 984, 1905}, {"Postcard", 1000, 1480},
    {"4x6", 1016, 1524},
}};

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::optional<double> Number(std::string_view text) {
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !(value > 0) || value > 1e6)
    return std::nullopt;
  return value;
}

// "WxH" followed by a unit, in tenths of a millimetre.
std::optional<Media> Dimensions(std::string_view text, std::string_view default_unit) {
  size_t unit_at = text.size();
  while (unit_at > 0 && std::isalpha(static_cast<unsigned char>(text[unit_at - 1])))
    --unit_at;
  std::string unit = Lower(text.substr(unit_at));
  if (unit.empty())
    unit = default_unit;
  double tenths = 0;
  if (unit == "mm") {
    tenths = 10;
  } else if (unit == "cm") {
    tenths = 100;
  } else if (unit == "in") {
    tenths = 254;
  } else if (unit == "pt") {
    tenths = 254.0 / 72;
  } else {
    return std::nullopt;
  }
  const std::string_view numbers = text.substr(0, unit_at);
  const size_t x = numbers.find('x');
  if (x == std::string_view::npos)
    return std::nullopt;
  std::optional<double> width = Number(numbers.substr(0, x));
  std::optional<double> height = Number(numbers.substr(x + 1));
  if (!width || !height)
    return std::nullopt;
  Media media;
  media.width = static_cast<int32_t>(std::lround(*width * tenths));
  media.height = static_cast<int32_t>(std::lround(*height * tenths));
  return media;
}

// The common name of a size, when the table has it.
void NameKnownSize(Media& media) {
  for (const KnownSize& size : kSizes) {
    if (std::abs(size.width - media.width) <= 1 && std::abs(size.height - media.height) <= 1) {
      media.name = size.name;
      return;
    }
  }
}

// The options of a braced collection value.
Options Collection(const std::string& value) {
  if (value.size() < 2 || value.front() != '{' || value.back() != '}')
    return {};
  return ParseOptions(std::string_view(value).substr(1, value.size() - 2));
}

std::optional<Media> MediaColSize(const Options& options) {
  std::optional<std::string> col = Find(options, "media-col");
  if (!col)
    return std::nullopt;
  const Options size = Collection(Find(Collection(*col), "media-size").value_or(""));
  std::optional<std::string> x = Find(size, "x-dimension");
  std::optional<std::string> y = Find(size, "y-dimension");
  if (!x || !y)
    return std::nullopt;
  // Hundredths of a millimetre.
  std::optional<double> width = Number(*x);
  std::optional<double> height = Number(*y);
  if (!width || !height)
    return std::nullopt;
  std::optional<Media> media = Media{};
  media->width = static_cast<int32_t>(std::lround(*width / 10));
  media->height = static_cast<int32_t>(std::lround(*height / 10));
  NameKnownSize(*media);
  if (media->name.empty())
    media->name = "custom";
  return media;
}

}  // namespace

bool NoCase::operator()(const std::string& a, const std::string& b) const {
  return ::strcasecmp(a.c_str(), b.c_str()) < 0;
}

Options ParseOptions(std::string_view text) {
  Options options;
  size_t at = 0;
  auto blank = [&] { return std::isspace(static_cast<unsigned char>(text[at])); };
  while (at < text.size()) {
    while (at < text.size() && blank())
      ++at;
    if (at == text.size())
      break;
    std::string name;
    while (at < text.size() && !blank() && text[at] != '=')
      name += text[at++];
    if (at == text.size() || text[at] != '=') {
      if (name.size() > 2 && EqualNoCase(name.substr(0, 2), "no"))
        options[name.substr(2)] = "false";
      else if (!name.empty())
        options[name] = "true";
      continue;
    }
    ++at;  // '='
    std::string value;
    int braces = 0;
    while (at < text.size() && (braces > 0 || !blank())) {
      const char c = text[at++];
      if (c == '\\' && at < text.size()) {
        value += text[at++];
      } else if ((c == '\'' || c == '"') && braces == 0) {
        while (at < text.size() && text[at] != c) {
          if (text[at] == '\\' && at + 1 < text.size())
            ++at;
          value += text[at++];
        }
        if (at < text.size())
          ++at;  // the closing quote
      } else {
        braces += c == '{' ? 1 : (c == '}' && braces > 0 ? -1 : 0);
        value += c;
      }
    }
    if (!name.empty())
      options[name] = value;
  }
  return options;
}

std::optional<std::string> Find(const Options& options, const std::string& name) {
  auto found = options.find(name);
  if (found == options.end())
    return std::nullopt;
  return found->second;
}

std::optional<Media> LookUpMedia(std::string_view value) {
  for (const KnownSize& size : kSizes) {
    if (EqualNoCase(value, size.name))
      return Media{size.name, size.width, size.height};
  }
  std::optional<Media> media;
  if (value.size() > 7 && EqualNoCase(value.substr(0, 7), "Custom.")) {
    media = Dimensions(value.substr(7), "pt");
  } else if (size_t last = value.rfind('_'); last != std::string_view::npos) {
    // class_name_WxHunit
    media = Dimensions(value.substr(last + 1), "");
  }
  if (!media)
    return std::nullopt;
  media->name = std::string(value);
  NameKnownSize(*media);
  return media;
}

std::optional<Media> MediaOf(const Options& options) {
  if (std::optional<std::string> media = Find(options, "media")) {
    // "A4,Transparency,Tray1": size, type and source in any order.
    std::string_view parts = *media;
    while (!parts.empty()) {
      const size_t comma = parts.find(',');
      if (std::optional<Media> size = LookUpMedia(parts.substr(0, comma)))
        return size;
      parts = comma == std::string_view::npos ? std::string_view() : parts.substr(comma + 1);
    }
  }
  if (std::optional<Media> size = MediaColSize(options))
    return size;
  for (const char* name : {"PageSize", "PageRegion"}) {
    if (std::optional<std::string> value = Find(options, name)) {
      if (std::optional<Media> size = LookUpMedia(*value))
        return size;
    }
  }
  return std::nullopt;
}

bool ColorOf(const Options& options) {
  const std::string mode = Lower(Find(options, "print-color-mode").value_or(""));
  if (mode == "color" || mode == "process-color")
    return true;
  if (mode == "monochrome" || mode == "process-monochrome" || mode == "bi-level" ||
      mode == "auto-monochrome" || mode == "process-bi-level")
    return false;
  std::optional<std::string> model = Find(options, "ColorModel");
  if (!model)
    return false;
  const std::string lower = Lower(*model);
  for (const char* grey : {"gray", "grey", "black", "mono", "none"}) {
    if (lower.find(grey) != std::string::npos)
      return false;
  }
  return !lower.empty();
}

std::string PaperTypeOf(const Options& options) {
  if (std::optional<std::string> type = Find(options, "media-type"))
    return *type;
  if (std::optional<std::string> col = Find(options, "media-col")) {
    if (std::optional<std::string> type = Find(Collection(*col), "media-type"))
      return *type;
  }
  return Find(options, "MediaType").value_or("");
}

std::string ApplicationOf(const Options& options) {
  for (const char* name : {"job-originating-application-name", "application-name",
                           "com.apple.print.JobInfo.PMApplicationName"}) {
    if (std::optional<std::string> application = Find(options, name);
        application && !application->empty())
      return *application;
  }
  if (std::optional<std::string> client = Find(options, "client-info")) {
    // One collection, or the first of several.
    const size_t end = client->find('}');
    const std::string first = client->substr(0, end == std::string::npos ? end : end + 1);
    if (std::optional<std::string> name = Find(Collection(first), "client-name"))
      return *name;
  }
  return "";
}

std::string HostOf(const Options& options, const char* remote_host, const std::string& server) {
  std::string host = remote_host != nullptr ? remote_host : "";
  if (host.empty())
    host = Find(options, "job-originating-host-name").value_or("");
  if (host.empty() || EqualNoCase(host, "localhost") || host == "127.0.0.1" || host == "::1" ||
      host.front() == '/')
    return server;
  return host;
}

int16_t CopiesOf(std::string_view argument) {
  long copies = 0;
  auto [end, error] = std::from_chars(argument.data(), argument.data() + argument.size(), copies);
  if (error == std::errc::result_out_of_range)
    return 32767;
  if (error != std::errc() || end != argument.data() + argument.size() || copies < 1)
    return 1;
  return static_cast<int16_t>(std::min(copies, 32767L));
}

}  // namespace kx4::cups
