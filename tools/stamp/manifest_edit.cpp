#include "manifest_edit.h"

#include "byte_io.h"

namespace kestran::stamp {
namespace {

// Inserts `text` before the closing tag of `element` (no namespace prefix), or throws.
std::string InsertBefore(const std::string& manifest, const std::string& closingTag, const std::string& text) {
    const size_t at = manifest.rfind(closingTag);
    if (at == std::string::npos) throw StampError("the manifest has no " + closingTag);
    return manifest.substr(0, at) + text + manifest.substr(at);
}

}  // namespace

std::string SetExecutionLevel(const std::string& manifest, const std::string& level) {
    const size_t element = manifest.find("<requestedExecutionLevel");
    if (element == std::string::npos)
        return InsertBefore(manifest, "</assembly>",
                            "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
                            "<requestedExecutionLevel level=\"" + level + "\" uiAccess=\"false\"/>"
                            "</requestedPrivileges></security></trustInfo>\n");
    const size_t end = manifest.find('>', element);
    const size_t attribute = manifest.find("level=", element);
    if (attribute == std::string::npos || attribute > end || attribute + 7 > manifest.size())
        throw StampError("the manifest's requestedExecutionLevel has no level");
    const char quote = manifest[attribute + 6];
    const size_t close = manifest.find(quote, attribute + 7);
    if ((quote != '"' && quote != '\'') || close == std::string::npos || close > end)
        throw StampError("the manifest's requestedExecutionLevel level is not quoted");
    return manifest.substr(0, attribute + 7) + level + manifest.substr(close);
}

std::string SetUtf8CodePage(const std::string& manifest) {
    const size_t element = manifest.find("<activeCodePage");
    if (element != std::string::npos) {
        const size_t open = manifest.find('>', element);
        const size_t close = manifest.find("</activeCodePage>", element);
        if (open == std::string::npos || close == std::string::npos || close < open || manifest[open - 1] == '/')
            throw StampError("the manifest's activeCodePage is not a plain element");
        return manifest.substr(0, open + 1) + "UTF-8" + manifest.substr(close);
    }
    const std::string codePage =
        "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>";
    if (manifest.find("</windowsSettings>") != std::string::npos)
        return InsertBefore(manifest, "</windowsSettings>", "  " + codePage + "\n    ");
    return InsertBefore(manifest, "</assembly>",
                        "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>" + codePage +
                            "</windowsSettings></application>\n");
}

}  // namespace kestran::stamp
