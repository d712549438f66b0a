#include "tools/kx4/Output.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kx4::cli {
namespace {

ValueRows Sample() {
  ValueRows rows({"Id", "Name", "Quota", "Active", "Printed"});
  rows.Add({Variant(int32_t{7}), Variant("Smith, \"Jo\"\nline two"),
            Variant(Currency::FromTicks(-5)), Variant(true),
            Variant(DateTime::FromCivil(2026, 3, 5, 9, 4, 7))});
  rows.Add({Variant(int32_t{12}), Variant("Zoë"), Variant(Currency::FromTicks(1234500)),
            Variant(false), Variant::Null()});
  return rows;
}

std::string Write(Rows& rows, Format format) {
  std::ostringstream out;
  WriteRows(out, rows, format);
  return out.str();
}

TEST(Output, ValuesKeepTheirTypeAndMoneyItsFourPlaces) {
  EXPECT_EQ(MoneyText(Currency::FromTicks(0)), "0.0000");
  EXPECT_EQ(MoneyText(Currency::FromTicks(-5)), "-0.0005");
  EXPECT_EQ(MoneyText(Currency::Parse("123.45")), "123.4500");
  EXPECT_EQ(MoneyText(Currency::FromTicks(INT64_MIN)), "-922337203685477.5808");
  EXPECT_EQ(IsoDate(DateTime::FromCivil(2026, 12, 31, 23, 59, 58)), "2026-12-31T23:59:58");

  ValueRows rows = Sample();
  EXPECT_EQ(Write(rows, Format::kJson),
            "[\n"
            "  {\n"
            "    \"Id\": 7,\n"
            "    \"Name\": \"Smith, \\\"Jo\\\"\\nline two\",\n"
            "    \"Quota\": \"-0.0005\",\n"
            "    \"Active\": true,\n"
            "    \"Printed\": \"2026-03-05T09:04:07\"\n"
            "  },\n"
            "  {\n"
            "    \"Id\": 12,\n"
            "    \"Name\": \"Zoë\",\n"
            "    \"Quota\": \"123.4500\",\n"
            "    \"Active\": false,\n"
            "    \"Printed\": null\n"
            "  }\n"
            "]\n");
  ValueRows none({"Id"});
  EXPECT_EQ(Write(none, Format::kJson), "[]\n");
}

TEST(Output, CsvQuotesOnlyWhatRfc4180Needs) {
  EXPECT_EQ(CsvField("plain text"), "plain text");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
  ValueRows rows = Sample();
  EXPECT_EQ(Write(rows, Format::kCsv),
            "Id,Name,Quota,Active,Printed\r\n"
            "7,\"Smith, \"\"Jo\"\"\nline two\",-0.0005,true,2026-03-05T09:04:07\r\n"
            "12,Zoë,123.4500,false,\r\n");
}

TEST(Output, JsonEscapesControlCharacters) {
  EXPECT_EQ(JsonString(std::string("a\x01\tb\\", 5)), "\"a\\u0001\\tb\\\\\"");
}

TEST(Output, TablesAlignByCharacterAndKeepEachRowOnOneLine) {
  ValueRows rows = Sample();
  EXPECT_EQ(Write(rows, Format::kTable),
            "Id  Name                      Quota  Active  Printed\n"
            "--  ---------------------  --------  ------  -------------------\n"
            " 7  Smith, \"Jo\"\\nline two   -0.0005  true    2026-03-05T09:04:07\n"
            "12  Zoë                    123.4500  false   \n");
}

TEST(Output, OneRecordShowsAsNamesAndValues) {
  ValueRows rows = Sample();
  std::ostringstream table, json, csv;
  WriteRecord(table, rows, Format::kTable);
  EXPECT_EQ(table.str(),
            "Id       7\n"
            "Name     Smith, \"Jo\"\\nline two\n"
            "Quota    -0.0005\n"
            "Active   true\n"
            "Printed  2026-03-05T09:04:07\n");
  WriteRecord(json, rows, Format::kJson);
  EXPECT_EQ(json.str().substr(0, 12), "{\n  \"Id\": 7,");
  WriteRecord(csv, rows, Format::kCsv);
  EXPECT_EQ(csv.str(),
            "Id,Name,Quota,Active,Printed\r\n"
            "7,\"Smith, \"\"Jo\"\"\nline two\",-0.0005,true,2026-03-05T09:04:07\r\n");
}

}  // namespace
}  // namespace kx4::cli
