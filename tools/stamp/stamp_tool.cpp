#include "stamp_tool.h"

#include <chrono>
#include <cstdio>
#include <new>
#include <random>

#include "stamp.h"
#include "stamp_files.h"

namespace kestran::stamp {
namespace {

// Far above any launcher, icon or settings file, and below what a build machine can hold twice.
constexpr uint64_t kLargestInput = 256u << 20;

struct NamedInput {
    const char* option;
    const std::string& path;
};

Bytes ReadInput(const NamedInput& input) {
    const std::string named = std::string(input.option) + " " + input.path;
    const PathFacts facts = ExaminePath(input.path);
    if (facts.kind == PathKind::Missing) throw StampError(named + " does not exist");
    if (facts.kind == PathKind::NotRegular) throw StampError(named + " is not a regular file");
    if (facts.kind == PathKind::Unexaminable) throw StampError("cannot open " + named + ": " + facts.failure);
    if (facts.size > kLargestInput) throw StampError(named + " is larger than 256 MB");
    Bytes data;
    std::string failure;
    if (!ReadWholeFile(input.path, data, failure)) throw StampError("cannot read " + named + ": " + failure);
    return data;
}

// The output may be missing or a regular file, and never one of the inputs by another name:
// the files' identities are compared, since links, case, short names and the trailing dots
// and spaces Win32 drops all give one file several spellings.
void CheckOutput(const std::string& out, const std::vector<NamedInput>& inputs) {
    const PathFacts target = ExaminePath(out);
    if (target.kind == PathKind::Unexaminable) throw StampError("cannot examine --out " + out + ": " + target.failure);
    if (target.kind == PathKind::NotRegular)
        throw StampError("--out " + out + " exists and is not a regular file (a folder, a device, a pipe?); it is left as it is");
    if (target.kind != PathKind::RegularFile) return;
    for (const NamedInput& input : inputs) {
        const PathFacts facts = input.path.empty() ? PathFacts{} : ExaminePath(input.path);
        if (facts.kind == PathKind::RegularFile && facts.volume == target.volume && facts.file == target.file)
            throw StampError("--out " + out + " is the input (" + input.option + " " + input.path + "); inputs are never modified");
    }
}

std::string UnpredictableSuffix() {
    uint64_t value = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device source;
        value ^= uint64_t{source()} << 32 | source();
    } catch (const std::exception&) {
        // The clock alone: still unique enough, and a taken name is only skipped.
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// Written beside the output under a name no one can guess or plant a link at, then renamed
// over it in one step: the output is the old file or the whole new one, never half of one.
// The name is short whatever the output's: any name the file system takes can be the output.
// The folder ends at the last separator, or at the colon of a drive ("C:MyApp.exe").
bool ReplaceOutput(const std::string& out, const Bytes& data, std::string& failure) {
    const std::string folder = out.substr(0, out.find_last_of("/\\:") + 1);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string temporary = folder + "kestran-stamp-" + UnpredictableSuffix() + ".stamping";
        switch (WriteNewFile(temporary, data, failure)) {
            case NewFile::NameTaken:
                continue;
            case NewFile::Failed:
                return false;
            case NewFile::Written:
                if (RenameOver(temporary, out, failure)) return true;
                RemoveFile(temporary);
                return false;
        }
    }
    failure = "every temporary name tried was taken";
    return false;
}

}  // namespace

int RunStampTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    Bytes stamped;
    StampOptions options;
    try {
        options = ParseStampOptions(arguments);
        if (options.help) {
            out << kStampUsage;
            return kExitStamped;
        }
        const std::vector<NamedInput> inputs = {{"--in", options.in}, {"--icon", options.icon}, {"--settings", options.settings}};
        CheckOutput(options.out, inputs);
        StampInputs read;
        read.exe = ReadInput(inputs[0]);
        if (!options.icon.empty()) read.icon = ReadInput(inputs[1]);
        if (!options.settings.empty()) read.settings = ReadInput(inputs[2]);
        stamped = StampExecutable(read, options);
    } catch (const StampError& error) {
        err << "kestran-stamp: " << error.what() << "\n";
        if (arguments.empty()) err << kStampUsage;
        return kExitBadInput;
    } catch (const std::bad_alloc&) {
        err << "kestran-stamp: not enough memory to stamp " << options.in << "\n";
        return kExitBadInput;
    } catch (const std::exception& error) {
        err << "kestran-stamp: cannot stamp " << options.in << ": " << error.what() << "\n";
        return kExitBadInput;
    }
    std::string failure;
    if (!ReplaceOutput(options.out, stamped, failure)) {
        err << "kestran-stamp: cannot write --out " << options.out << ": " << failure << "; it is left as it was\n";
        return kExitWriteFailed;
    }
    return kExitStamped;
}

}  // namespace kestran::stamp
