// The program commands of loggerlink: identify, load and run.
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <ostream>

#include "compilejob.h"
#include "compiler.h"
#include "identify.h"
#include "loggerlinkcli.h"
#include "programloader.h"

namespace orrery::loggerlink {

namespace {

// Where the short program header keeps the model byte (the model code divided by 10).
constexpr int kHeaderModelByte = 6;

struct LoadableImage {
    QByteArray bytes;
    quint16 modelCode = 0;
    quint32 variableAreaSize = 0;
};

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool readWhole(const QString& path, QByteArray& bytes, QString& error) {
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        error = QStringLiteral("cannot read '%1': it is a folder").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read '%1': %2").arg(path, file.errorString());
        return false;
    }
    bytes = file.readAll();
    return true;
}

// Compiles FILE.qob as the workbench compiles an editor holding it, and writes the output files the
// stored compiler options ask for beside it. The exit code on failure, else nullopt. A listing or
// symbol file that could not be written is said and the load goes on, as in the workbench.
std::optional<int> compileSource(Session& session, const QString& path, LoadableImage& image) {
    QByteArray text;
    QString error;
    if (!readWhole(path, text, error)) {
        session.error(error);
        return kExitUsage;
    }
    compiler::CompileRequest request;
    request.sourceName = localPath(QFileInfo(path).fileName());
    request.text = text.toStdString();
    request.options = session.compilerOptions();
    request.outputFolder = std::filesystem::path(localPath(QFileInfo(path).absolutePath()));
    compiler::CompileOutcome outcome = compiler::compileProgram(request);
    const compiler::CompileJob& job = outcome.job;
    if (!outcome.compiled()) {
        session.err() << path.toStdString() << ":" << job.errorLine << ":" << job.errorTokenColumn
                      << ": error: " << job.errorMessage << "\n";
        return kExitUsage;
    }
    for (const std::string& e : outcome.outputs.errors)
        session.error(QString::fromLocal8Bit(e.c_str()));
    if (!outcome.ok()) {
        return kExitUsage;
    }
    image.bytes = QByteArray(reinterpret_cast<const char*>(job.image.data()), qsizetype(job.image.size()));
    image.modelCode = job.modelCode;
    image.variableAreaSize = job.header.variablesSize;
    compiler::releaseJob(outcome.job);
    return std::nullopt;
}

// A program image as the compiler writes it to FILE.bin. Its short header does not record the size of
// the variables, so for the models that keep them beside the program it must be given.
std::optional<int> readImage(Session& session, const QString& path, QStringList& arguments,
                             LoadableImage& image) {
    const auto model = takeOption(arguments, QStringLiteral("--model"));
    if (!model) {
        throw UsageError{
            QStringLiteral("an image file needs --model N (the model code it was compiled for)")};
    }
    image.modelCode = quint16(parseNumber(QStringLiteral("--model"), *model, 0, 65535));
    if (const auto variables = takeOption(arguments, QStringLiteral("--variables"))) {
        image.variableAreaSize = quint32(parseNumber(QStringLiteral("--variables"), *variables, 0, 65535));
    } else if (image.modelCode == 400 || image.modelCode == 500) {
        throw UsageError{
            QStringLiteral("model %1 keeps its variables beside the program: give their size with "
                           "--variables N (qobc prints it as 'variables N')")
                .arg(image.modelCode)};
    }
    QString error;
    if (!readWhole(path, image.bytes, error)) {
        session.error(error);
        return kExitUsage;
    }
    // A mistaken --model would bypass the memory check meant for the real target.
    if (image.bytes.size() > kHeaderModelByte &&
        quint8(image.bytes.at(kHeaderModelByte)) != quint8(image.modelCode / 10)) {
        session.error(QStringLiteral("'%1' was compiled for model %2, not %3")
                          .arg(path)
                          .arg(quint8(image.bytes.at(kHeaderModelByte)) * 10)
                          .arg(image.modelCode));
        return kExitUsage;
    }
    return std::nullopt;
}

int identifyCommand(Session& session, const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        throw UsageError{QStringLiteral("identify takes no arguments")};
    }
    link::LoggerLink* link = session.openLink();
    if (link == nullptr) {
        return kExitLogger;
    }
    session.claim().reset();
    const link::IdentifyResult result = link::identifyLogger(*link);
    if (!result.done()) {
        session.error(result.message);
        return kExitLogger;
    }
    session.out() << result.reply.modelNumber() << "\n" << printable(result.reply.text()) << "\n";
    return kExitOk;
}

int loadCommand(Session& session, const QStringList& given) {
    QStringList arguments = given;
    const bool runAfter = takeFlag(arguments, QStringLiteral("--run"));
    LoadableImage image;
    QString path;
    if (arguments.isEmpty()) {
        throw UsageError{QStringLiteral("load needs a FILE")};
    }
    path = arguments.takeFirst();
    const QString suffix = QFileInfo(path).suffix().toLower();
    std::optional<int> failed;
    if (suffix == QLatin1String("bin")) {
        failed = readImage(session, path, arguments, image);
    } else {
        if (arguments.contains(QStringLiteral("--model")) ||
            arguments.contains(QStringLiteral("--variables"))) {
            throw UsageError{
                QStringLiteral("--model and --variables belong to image files (.bin); a program "
                               "names its model itself")};
        }
        failed = compileSource(session, path, image);
    }
    if (!arguments.isEmpty()) {
        throw UsageError{QStringLiteral("unexpected '%1'").arg(arguments.first())};
    }
    if (failed) {
        return *failed;
    }
    link::LoggerLink* link = session.openLink();
    if (link == nullptr) {
        return kExitLogger;
    }
    session.claim().reset();
    const link::LinkResult result =
        link::loadProgram(*link, {image.bytes, quint16(image.modelCode), image.variableAreaSize, runAfter});
    if (!result.done()) {
        return kExitLogger;
    }
    sayDone(session, result.message);
    return kExitOk;
}

int runCommand(Session& session, const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        throw UsageError{QStringLiteral("run takes no arguments")};
    }
    link::LoggerLink* link = session.openLink();
    if (link == nullptr) {
        return kExitLogger;
    }
    link->SendRunCommand();
    if (!link->DrainOutput()) {
        link->report(link::kErrorCommunicating);
        return kExitLogger;
    }
    sayDone(session, QStringLiteral("Sent the run command"));
    return kExitOk;
}

const CommandRegistration kProgramCommands{{
    {"identify", "", "print the logger's model number, then the rest of its identify reply", identifyCommand},
    {"load", "FILE.qob | FILE.bin --model N [--variables N]  [--run]",
     "compile FILE.qob (with the workbench's compiler options) or take the image FILE.bin, and load it; "
     "--run starts it",
     loadCommand},
    {"run", "", "start the program in the logger", runCommand},
}};

}  // namespace

}  // namespace orrery::loggerlink
