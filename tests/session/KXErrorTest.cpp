#include <kx4data/KXError.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "support/RecordingUserInterface.h"

namespace kx4 {
namespace {

TEST(KXError, DisplayShowsTheMessageWithItsStyleUnderTheLibrarysCaption) {
  test::ScopedRecordingUserInterface ui;
  KXError fresh;
  EXPECT_EQ(fresh.Message(), "");
  EXPECT_EQ(fresh.Number(), 0);
  EXPECT_EQ(fresh.IconType(), 0);
  EXPECT_EQ(fresh.KXErrorNumber(), erUnknown);
  fresh.Display();

  KXError stop;
  stop.SetMessage("first line\r\nsecond line");
  stop.SetIconType(KXError::kIconStop);
  stop.SetKXErrorNumber(KXErrors{123456});  // any 32-bit value, member of KXErrors or not
  stop.Display();

  auto calls = ui->Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].text, "");
  EXPECT_EQ(calls[0].caption, "Kestrix Error");
  EXPECT_EQ(calls[0].style, 0);
  EXPECT_EQ(calls[1].text, "first line\r\nsecond line");
  EXPECT_EQ(calls[1].style, 16);
  EXPECT_EQ(stop.KXErrorNumber(), 123456);
  for (int32_t extreme : {INT32_MIN, -1, INT32_MAX}) {
    stop.SetKXErrorNumber(KXErrors{extreme});
    EXPECT_EQ(static_cast<int32_t>(stop.KXErrorNumber()), extreme);
  }
}

TEST(KXError, HeadlessDisplayWritesCaptionAndTextToStandardError) {
  testing::internal::CaptureStderr();
  MakeError("no printer", KXError::kIconExclamation)->Display();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Kestrix Error: no printer\n");
}

}  // namespace
}  // namespace kx4
