#pragma once
// The plain ASCII transfer loops live with the link (loggerlink runs them too); the terminal's dialogs
// and commands use them under their terminal names.

#include "asciitransfer.h"

namespace orrery::terminal {
using link::AsciiLine;
using link::AsciiOptions;
using link::PortAsciiLine;
using link::ReceiveEnd;
using link::ReceiveStop;
using link::TerminationKind;
using link::decodeEscapes;
using link::receiveAscii;
using link::sendAscii;
using link::terminationByte;
}  // namespace orrery::terminal
