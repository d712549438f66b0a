// What the scheduler's options string says about a job.
#include "tools/cups/JobOptions.h"

#include <gtest/gtest.h>

namespace kx4::cups {
namespace {

TEST(JobOptions, OptionsStringsAreSplitAsTheSchedulerWritesThem) {
  Options options = ParseOptions(
      "  media=A4 job-uuid=urn:uuid:1234 noCollate Duplex title='two words' "
      "quoted=\"say \\\"hi\\\"\" escaped=a\\ b "
      "media-col={media-size={x-dimension=21000 y-dimension=29700} media-type=glossy} "
      "empty= MEDIA=A5");
  EXPECT_EQ(Find(options, "Media"), "A5");  // names ignore case; the last one wins
  EXPECT_EQ(Find(options, "job-uuid"), "urn:uuid:1234");
  EXPECT_EQ(Find(options, "Collate"), "false");
  EXPECT_EQ(Find(options, "duplex"), "true");
  EXPECT_EQ(Find(options, "title"), "two words");
  EXPECT_EQ(Find(options, "quoted"), "say \"hi\"");
  EXPECT_EQ(Find(options, "escaped"), "a b");
  EXPECT_EQ(Find(options, "media-col"),
            "{media-size={x-dimension=21000 y-dimension=29700} media-type=glossy}");
  EXPECT_EQ(Find(options, "empty"), "");
  EXPECT_FALSE(Find(options, "missing"));
  EXPECT_TRUE(ParseOptions("").empty());
  EXPECT_EQ(Find(ParseOptions("open='no end"), "open"), "no end");
}

TEST(JobOptions, PaperSizesInTenthsOfAMillimetre) {
  struct Case {
    const char* value;
    const char* name;
    int32_t width;
    int32_t height;
  };
  for (const Case& c : {Case{"A4", "A4", 2100, 2970}, Case{"a4", "A4", 2100, 2970},
                        Case{"iso_a4_210x297mm", "A4", 2100, 2970},
                        Case{"na_letter_8.5x11in", "Letter", 2159, 2794},
                        Case{"Custom.595x842", "A4", 2099, 2970},  // points
                        Case{"Custom.10x15cm", "Custom.10x15cm", 1000, 1500},
                        Case{"om_small-photo_100x150mm", "om_small-photo_100x150mm", 1000, 1500},
                        Case{"Legal", "Legal", 2159, 3556}}) {
    std::optional<Media> media = LookUpMedia(c.value);
    ASSERT_TRUE(media) << c.value;
    EXPECT_EQ(media->name, c.name) << c.value;
    EXPECT_EQ(media->width, c.width) << c.value;
    EXPECT_EQ(media->height, c.height) << c.value;
  }
  for (const char* nonsense : {"Plain", "Tray1", "x_0x0mm", "x_10x10furlongs", "Custom.axb", ""})
    EXPECT_FALSE(LookUpMedia(nonsense)) << nonsense;
}

TEST(JobOptions, TheJobsPaperComesFromTheFirstOptionThatNamesOne) {
  EXPECT_EQ(MediaOf(ParseOptions("media=Transparency,A5,Tray1"))->name, "A5");
  std::optional<Media> col =
      MediaOf(ParseOptions("media-col={media-size={x-dimension=21590 y-dimension=27940}}"));
  ASSERT_TRUE(col);
  EXPECT_EQ(col->name, "Letter");
  EXPECT_EQ(MediaOf(ParseOptions("media=Plain PageSize=Legal"))->name, "Legal");
  EXPECT_EQ(MediaOf(ParseOptions("PageRegion=A3"))->height, 4200);
  EXPECT_FALSE(MediaOf(ParseOptions("media=Plain")));
}

TEST(JobOptions, ColourPaperTypeHostAndApplication) {
  EXPECT_TRUE(ColorOf(ParseOptions("print-color-mode=color")));
  EXPECT_FALSE(ColorOf(ParseOptions("print-color-mode=monochrome ColorModel=RGB")));
  EXPECT_TRUE(ColorOf(ParseOptions("print-color-mode=auto ColorModel=CMYK")));
  EXPECT_FALSE(ColorOf(ParseOptions("ColorModel=Gray")));
  EXPECT_FALSE(ColorOf(ParseOptions("ColorModel=KGray")));
  EXPECT_FALSE(ColorOf(ParseOptions("media=A4")));

  EXPECT_EQ(PaperTypeOf(ParseOptions("media-type=Glossy MediaType=Plain")), "Glossy");
  EXPECT_EQ(PaperTypeOf(ParseOptions("media-col={media-type=labels}")), "labels");
  EXPECT_EQ(PaperTypeOf(ParseOptions("MediaType=Plain")), "Plain");
  EXPECT_EQ(PaperTypeOf(ParseOptions("media=A4")), "");

  const Options remote = ParseOptions("job-originating-host-name=ws-042.example");
  EXPECT_EQ(HostOf(remote, nullptr, "server"), "ws-042.example");
  EXPECT_EQ(HostOf(remote, "ws-7", "server"), "ws-7");
  EXPECT_EQ(HostOf(ParseOptions("job-originating-host-name=localhost"), nullptr, "server"),
            "server");
  EXPECT_EQ(HostOf(ParseOptions(""), nullptr, "server"), "server");

  EXPECT_EQ(ApplicationOf(ParseOptions("application-name=Writer")), "Writer");
  EXPECT_EQ(ApplicationOf(ParseOptions("client-info={client-name=Draw client-version=7}")), "Draw");
  EXPECT_EQ(ApplicationOf(ParseOptions("media=A4")), "");
}

TEST(JobOptions, CopiesStayWithinWhatAJobRecords) {
  EXPECT_EQ(CopiesOf("2"), 2);
  EXPECT_EQ(CopiesOf("0"), 1);
  EXPECT_EQ(CopiesOf("-3"), 1);
  EXPECT_EQ(CopiesOf("two"), 1);
  EXPECT_EQ(CopiesOf("2x"), 1);
  EXPECT_EQ(CopiesOf("40000"), 32767);
  EXPECT_EQ(CopiesOf("99999999999999999999"), 32767);
}

}  // namespace
}  // namespace kx4::cups
