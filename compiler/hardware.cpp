// Hardware, timing and data-file statements.

#include "parser.h"

namespace orrery::compiler {

bool Parser::hardwareStatement(int) { return false; }

Value Parser::pinList(Op, Op) { syntaxError(); }

Value Parser::extensionCall(const Token&) { syntaxError(); }

}  // namespace orrery::compiler
