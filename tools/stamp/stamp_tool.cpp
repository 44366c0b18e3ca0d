#include "stamp_tool.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "stamp.h"

namespace kestran::stamp {
namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return fs::path(text);
}

Bytes ReadWholeFile(const std::string& name, const char* what) {
    std::error_code error;
    const fs::path path = PathOf(name);
    if (!fs::is_regular_file(path, error)) throw StampError(std::string(what) + " " + name + " does not exist or is not a file");
    std::ifstream in(path, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw StampError(std::string("cannot read ") + what + " " + name);
    return data;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(b, error)) return fs::equivalent(a, b, error);
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// Written beside the target and renamed over it, so a failed write leaves no half executable.
bool WriteWholeFile(const fs::path& path, const Bytes& data, const fs::path& permissionsFrom) {
    fs::path temporary = path;
    temporary += ".stamping";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (!out.flush()) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::permissions(temporary, fs::status(permissionsFrom, error).permissions(), error);
    fs::rename(temporary, path, error);
    if (error) fs::remove(temporary, error);
    return !fs::exists(temporary);
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
        if (SameFile(PathOf(options.in), PathOf(options.out)))
            throw StampError("--out names the input executable; the input is never modified");
        StampInputs inputs;
        inputs.exe = ReadWholeFile(options.in, "the executable");
        if (!options.icon.empty()) inputs.icon = ReadWholeFile(options.icon, "the icon file");
        if (!options.settings.empty()) inputs.settings = ReadWholeFile(options.settings, "the settings file");
        stamped = StampExecutable(inputs, options);
    } catch (const StampError& error) {
        err << "kestran-stamp: " << error.what() << "\n";
        if (arguments.empty()) err << kStampUsage;
        return kExitBadInput;
    }
    if (!WriteWholeFile(PathOf(options.out), stamped, PathOf(options.in))) {
        err << "kestran-stamp: cannot write " << options.out << "\n";
        return kExitWriteFailed;
    }
    return kExitStamped;
}

}  // namespace kestran::stamp
