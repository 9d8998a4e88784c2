#include "base/report_error.h"

#include <string>

#include "support/show_test.h"

TEST(ReportError, WritesTheTextToStandardOutputAndABoxOfUtf8CutTo1023Characters) {
    const std::string prefix = "Texture load: Failed to open the file ";
    const std::string longName(5000, 'a');
    struct Case {
        std::string name;
        std::string expected;
        bool boxShowsIt;
    };
    const Case cases[] = {
        // Percent signs in what was formatted are written unchanged.
        {"100% sure, %d %s %n", prefix + "100% sure, %d %s %n!", true},
        {longName, (prefix + longName).substr(0, 1023), true},
#ifndef _WIN32
        // Linux only: which text a box can show is the system's to say
        // (platform/message_box.h). Windows goes by the thread's ANSI code page, where a lone
        // 0xff is usually a letter (a y with diaeresis in code page 1252); here it is no UTF-8
        // and empties the box. A euro sign takes three bytes and is UTF-8.
        {"bad \xff byte", prefix + "bad \xff byte!", false},
        {"5 \xe2\x82\xac", prefix + "5 \xe2\x82\xac!", true},
#endif  // _WIN32
    };
    for (const Case& c : cases) {
        MessageSink sink;
        testing::internal::CaptureStdout();
        reportError("Texture load: Failed to open the file %s!", c.name.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected);
        ASSERT_EQ(sink.boxes.size(), 1u);
        EXPECT_EQ(sink.boxes[0].text, c.boxShowsIt ? c.expected : "");
        EXPECT_EQ(sink.boxes[0].icon, platform::MessageBoxIcon::error);
    }
}
