// qobls_bench: how long the language server takes to diagnose and index a large document, the work
// it does after each pause in typing. Prints processor time per run (best of N) for a document of
// --lines lines (default 50,000) with an error on its last line, and for the same document without
// it. No test asserts a time.
//
// One program cannot hold 50,000 lines of code (the token code of a program is limited to 64 KB), so
// a document that large stops compiling where the code buffer is full, as it would in the editor; the
// index still covers every line.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "analysis.h"

namespace {

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

std::string document(int lines, bool withError) {
    std::string text = "MODEL 510\nDIM T!(16)\nL0:\n";
    for (int i = 3; i < lines - 1; ++i) {
        switch (i % 5) {
            case 0:
                text += "L" + std::to_string(i) + ":\n";
                break;
            case 1:
                text += "  X = X + " + std::to_string(i) + " : T!(X % 16) = X / 3.5\n";
                break;
            case 2:
                text += "  IF X > 100 GOTO L" + std::to_string(i - 2) + "\n";
                break;
            case 3:
                text += "  PRINT X, \"value \", T!(1)  // a comment\n";
                break;
            default:
                text += "  REM nothing here\n";
                break;
        }
    }
    text += withError ? "  Total = Total + * I\n" : "  STOP\n";
    return text;
}

double bestOf(int runs, const std::string& text, const orrery::qobls::Analysis** keep) {
    static orrery::qobls::Analysis last;
    double best = 1e9;
    for (int r = 0; r < runs; ++r) {
        const double start = processorSeconds();
        last = orrery::qobls::analyse(text, {});
        best = std::min(best, processorSeconds() - start);
    }
    *keep = &last;
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int lines = 50000;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0)
            lines = std::max(10, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--repeat") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    for (bool withError : {true, false}) {
        const std::string text = document(lines, withError);
        const orrery::qobls::Analysis* analysis = nullptr;
        const double seconds = bestOf(runs, text, &analysis);
        std::printf("%d lines%s: %.1f ms (best of %d), %zu names, first error: %s at line %d\n", lines,
                    withError ? " with an error on the last" : "", seconds * 1000.0, runs,
                    analysis->names.size(), analysis->error ? analysis->error->message.c_str() : "none",
                    analysis->error ? analysis->error->range.line + 1 : 0);
    }
    return 0;
}
