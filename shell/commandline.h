#pragma once
// The options the workbench answers on the terminal and then ends: they are looked at before the
// application object exists, so that they work without a display.

#include <optional>
#include <ostream>

namespace orrery {

// The exit code when an argument asks for the help or the version (the text went to out); nothing
// when the workbench should start. Arguments after "--" are file names.
std::optional<int> answerInfoOption(int argc, const char* const* argv, std::ostream& out);

}  // namespace orrery
