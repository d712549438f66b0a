// Page counters on small samples made here: PDF written by qpdf, PostScript
// with and without its comments, and raster streams of each kind.
#include "tools/cups/PageCount.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace kx4::cups {
namespace {

using kx4::test::TempDir;
using kx4::test::WriteFile;

std::string WritePdf(const TempDir& dir, const std::string& name, int pages) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper document(pdf);
  for (int i = 0; i < pages; ++i) {
    document.addPage(pdf.makeIndirectObject(QPDFObjectHandle::parse(
                         "<< /Type /Page /MediaBox [0 0 595 842] /Resources << >> >>")),
                     false);
  }
  const std::string path = dir / name;
  QPDFWriter writer(pdf, path.c_str());
  writer.write();
  return path;
}

TEST(PageCount, PdfPagesComeFromItsPageTree) {
  TempDir dir;
  for (int pages : {1, 3, 40}) {
    PageCount count = CountPages(WritePdf(dir, "doc.pdf", pages));
    EXPECT_EQ(count.format, DataFormat::kPdf);
    EXPECT_EQ(count.pages, pages);
  }
  // Broken beyond repair: no count rather than a guess.
  const std::string broken = dir / "broken.pdf";
  WriteFile(broken, "%PDF-1.4\nthis is not a PDF at all\n");
  PageCount count = CountPages(broken);
  EXPECT_EQ(count.format, DataFormat::kPdf);
  EXPECT_FALSE(count.pages);
  EXPECT_EQ(count.how, "damaged data");
}

std::optional<int> PostScript(const std::string& text, std::string* how = nullptr) {
  std::istringstream in(text);
  return CountPostScriptPages(in, how);
}

TEST(PageCount, PostScriptPagesFromItsComments) {
  std::string how;
  // Pages of an embedded document are not pages of the job.
  EXPECT_EQ(PostScript("%!PS-Adobe-3.0\r\n%%Pages: 2\r\n%%Page: 1 1\r\nshowpage\r\n"
                       "%%BeginDocument: logo.eps\n%%Page: 1 1\n%%EndDocument\n"
                       "%%Page: 2 2\nshowpage\n%%EOF\n",
                       &how),
            2);
  EXPECT_EQ(how, "its %%Page comments");
  // Declared at the end, no page comments.
  EXPECT_EQ(PostScript("%!PS-Adobe-3.0\n%%Pages: (atend)\n%%EndComments\n"
                       "showpage showpage\n%%Trailer\n%%Pages: 4\n%%EOF\n",
                       &how),
            4);
  EXPECT_EQ(how, "its %%Pages comment");
}

TEST(PageCount, PostScriptWithoutCommentsIsInterpreted) {
  std::string how;
  // Strings, comments and hex strings mentioning showpage are no pages; a
  // procedure bound to a name counts where it is called.
  EXPECT_EQ(PostScript("%!\n/p { showpage } bind def\n(showpage) pop % showpage\n"
                       "<73686f77> pop\np p\nshowpage\n",
                       &how),
            3);
  EXPECT_EQ(how, "its page operators");
  EXPECT_EQ(PostScript("%!\n3 { 72 72 moveto (x) show showpage } repeat\n"), 3);
  EXPECT_EQ(PostScript("%!\n1 1 5 { pop showpage } for\n"), 5);
  EXPECT_EQ(PostScript("%!\n/twice { showpage copypage } def\n2 { twice } repeat\n"), 4);
  EXPECT_EQ(PostScript("%!\ntrue { showpage } { showpage showpage } ifelse\n"), 2);
  // A name defined again as something else no longer prints.
  EXPECT_EQ(PostScript("%!\n/p { showpage } def p /p 5 def p\n"), 1);
  EXPECT_EQ(PostScript("%!\n(unbalanced \\) string showpage\n"), 0);
}

TEST(PageCount, FormatsAreToldByTheirFirstBytes) {
  EXPECT_EQ(DetectFormat("%PDF-1.7\n"), DataFormat::kPdf);
  EXPECT_EQ(DetectFormat("%!PS-Adobe-3.0\n"), DataFormat::kPostScript);
  EXPECT_EQ(DetectFormat("\x04%!PS\n"), DataFormat::kPostScript);
  EXPECT_EQ(DetectFormat("\x1b%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=POSTSCRIPT\r\n%!PS\n"),
            DataFormat::kPostScript);
  EXPECT_EQ(DetectFormat("\x1b%-12345X@PJL ENTER LANGUAGE=PCL\r\n\x1b"
                         "E"),
            DataFormat::kOther);
  EXPECT_EQ(DetectFormat(std::string("RaS2PwgRaster\0", 14)), DataFormat::kPwgRaster);
  EXPECT_EQ(DetectFormat("RaS2"), DataFormat::kCupsRaster);
  EXPECT_EQ(DetectFormat("3SaR"), DataFormat::kCupsRaster);
  EXPECT_EQ(DetectFormat("Hello, printer\n"), DataFormat::kOther);
  EXPECT_EQ(DetectFormat(""), DataFormat::kOther);
}

// A raster stream: the sync word, then per page a header and its lines.
class Raster {
 public:
  Raster(std::string sync, bool big_endian, size_t header_size)
      : big_endian_(big_endian), header_size_(header_size) {
    data_ = sync;
    if (sync == "RaS2" && header_size == 1796)
      pwg_ = true;
  }

  // A header for `height` lines of `bytes_per_line` at `bits_per_pixel`.
  void Header(uint32_t height, uint32_t bytes_per_line, uint32_t bits_per_pixel) {
    std::string header(header_size_, '\0');
    if (pwg_)
      header.replace(0, 9, "PwgRaster");
    Put(header, 376, height);
    Put(header, 388, bits_per_pixel);
    Put(header, 392, bytes_per_line);
    data_ += header;
  }
  void Bytes(const std::string& bytes) { data_ += bytes; }
  std::optional<int> Count() const {
    std::istringstream in(data_);
    return CountRasterPages(in);
  }
  const std::string& Data() const { return data_; }

 private:
  void Put(std::string& header, size_t at, uint32_t value) const {
    for (int i = 0; i < 4; ++i) {
      const int shift = big_endian_ ? 24 - 8 * i : 8 * i;
      header[at + i] = static_cast<char>((value >> shift) & 0xff);
    }
  }

  bool big_endian_;
  size_t header_size_;
  bool pwg_ = false;
  std::string data_;
};

TEST(PageCount, UncompressedRasterPagesAreSkippedWhole) {
  for (auto [sync, big_endian, header] :
       {std::tuple{"RaSt", true, size_t{420}}, std::tuple{"tSaR", false, size_t{420}},
        std::tuple{"RaS3", true, size_t{1796}}, std::tuple{"3SaR", false, size_t{1796}}}) {
    Raster raster(sync, big_endian, header);
    for (int page = 0; page < 3; ++page) {
      raster.Header(4, 6, 24);
      // Data that looks like a sync word or a header must not confuse it.
      raster.Bytes(std::string(24, page == 1 ? 'R' : '\0'));
    }
    EXPECT_EQ(raster.Count(), 3) << sync;
  }
}

TEST(PageCount, CompressedRasterPagesAreDecodedLineByLine) {
  for (auto [sync, big_endian] : {std::pair{"RaS2", true}, std::pair{"2SaR", false}}) {
    Raster raster(sync, big_endian, 1796);
    // 3 pixels of 3 bytes a line, 4 lines.
    raster.Header(4, 9, 24);
    raster.Bytes(std::string("\x01\x02\xff\xff\xff", 5));                  // 2 lines, 3 alike
    raster.Bytes(std::string("\x00\xff\x01\x02\x03\x04\x05\x06\x80", 9));  // 2 literal, fill
    raster.Bytes(std::string("\x00\xfe\x01\x02\x03\x04\x05\x06\x07\x08\x09", 11));  // 3 literal
    // 8-bit grey, 2 pixels a line, 1 line, then a third page.
    raster.Header(1, 2, 8);
    raster.Bytes(std::string("\x00\x01\x52", 3));
    raster.Header(1, 2, 8);
    raster.Bytes(std::string("\x00\x80", 2));
    EXPECT_EQ(raster.Count(), 3) << sync;
  }
  Raster pwg("RaS2", true, 1796);
  pwg.Header(2, 2, 8);
  pwg.Bytes(std::string("\x01\x80", 2));
  EXPECT_EQ(DetectFormat(pwg.Data()), DataFormat::kPwgRaster);
  EXPECT_EQ(pwg.Count(), 1);
}

TEST(PageCount, DamagedRasterStreams) {
  // A last page cut short was started, so it counts.
  Raster cut("RaS3", true, 1796);
  cut.Header(100, 100, 8);
  cut.Bytes(std::string(500, '\0'));
  EXPECT_EQ(cut.Count(), 1);
  Raster nonsense("RaS3", true, 1796);
  nonsense.Header(10, 0, 8);
  EXPECT_FALSE(nonsense.Count());
  Raster empty("RaS2", true, 1796);
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_FALSE(Raster("RaSx", true, 420).Count());
}

}  // namespace
}  // namespace kx4::cups
