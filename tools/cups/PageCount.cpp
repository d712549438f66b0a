#include "tools/cups/PageCount.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <map>
#include <vector>

namespace kx4::cups {
namespace {

constexpr std::string_view kUniversalExit = "\x1b%-12345X";

int Clamp(int64_t pages) {
  return pages > INT_MAX ? INT_MAX : static_cast<int>(pages);
}

// ---- PostScript document-structure comments ----

// Counts "%%Page:" comments outside embedded documents, and keeps the last
// "%%Pages:" number ("(atend)" defers it to the trailer).
std::optional<int> CountByComments(std::istream& data, bool& declared_only) {
  int64_t page_comments = 0;
  std::optional<int64_t> declared;
  int embedded = 0;
  std::string line;
  while (std::getline(data, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.rfind("%%", 0) != 0)
      continue;
    if (line.rfind("%%BeginDocument", 0) == 0) {
      ++embedded;
    } else if (line.rfind("%%EndDocument", 0) == 0) {
      if (embedded > 0)
        --embedded;
    } else if (embedded > 0) {
      continue;
    } else if (line.rfind("%%Pages:", 0) == 0) {
      const char* value = line.c_str() + 8;
      while (*value == ' ' || *value == '\t')
        ++value;
      if (std::isdigit(static_cast<unsigned char>(*value)))
        declared = std::strtoll(value, nullptr, 10);
    } else if (line.rfind("%%Page:", 0) == 0) {
      ++page_comments;
    }
  }
  declared_only = page_comments == 0;
  if (page_comments > 0)
    return Clamp(page_comments);
  if (declared)
    return Clamp(*declared);
  return std::nullopt;
}

// ---- PostScript interpretation of the page operators ----
//
// Without comments the pages are the operators that emit one (showpage,
// copypage), followed through procedures bound to names, repeat and for
// loops, exec and conditionals (a conditional page is counted, ifelse
// counts its larger branch).  Everything else is passed over.
class PageOperators {
 public:
  explicit PageOperators(std::istream& data) : data_(data) { frames_.emplace_back(); }

  std::optional<int> Count() {
    bool any = false;
    for (int c = data_.get(); c != EOF; c = data_.get()) {
      any = true;
      Scan(c);
    }
    if (!any)
      return std::nullopt;
    while (frames_.size() > 1)
      EndProcedure();
    return Clamp(frames_.front().pages);
  }

 private:
  struct Operand {
    enum Kind { kInteger, kProcedure, kName, kOther } kind = kOther;
    int64_t number = 0;  // the integer, or the procedure's pages
    std::string name;
  };
  struct Frame {
    int64_t pages = 0;
    std::vector<Operand> operands;
  };

  static bool Delimiter(int c) {
    return std::isspace(c) || std::strchr("()<>[]{}/%", c) != nullptr;
  }

  void Scan(int c) {
    if (std::isspace(c))
      return;
    switch (c) {
      case '%':
        while ((c = data_.get()) != EOF && c != '\n' && c != '\r') {
        }
        return;
      case '(':
        SkipString();
        return Push(Operand{});
      case '<':
        if (data_.peek() == '<') {
          data_.get();
        } else if (data_.peek() == '~') {
          SkipUntil("~>");
        } else {
          SkipUntil(">");
        }
        return Push(Operand{});
      case '>':
        if (data_.peek() == '>')
          data_.get();
        return Push(Operand{});
      case '[':
      case ']':
        return Push(Operand{});
      case '{':
        frames_.emplace_back();
        return;
      case '}':
        if (frames_.size() > 1)
          EndProcedure();
        return;
      case '/': {
        if (data_.peek() == '/')
          data_.get();  // an immediately evaluated name
        Operand name{Operand::kName, 0, Word(data_.get())};
        return Push(std::move(name));
      }
      default:
        return Execute(Word(c));
    }
  }

  std::string Word(int c) {
    std::string word;
    while (c != EOF && !Delimiter(c)) {
      word += static_cast<char>(c);
      if (Delimiter(data_.peek()) || data_.peek() == EOF)
        break;
      c = data_.get();
    }
    return word;
  }

  void SkipString() {
    int depth = 1;
    for (int c = data_.get(); c != EOF; c = data_.get()) {
      if (c == '\\') {
        data_.get();
      } else if (c == '(') {
        ++depth;
      } else if (c == ')' && --depth == 0) {
        return;
      }
    }
  }

  void SkipUntil(std::string_view end) {
    size_t matched = 0;
    for (int c = data_.get(); c != EOF; c = data_.get()) {
      matched = c == end[matched] ? matched + 1 : (c == end[0] ? 1 : 0);
      if (matched == end.size())
        return;
    }
  }

  void Push(Operand operand) {
    auto& operands = frames_.back().operands;
    if (operands.size() == 16)
      operands.erase(operands.begin());
    operands.push_back(std::move(operand));
  }

  // The top `n` operands when they are all there; procedures hold pages.
  const Operand* Top(size_t n) {
    auto& operands = frames_.back().operands;
    return operands.size() >= n ? &operands[operands.size() - n] : nullptr;
  }
  void Drop(size_t n) {
    auto& operands = frames_.back().operands;
    operands.resize(operands.size() >= n ? operands.size() - n : 0);
  }

  void EndProcedure() {
    const int64_t pages = frames_.back().pages;
    frames_.pop_back();
    Push(Operand{Operand::kProcedure, pages, {}});
  }

  void AddPages(int64_t pages) {
    int64_t& total = frames_.back().pages;
    total = pages > 0 && total > INT_MAX - pages ? INT_MAX : total + std::max<int64_t>(pages, 0);
  }

  void Execute(const std::string& word) {
    char* end = nullptr;
    const long long number = std::strtoll(word.c_str(), &end, 10);
    if (!word.empty() && *end == '\0')
      return Push(Operand{Operand::kInteger, number, {}});
    if (word == "showpage" || word == "copypage")
      return AddPages(1);
    if (word == "bind")
      return;
    const Operand* top = nullptr;
    if (word == "def" && (top = Top(2)) && top[0].kind == Operand::kName) {
      if (top[1].kind == Operand::kProcedure && top[1].number > 0)
        aliases_[top[0].name] = top[1].number;
      else
        aliases_.erase(top[0].name);
      return Drop(2);
    }
    if (word == "repeat" && (top = Top(2)) && top[0].kind == Operand::kInteger &&
        top[1].kind == Operand::kProcedure) {
      const int64_t times = std::min<int64_t>(top[0].number, INT_MAX);
      AddPages(times > 0 && top[1].number > INT_MAX / times ? INT_MAX : times * top[1].number);
      return Drop(2);
    }
    if (word == "for" && (top = Top(4)) && top[3].kind == Operand::kProcedure &&
        top[0].kind == Operand::kInteger && top[1].kind == Operand::kInteger &&
        top[2].kind == Operand::kInteger && top[1].number != 0) {
      const int64_t runs = (top[2].number - top[0].number) / top[1].number + 1;
      const int64_t times = std::min<int64_t>(std::max<int64_t>(runs, 0), INT_MAX);
      AddPages(times > 0 && top[3].number > INT_MAX / times ? INT_MAX : times * top[3].number);
      return Drop(4);
    }
    if ((word == "exec" || word == "if") && (top = Top(1)) && top[0].kind == Operand::kProcedure) {
      AddPages(top[0].number);
      return Drop(1);
    }
    if (word == "ifelse" && (top = Top(2)) && top[0].kind == Operand::kProcedure &&
        top[1].kind == Operand::kProcedure) {
      AddPages(std::max(top[0].number, top[1].number));
      return Drop(2);
    }
    if (auto alias = aliases_.find(word); alias != aliases_.end())
      return AddPages(alias->second);
    Push(Operand{});
  }

  std::istream& data_;
  std::vector<Frame> frames_;
  std::map<std::string, int64_t> aliases_;
};

// ---- raster ----

class RasterReader {
 public:
  explicit RasterReader(std::istream& data) : data_(data) {}

  std::optional<int> Count() {
    char sync[4];
    if (!data_.read(sync, 4))
      return std::nullopt;
    const std::string_view word(sync, 4);
    if (word == "RaSt" || word == "RaS2" || word == "RaS3") {
      big_endian_ = true;
    } else if (word == "tSaR" || word == "2SaR" || word == "3SaR") {
      big_endian_ = false;
    } else {
      return std::nullopt;
    }
    compressed_ = word[3] == '2' || word[0] == '2';
    // Version 1 streams carry the short header of the first raster format.
    const size_t header_size = word[3] == 't' || word[0] == 't' ? 420 : 1796;
    std::vector<unsigned char> header(header_size);
    int pages = 0;
    while (data_.read(reinterpret_cast<char*>(header.data()), header_size)) {
      ++pages;
      const uint32_t height = Field(header, 376);
      const uint32_t bits_per_pixel = Field(header, 388);
      const uint32_t bytes_per_line = Field(header, 392);
      if (bytes_per_line == 0 || bits_per_pixel == 0 || bits_per_pixel > 240)
        return std::nullopt;
      // The last page may be cut short; it was started, so it counts.
      if (!SkipPage(height, bytes_per_line, (bits_per_pixel + 7) / 8))
        return pages;
    }
    return pages;
  }

 private:
  uint32_t Field(const std::vector<unsigned char>& header, size_t at) const {
    const unsigned char* b = header.data() + at;
    return big_endian_ ? (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (b[2] << 8) | b[3]
                       : (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (b[1] << 8) | b[0];
  }

  bool Skip(uint64_t bytes) {
    data_.ignore(static_cast<std::streamsize>(bytes));
    return static_cast<uint64_t>(data_.gcount()) == bytes;
  }

  // Uncompressed pages are whole lines; compressed lines start with a
  // repeat count and hold runs of pixels, 128 filling the rest of the line.
  bool SkipPage(uint32_t height, uint32_t bytes_per_line, uint32_t bytes_per_pixel) {
    if (!compressed_)
      return Skip(uint64_t{height} * bytes_per_line);
    for (uint64_t y = 0; y < height;) {
      const int repeat = data_.get();
      if (repeat == EOF)
        return false;
      y += static_cast<uint64_t>(repeat) + 1;
      for (uint64_t x = 0; x < bytes_per_line;) {
        const int control = data_.get();
        if (control == EOF)
          return false;
        if (control == 128) {
          x = bytes_per_line;
        } else if (control < 128) {
          if (!Skip(bytes_per_pixel))
            return false;
          x += uint64_t{bytes_per_pixel} * (control + 1);
        } else {
          const uint64_t run = uint64_t{bytes_per_pixel} * (257 - control);
          if (!Skip(run))
            return false;
          x += run;
        }
      }
    }
    return true;
  }

  std::istream& data_;
  bool big_endian_ = true;
  bool compressed_ = false;
};

}  // namespace

DataFormat DetectFormat(std::string_view head) {
  while (!head.empty() && head.front() == '\x04')
    head.remove_prefix(1);
  if (head.size() >= 4) {
    const std::string_view sync = head.substr(0, 4);
    if (sync == "RaS2" && head.substr(4, 9) == "PwgRaster")
      return DataFormat::kPwgRaster;
    for (std::string_view word : {"RaSt", "tSaR", "RaS2", "2SaR", "RaS3", "3SaR"}) {
      if (sync == word)
        return DataFormat::kCupsRaster;
    }
  }
  if (head.rfind(kUniversalExit, 0) == 0) {
    // The job language header ends where the page description starts.
    const size_t postscript = head.find("%!");
    const size_t pdf = head.find("%PDF-");
    if (pdf != std::string_view::npos && pdf <= postscript)
      return DataFormat::kPdf;
    return postscript != std::string_view::npos ? DataFormat::kPostScript : DataFormat::kOther;
  }
  if (head.substr(0, 1024).find("%PDF-") != std::string_view::npos)
    return DataFormat::kPdf;
  if (head.rfind("%!", 0) == 0)
    return DataFormat::kPostScript;
  return DataFormat::kOther;
}

const char* FormatName(DataFormat format) {
  switch (format) {
    case DataFormat::kPdf:
      return "PDF";
    case DataFormat::kPostScript:
      return "PostScript";
    case DataFormat::kPwgRaster:
      return "PWG raster";
    case DataFormat::kCupsRaster:
      return "CUPS raster";
    case DataFormat::kOther:
      break;
  }
  return "unknown";
}

std::optional<int> CountPdfPages(const std::string& path) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str());
    return Clamp(static_cast<int64_t>(QPDFPageDocumentHelper(pdf).getAllPages().size()));
  } catch (const std::exception&) {
    // Damaged beyond repair, or locked with a password.
    return std::nullopt;
  }
}

std::optional<int> CountPostScriptPages(std::istream& data, std::string* how) {
  bool declared_only = false;
  if (std::optional<int> pages = CountByComments(data, declared_only)) {
    if (how)
      *how = declared_only ? "its %%Pages comment" : "its %%Page comments";
    return pages;
  }
  data.clear();
  data.seekg(0);
  if (how)
    *how = "its page operators";
  return PageOperators(data).Count();
}

std::optional<int> CountRasterPages(std::istream& data) {
  return RasterReader(data).Count();
}

PageCount CountPages(const std::string& path) {
  PageCount count;
  std::ifstream data(path, std::ios::binary);
  if (!data) {
    count.how = "the data could not be read";
    return count;
  }
  std::array<char, 4096> head{};
  data.read(head.data(), head.size());
  count.format = DetectFormat(std::string_view(head.data(), data.gcount()));
  data.clear();
  data.seekg(0);
  switch (count.format) {
    case DataFormat::kPdf:
      count.pages = CountPdfPages(path);
      count.how = "its page tree";
      break;
    case DataFormat::kPostScript:
      count.pages = CountPostScriptPages(data, &count.how);
      break;
    case DataFormat::kPwgRaster:
    case DataFormat::kCupsRaster:
      count.pages = CountRasterPages(data);
      count.how = "its page headers";
      break;
    case DataFormat::kOther:
      count.how = "a format without a page counter";
      return count;
  }
  if (!count.pages)
    count.how = "damaged data";
  return count;
}

}  // namespace kx4::cups
