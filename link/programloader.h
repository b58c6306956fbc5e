#pragma once
// Putting a compiled program into the logger's RAM, and starting it.
//
// The load is a one-byte handshake followed by an unacknowledged stream of length-prefixed blocks:
//
//   out: 0x0C |      | 0x80 + 128 bytes | ... | n + n bytes (1..127, if any) | 0x00
//   in:       | 0x0C |   (nothing more: the logger prints, if at all, to the terminal)
//
// Blocks carry no address, sequence number or checksum. Before anything is sent the image is checked
// against the memory of its target model. The terminal is suspended only for the handshake, so what the
// logger prints during and after the load shows in the terminal window. The output is drained after
// each block so that a Cancel takes effect within one block and the progress shown is what went out.
//
// The caller holds the link's claim; LoadProgram shows its own messages through the link.

#include <QByteArray>
#include <QString>
#include <optional>

#include "linkresult.h"
#include "loggerlink.h"

namespace orrery::link {

inline const QString kTooLargeForVariables = QStringLiteral("Program too large \n Will overwrite variables");
inline const QString kLargerThan16064 = QStringLiteral("Program larger than 16064 bytes \n No load allowed");
inline const QString kLoadCancelled = QStringLiteral("User canceled load");
inline const QString kLoadingCaption = QStringLiteral("Loading Program to RAM");

inline constexpr int kLoadBlockSize = 128;
// Images up to this size load without a progress dialog (and cannot be cancelled).
inline constexpr int kLoadProgressThreshold = 2000;
// How long the logger has to echo the load byte.
inline constexpr quint16 kLoadEchoMs = 500;
// The pause between the end of a load and the run byte, so the logger has settled the new program.
inline constexpr int kRunDelayMs = 500;

enum class LoadOutcome {
    Loaded,         // every block and the end byte went out
    TooLarge,       // the size check refused the image; nothing was sent
    NotResponding,  // no echo of the load byte; no block was sent
    Cancelled,      // Cancel (or the workbench closing) stopped the blocks; the end byte went out
    LineFailed,     // the port stopped transmitting; "Error communicating with Brackwater" was shown
};

// What the size check of a model says about an image: the refusal message, or nothing when it fits.
// variableAreaSize counts only for the models whose variables share the program's memory (400, 500).
std::optional<QString> loadSizeRefusal(qint64 imageLength, quint16 modelCode, quint32 variableAreaSize);

// Loads the image. A cancelled load is not a loaded one: nothing may start a truncated program.
LoadOutcome LoadProgram(LoggerLink& link, const QByteArray& image, quint16 modelCode,
                        quint32 variableAreaSize);

// The menu commands' reading of an outcome: 0 for a completed load, 1 for every other.
inline int loadResultCode(LoadOutcome outcome) {
    return outcome == LoadOutcome::Loaded ? 0 : 1;
}

struct LoadRequest {
    QByteArray image;              // the program image, header included
    quint16 modelCode = 0;         // the model the program was compiled for
    quint32 variableAreaSize = 0;  // models 400 and 500: the variables that share its memory
    bool runAfter = false;         // start the program once it is loaded
};

// The load (and run) command: claims the line, loads, and on request starts the program. Failures are
// shown through the link as LoadProgram shows them; the result says "Loaded 1 234 bytes (model 510)".
LinkResult loadProgram(LoggerLink& link, const LoadRequest& request);

// After a completed load: the pause, the run byte (drained; a port that stalls shows in
// link.lineFailed()), and the terminal to the front.
void runLoadedProgram(LoggerLink& link);

}  // namespace orrery::link
