#include "base/report_error.h"

#include <string>

#include "support/show_test.h"

TEST(ReportError, WritesTheFormattedTextToStandardOutputAndABoxCutTo1023Characters) {
    const std::string prefix = "Texture load: Failed to open the file ";
    const std::string longName(5000, 'a');
    struct Case {
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {"x.tga", prefix + "x.tga!"},
        // Percent signs in what was formatted are written unchanged.
        {"100% sure, %d %s %n", prefix + "100% sure, %d %s %n!"},
        {longName, (prefix + longName).substr(0, 1023)},
    };
    for (const Case& c : cases) {
        MessageSink sink;
        testing::internal::CaptureStdout();
        reportError("Texture load: Failed to open the file %s!", c.name.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected);
        ASSERT_EQ(sink.boxes.size(), 1u);
        EXPECT_EQ(sink.boxes[0].text, c.expected);
        EXPECT_EQ(sink.boxes[0].title, "Error");
        EXPECT_EQ(sink.boxes[0].icon, platform::MessageBoxIcon::error);
        EXPECT_EQ(sink.boxes[0].owner, nullptr);
    }
}

#ifndef _WIN32
// Linux only: which text a box can show is the system's to say (platform/message_box.h).
// Windows goes by the thread's ANSI code page, where this byte is usually a letter (a y with
// diaeresis in code page 1252).
TEST(ReportError, TextThatIsNotUtf8ShowsAnEmptyBoxButKeepsTheOutput) {
    // A lone 0xff is no UTF-8; a euro sign takes three bytes and is.
    for (const std::string box : {"", "5 \xe2\x82\xac"}) {
        const std::string text = box.empty() ? "bad \xff byte" : box;
        MessageSink sink;
        testing::internal::CaptureStdout();
        reportError("%s", text.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), text);
        EXPECT_EQ(sink.texts().at(0), box);
    }
}
#endif  // _WIN32
