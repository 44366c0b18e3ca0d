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

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Replaces the quoted value of `attribute` in the tag that starts at `element`, or throws.
std::string SetAttribute(const std::string& manifest, size_t element, const std::string& attribute,
                         const std::string& value) {
    const std::string tag = manifest.substr(element + 1, manifest.find_first_of(" \t\r\n/>", element) - element - 1);
    const size_t end = manifest.find('>', element);
    // An attribute whose name merely ends in `attribute` (uiAccess for "access") is another one.
    size_t at = manifest.find(attribute + "=", element);
    while (at < end && !IsXmlSpace(manifest[at - 1])) at = manifest.find(attribute + "=", at + 1);
    if (at >= end || end == std::string::npos) throw StampError("the manifest's " + tag + " has no " + attribute);
    const size_t open = at + attribute.size() + 1;
    const char quote = manifest[open];
    const size_t close = manifest.find(quote, open + 1);
    if ((quote != '"' && quote != '\'') || close > end)
        throw StampError("the manifest's " + tag + " " + attribute + " is not quoted");
    return manifest.substr(0, open + 1) + value + manifest.substr(close);
}

size_t OwnIdentity(const std::string& manifest) {
    const size_t identity = manifest.find("<assemblyIdentity");
    if (identity == std::string::npos || identity > manifest.find("<dependency") ||
        manifest.find('>', identity) == std::string::npos)
        throw StampError("the manifest has no assemblyIdentity of its own");
    return identity;
}

// Windows refuses a manifest that is not well-formed XML, and the executable then does not start.
std::string XmlText(const std::string& text) {
    std::string escaped;
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '&') escaped += "&amp;";
        else if (c == '<') escaped += "&lt;";
        else if (c == '>') escaped += "&gt;";
        else if (static_cast<unsigned char>(c) < 0x20 && !IsXmlSpace(c)) escaped += ' ';
        else if (text.compare(at, 3, "\xEF\xBF\xBE") == 0 || text.compare(at, 3, "\xEF\xBF\xBF") == 0) {
            escaped += ' ';  // U+FFFE and U+FFFF, no characters in XML either
            at += 2;
        } else escaped += c;
    }
    return escaped;
}

}  // namespace

std::string SetExecutionLevel(const std::string& manifest, const std::string& level) {
    const size_t element = manifest.find("<requestedExecutionLevel");
    if (element == std::string::npos)
        return InsertBefore(manifest, "</assembly>",
                            "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
                            "<requestedExecutionLevel level=\"" + level + "\" uiAccess=\"false\"/>"
                            "</requestedPrivileges></security></trustInfo>\n");
    return SetAttribute(manifest, element, "level", level);
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

std::string SetAssemblyIdentity(const std::string& manifest, const std::string& name, const std::string& version) {
    const std::string named = SetAttribute(manifest, OwnIdentity(manifest), "name", name);
    return version.empty() ? named : SetAttribute(named, OwnIdentity(named), "version", version);
}

std::string SetDescription(const std::string& manifest, const std::string& text) {
    const size_t identity = OwnIdentity(manifest);
    const size_t element = manifest.find("<description", identity);
    if (element == std::string::npos || element > manifest.find("<dependency")) {
        if (text.empty()) return manifest;
        const size_t after = manifest.find('>', identity) + 1;
        size_t line = identity;  // the description is indented as the identity is
        while (line > 0 && (manifest[line - 1] == ' ' || manifest[line - 1] == '\t')) --line;
        return manifest.substr(0, after) + "\n" + manifest.substr(line, identity - line) + "<description>" +
               XmlText(text) + "</description>" + manifest.substr(after);
    }
    const size_t open = manifest.find('>', element);
    const size_t close = manifest.find("</description>", element);
    if (open == std::string::npos || close == std::string::npos || close < open || manifest[open - 1] == '/')
        throw StampError("the manifest's description is not a plain element");
    if (!text.empty()) return manifest.substr(0, open + 1) + XmlText(text) + manifest.substr(close);
    // The line the description stood on goes with it.
    const size_t start = manifest.find_last_not_of(" \t\r\n", element - 1) + 1;
    return manifest.substr(0, start) + manifest.substr(close + sizeof "</description>" - 1);
}

}  // namespace kestran::stamp
