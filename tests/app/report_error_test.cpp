#include "app/report_error.h"

#include <string>

#include "support/show_test.h"

TEST(ReportError, FormatsToStandardOutputAndABox) {
    MessageSink sink;
    testing::internal::CaptureStdout();
    reportError("Texture load: Failed to open the file %s!", "x.tga");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Texture load: Failed to open the file x.tga!");
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, "Texture load: Failed to open the file x.tga!");
    EXPECT_EQ(sink.boxes[0].title, "Error");
    EXPECT_EQ(sink.boxes[0].icon, platform::MessageBoxIcon::error);
    EXPECT_EQ(sink.boxes[0].owner, nullptr);
}

TEST(ReportError, PercentInTheFormattedTextIsWrittenUnchanged) {
    MessageSink sink;
    testing::internal::CaptureStdout();
    reportError("%s", "100% sure, %d %s %n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "100% sure, %d %s %n");
    EXPECT_EQ(sink.texts().at(0), "100% sure, %d %s %n");
}

TEST(ReportError, LongMessageIsCutTo1023Characters) {
    MessageSink sink;
    std::string name(5000, 'a');
    testing::internal::CaptureStdout();
    reportError("Texture load: Failed to open the file %s!", name.c_str());
    std::string out = testing::internal::GetCapturedStdout();
    std::string expected = ("Texture load: Failed to open the file " + name).substr(0, 1023);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(sink.texts().at(0), expected);
}

#ifndef _WIN32
// Linux only: which text a box can show is the system's to say (platform/message_box.h).
// Windows goes by the thread's ANSI code page, where this byte is usually a letter (a y with
// diaeresis in code page 1252).
TEST(ReportError, TextThatIsNotUtf8ShowsAnEmptyBoxButKeepsTheOutput) {
    MessageSink sink;
    testing::internal::CaptureStdout();
    reportError("bad \xff byte");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "bad \xff byte");
    EXPECT_EQ(sink.texts().at(0), "");
}
#endif  // _WIN32
