#include "outputfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include "listing.h"
#include "symfile.h"

#if __has_include(<unistd.h>)
#include <unistd.h>
#define ORRERY_HAVE_POSIX_FILES 1
#endif

namespace fs = std::filesystem;

namespace orrery::compiler {
namespace {

constexpr int kTemporaryNameAttempts = 100;

OutputResult failure(const fs::path& path, std::string_view reason) {
    return {false, "Cannot write " + path.string() + ": " + std::string(reason)};
}

// Writing goes to the file a symbolic link names, so that the link stays a link.
fs::path resolvedTarget(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {
        fs::path target = fs::canonical(path, ec);
        if (!ec)
            return target;
    }
    return path;
}

// Replacing by rename would otherwise overwrite a file the user protected against writing.
bool isWriteProtected(const fs::path& path) {
#ifdef ORRERY_HAVE_POSIX_FILES
    return ::access(path.c_str(), W_OK) != 0 && errno == EACCES;
#else
    std::error_code ec;
    const auto perms = fs::status(path, ec).permissions();
    return !ec && (perms & fs::perms::owner_write) == fs::perms::none;
#endif
}

fs::path temporaryNameBeside(const fs::path& target, std::mt19937& random) {
    const std::string suffix = std::to_string(random() % 1000000);
    return target.parent_path() / ("." + target.filename().string() + ".tmp" + suffix);
}

std::FILE* createTemporaryBeside(const fs::path& target, fs::path& temporary, int& error) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = temporaryNameBeside(target, random);
        // "x": fail rather than reuse a file that happens to carry the same name.
        std::FILE* file = std::fopen(temporary.string().c_str(), "wbx");
        if (file != nullptr)
            return file;
        error = errno;
        if (error != EEXIST)
            return nullptr;
    }
    return nullptr;
}

// Flushes to the device so that the rename cannot land before the data after a power cut.
bool flushAndClose(std::FILE* file) {
    bool ok = std::fflush(file) == 0;
#ifdef ORRERY_HAVE_POSIX_FILES
    ok = ok && ::fsync(::fileno(file)) == 0;
#endif
    const int savedErrno = errno;
    ok = (std::fclose(file) == 0) && ok;
    if (!ok && errno == 0)
        errno = savedErrno;
    return ok;
}

void keepPermissionsOf(const fs::path& original, const fs::path& replacement) {
    std::error_code ec;
    const fs::file_status status = fs::status(original, ec);
    if (!ec && fs::exists(status))
        fs::permissions(replacement, status.permissions(), ec);
}

}  // namespace

OutputResult writeOutputFile(const fs::path& path, std::string_view bytes) {
    const fs::path target = resolvedTarget(path);
    std::error_code ec;
    if (fs::is_directory(target, ec))
        return failure(path, "it is a folder");
    if (fs::exists(target, ec) && isWriteProtected(target))
        return failure(path, "file is write protected");

    fs::path temporary;
    int error = 0;
    std::FILE* file = createTemporaryBeside(target, temporary, error);
    if (file == nullptr)
        return failure(path, std::strerror(error ? error : EEXIST));

    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    const bool closed = flushAndClose(file);
    if (!written || !closed) {
        const int reason = !written && writeErrno ? writeErrno : (errno ? errno : EIO);
        fs::remove(temporary, ec);
        return failure(path, std::strerror(reason));
    }
    keepPermissionsOf(target, temporary);
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return failure(path, ec.message());
    }
    return {true, {}};
}

fs::path outputPathFor(std::string_view sourceName, std::string_view extension, const fs::path& folder) {
    const fs::path name =
        outputFileName(fs::path(std::string(sourceName)).filename().string(), std::string(extension));
    return folder.empty() ? name : folder / name;
}

std::string compileListingText(const CompileJob& job, const ProgressCallback& progress) {
    ListingInputs in;
    in.sourceName = job.sourceName;
    in.sourceText = job.sourceText;
    in.image = job.image;
    in.headerSize = job.header.headerSize;
    in.codeSize = job.header.codeSize;
    in.variablesSize = job.header.variablesSize;
    in.dateText = listingDateText();
    return listingText(in, progress);
}

OutputsWritten writeCompileOutputs(const CompileJob& job, const OutputChoice& choice) {
    OutputsWritten outputs;
    auto write = [&](std::string_view extension, std::string_view bytes) {
        const fs::path path = outputPathFor(job.sourceName, extension, choice.folder);
        OutputResult result = writeOutputFile(path, bytes);
        if (result.ok) {
            outputs.written.push_back(path);
        } else {
            outputs.errors.push_back(std::move(result.error));
        }
        return result.ok;
    };
    if (choice.listing)
        write(".lst", compileListingText(job, choice.listingProgress));
    if (choice.binary) {
        const std::string_view image(reinterpret_cast<const char*>(job.image.data()), job.image.size());
        if (!write(".bin", image))
            return outputs;
    }
    if (choice.symbols) {
        const SymbolSummary* summary = symbolSummary(job);
        if (summary != nullptr) {
            write(".sym", symbolFileText(*summary));
        } else {
            outputs.errors.push_back("Cannot write " +
                                     outputPathFor(job.sourceName, ".sym", choice.folder).string() +
                                     ": the compile kept no symbols");
        }
    }
    return outputs;
}

}  // namespace orrery::compiler
