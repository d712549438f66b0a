// Page counts of print data as the scheduler hands it to a backend: PDF
// (through qpdf), PostScript (its document-structure comments, else a small
// interpretation of its page operators), and PWG and CUPS raster (their page
// headers).  Anything else is left to the job's attributes.
#ifndef KX4_TOOLS_CUPS_PAGECOUNT_H_
#define KX4_TOOLS_CUPS_PAGECOUNT_H_

#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace kx4::cups {

enum class DataFormat { kPdf, kPostScript, kPwgRaster, kCupsRaster, kOther };

// The format the first bytes of the data show.  PostScript may follow a
// control-D or a printer job language header.
DataFormat DetectFormat(std::string_view head);
const char* FormatName(DataFormat format);

struct PageCount {
  DataFormat format = DataFormat::kOther;
  std::optional<int> pages;  // none when the data could not be counted
  std::string how;           // how it was counted, or why it was not
};

// Counts the pages of the file at `path`.
PageCount CountPages(const std::string& path);

// The counters by format; none when the data is not of that format or is
// damaged beyond counting.
std::optional<int> CountPdfPages(const std::string& path);
// `how` says whether the comments or the interpretation gave the count.
std::optional<int> CountPostScriptPages(std::istream& data, std::string* how = nullptr);
std::optional<int> CountRasterPages(std::istream& data);

}  // namespace kx4::cups

#endif  // KX4_TOOLS_CUPS_PAGECOUNT_H_
