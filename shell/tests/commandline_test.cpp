// The options the workbench answers on the terminal before it needs a display.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "commandline.h"
#include "orrery_version.h"

using namespace orrery;

namespace {

TEST(CommandLine, HelpAndVersionEndTheStartOnlyBeforeTheEndOfOptions) {
    const struct {
        std::vector<const char*> args;
        bool answered;
        const char* printed;  // a piece of the text on stdout when answered
    } cases[] = {
        {{"orrery"}, false, ""},
        {{"orrery", "a.qob", "b.qob"}, false, ""},
        {{"orrery", "--help"}, true, "Usage: orrery [OPTIONS] [FILE...]"},
        {{"orrery", "-h"}, true, "--version"},
        {{"orrery", "a.qob", "--version"}, true, "orrery " ORRERY_VERSION_TEXT "\n"},
        {{"orrery", "--", "--help"}, false, ""},
        {{"orrery", "--", "-h", "--version"}, false, ""},
        {{"orrery", "-help"}, false, ""},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        const auto exitCode = answerInfoOption(static_cast<int>(c.args.size()), c.args.data(), out);
        const std::string shown = c.args.size() > 1 ? c.args[1] : "(none)";
        EXPECT_EQ(exitCode.has_value(), c.answered) << shown;
        if (c.answered) {
            EXPECT_EQ(*exitCode, 0) << shown;
            EXPECT_NE(out.str().find(c.printed), std::string::npos) << out.str();
        } else {
            EXPECT_EQ(out.str(), "") << shown;
        }
    }
}

}  // namespace
