#pragma once
// What a new user is told on the very first start: the terminal's note on how to try the example
// programs, with the folder they are in.

#include <QString>

namespace orrery::shell {

// The folder of the example programs: installed beside the program (<prefix>/share/orrery/examples),
// else, in a build tree, the examples folder of the source tree above it; empty when there is none.
QString examplesFolder(const QString& programDir);

// The note itself, lines ended by CR LF as the terminal shows them. portLabel is how the port is listed
// ("COM1 (simulated logger)"), empty when no port is open.
QString firstStartNote(const QString& portLabel, const QString& examples);

}  // namespace orrery::shell
