// Stamping: a Kestran executable's bytes in, the branded executable's bytes out.
#pragma once

#include "byte_io.h"
#include "stamp_options.h"
#include "version_info.h"

namespace kestran::stamp {

// Every Kestran executable (console or windowed) carries this RCDATA resource; stamping keeps it,
// so a stamped executable is recognised again.
constexpr char16_t kLauncherMarker[] = u"KESTRAN_LAUNCHER";
constexpr char16_t kSettingsName[] = u"KESTRAN_SETTINGS";

struct StampInputs {
    Bytes exe;
    Bytes icon;      // the .ico file, when options.icon is set
    Bytes settings;  // the settings text, when options.settings is set
};

// The version information of the executable stamped as `options` say: the versions and strings
// they give; "OriginalFilename" and "InternalName" (without ".exe") from the output's file name
// unless given; every other string that names Kestran emptied unless given.
void BrandVersionInfo(VersionBlock& root, const StampOptions& options);
// The manifest of the executable stamped as `options` say: the own assemblyIdentity named after the
// output's file name (without ".exe"; characters an assembly name cannot hold become '_', dots only
// between other characters, "Application" when nothing is left), its version --version's unless
// not given; the description the vendor's file description, else the product name, else none.
// Every other setting stays as written. Throws StampError on a manifest the tool cannot edit.
std::string BrandManifest(const std::string& manifest, const StampOptions& options);

// The stamped executable. Throws StampError on bad input: not a Kestran executable, a malformed
// icon or settings text, a resource tree or version resource the tool does not understand, text
// too long for the version information. The same inputs always give the same bytes.
Bytes StampExecutable(const StampInputs& inputs, const StampOptions& options);

}  // namespace kestran::stamp
