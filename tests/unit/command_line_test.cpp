// The command line: only --help and --version before "--" are options; every
// other argument is a spectrum file, in order.
#include <gtest/gtest.h>

#include "app/command_line.hpp"

namespace tarno {
namespace {

struct CommandLineCase {
    std::vector<std::string> arguments;
    CommandLineRequest request;
    std::vector<std::string> files;
};

TEST(CommandLine, OptionsBeforeTheSeparatorOnly) {
    const CommandLineCase cases[] = {
        {{}, CommandLineRequest_Run, {}},
        {{"a.spe", "b.txt"}, CommandLineRequest_Run, {"a.spe", "b.txt"}},
        {{"--help"}, CommandLineRequest_Help, {}},
        {{"a.spe", "--version"}, CommandLineRequest_Version, {}},
        {{"--", "--help", "--version"}, CommandLineRequest_Run, {"--help", "--version"}},
        {{"a.spe", "--", "--", "-x"}, CommandLineRequest_Run, {"a.spe", "--", "-x"}},
        {{"-h", "--helpme", "-"}, CommandLineRequest_Run, {"-h", "--helpme", "-"}},
    };
    for (const CommandLineCase& c : cases) {
        CommandLine line = parse_command_line(c.arguments);
        EXPECT_EQ(line.request, c.request) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(line.file_arguments, c.files) << ::testing::PrintToString(c.arguments);
    }
}

TEST(CommandLine, AnswersNameTheProgramAndItsVersion) {
    EXPECT_EQ(command_line_answer(CommandLineRequest_Version).rfind("tarno ", 0), 0u);
    EXPECT_EQ(command_line_answer(CommandLineRequest_Version).find("unknown"), std::string::npos);
    std::string help = command_line_answer(CommandLineRequest_Help);
    EXPECT_EQ(help.rfind("Usage: tarno ", 0), 0u);
    EXPECT_NE(help.find("--version"), std::string::npos);
    EXPECT_EQ(command_line_answer(CommandLineRequest_Run), "");
}

}  // namespace
}  // namespace tarno
