// The parts of kestran-stamp that the black-box table cannot reach with kestran.exe's own
// resources: manifests shaped differently, resource trees read back after writing.
#include <gtest/gtest.h>

#include <functional>

#include "manifest_edit.h"
#include "resource_tree.h"
#include "settings_text.h"
#include "stamp.h"
#include "stamp_options.h"

using namespace kestran::stamp;

TEST(ManifestEdit, AddsWhatIsMissingAndReplacesWhatIsThere) {
    using Edit = std::function<std::string(const std::string&)>;
    const auto level = [](const char* level) -> Edit { return [=](const std::string& m) { return SetExecutionLevel(m, level); }; };
    // Stamped as MyApp.exe unless `out` says otherwise, with `strings` and `version` given.
    const auto brand = [](std::string out, std::vector<std::pair<std::u16string, std::u16string>> strings = {},
                          bool version = false) -> Edit {
        return [=](const std::string& m) {
            StampOptions options;
            options.out = out;
            options.strings = strings;
            if (version) options.version = {{1, 2, 3, 40000}};
            return BrandManifest(m, options);
        };
    };
    struct Case {
        const char* name;
        std::string manifest;
        Edit edit;
        std::string expected;
    };
    const std::string tail = "</assembly>";
    const std::string launcher = "<a>\n  <assemblyIdentity type=\"win32\" name=\"Kestran.Launcher\" version=\"0.1.0.0\"/>\n"
                                 "  <description>Kestran Java application launcher</description>\n  <dependency>"
                                 "<assemblyIdentity name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"/>";
    const std::string common = "<dependency><assemblyIdentity name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"/>";
    const Case cases[] = {
        {"level in single quotes", "<a><requestedExecutionLevel level='asInvoker' uiAccess='false'/>" + tail,
         level("requireAdministrator"), "<a><requestedExecutionLevel level='requireAdministrator' uiAccess='false'/>" + tail},
        {"no trust info", "<a>" + tail, level("highestAvailable"),
         "<a>  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
         "<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/></requestedPrivileges></security>"
         "</trustInfo>\n" + tail},
        {"code page already set", "<activeCodePage xmlns=\"x\">Legacy</activeCodePage>" + tail, SetUtf8CodePage,
         "<activeCodePage xmlns=\"x\">UTF-8</activeCodePage>" + tail},
        {"no windowsSettings", "<a>" + tail, SetUtf8CodePage,
         "<a>  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings><activeCodePage "
         "xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage></windowsSettings>"
         "</application>\n" + tail},
        {"the launcher's identity, nothing given", launcher, brand("C:\\dist\\My App.EXE"),
         "<a>\n  <assemblyIdentity type=\"win32\" name=\"My_App\" version=\"0.1.0.0\"/>\n  " + common},
        {"description escaped, version given", launcher, brand("out/MyApp.exe", {{u"FileDescription", u"R&D <\x01\uFFFF>"},
                                                                                 {u"ProductName", u"Suite"}}, true),
         "<a>\n  <assemblyIdentity type=\"win32\" name=\"MyApp\" version=\"1.2.3.40000\"/>\n"
         "  <description>R&amp;D &lt;  &gt;</description>\n  " + common},
        {"product name added, single quotes, no dependency", "\t<assemblyIdentity version='1' xname='x' name='K'/>" + tail,
         brand("\xC3\x84pp..v2.exe. ", {{u"ProductName", u"\u00C4pp"}}),
         "\t<assemblyIdentity version='1' xname='x' name='_pp.v2'/>\n\t<description>\xC3\x84pp</description>" + tail},
        {"nothing usable in the file name", "<assemblyIdentity name=\"K\"/>", brand("dist/..."),
         "<assemblyIdentity name=\"Application\"/>"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.edit(c.manifest), c.expected) << c.name;
    EXPECT_THROW(SetExecutionLevel("<requestedExecutionLevel uiAccess=\"false\"/></assembly>", "asInvoker"), StampError);
    EXPECT_THROW(brand("a.exe")("<dependency><assemblyIdentity name=\"x\"/>"), StampError);
}

// Names sort before numbers and are written once even when two types share them; the data
// lands 8-byte aligned at addresses of the section's own mapping.
TEST(ResourceTree, ReadsBackWhatItWrote) {
    ResourceList written = {
        {ResourceName::Id(24), ResourceName::Id(1), 1033, 0, {'<', 'a', '/', '>'}},
        {ResourceName::Id(10), ResourceName::Text(u"KESTRAN_SETTINGS"), 0, 1252, {'[', 'x', ']'}},
        {ResourceName::Text(u"KESTRAN_SETTINGS"), ResourceName::Id(7), 0, 0, {}},
        {ResourceName::Id(10), ResourceName::Text(u"A"), 1031, 0, {1, 2, 3, 4, 5}},
        {ResourceName::Id(10), ResourceName::Text(u"A"), 1033, 0, {6}},
    };
    const uint32_t rva = 0x57000;
    const Bytes section = WriteResourceTree(written, rva);
    ResourceList read = ReadResourceTree(section, rva);
    SortResources(written);
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_TRUE(read[i].type == written[i].type && read[i].name == written[i].name) << i;
        EXPECT_EQ(read[i].language, written[i].language) << i;
        EXPECT_EQ(read[i].codePage, written[i].codePage) << i;
        EXPECT_EQ(read[i].data, written[i].data) << i;
    }
    EXPECT_TRUE(read[0].type.named);  // the named type first, as the loader's search expects
    EXPECT_THROW(WriteResourceTree({written[0], written[0]}, rva), StampError);
}

TEST(ResourceTree, RefusesTreesThatAreNotThreeLevels) {
    // A root whose one entry points at data rather than at a name directory.
    Bytes flat(16 + 8 + 16, 0);
    flat[14] = 1;   // one numbered entry
    flat[16] = 16;  // type 16
    flat[20] = 24;  // data entry at 24
    EXPECT_THROW(ReadResourceTree(flat, 0), StampError);
    // A root whose entry points back at the root.
    Bytes loop(16 + 8, 0);
    loop[14] = 1;
    loop[23] = 0x80;
    EXPECT_THROW(ReadResourceTree(loop, 0), StampError);
}

TEST(SettingsResource, KeepsTheEncodingAndWritesLineEndsAsTheLauncherReadsThem) {
    const auto utf16 = [](const std::u16string& text) {
        Bytes bytes = {0xFF, 0xFE};
        for (char16_t unit : text) bytes.insert(bytes.end(), {static_cast<uint8_t>(unit), static_cast<uint8_t>(unit >> 8)});
        return bytes;
    };
    const auto utf8 = [](const std::string& text) { return Bytes(text.begin(), text.end()); };
    struct Case {
        const char* name;
        Bytes file, expected;  // expected empty: refused
    };
    const Case cases[] = {
        {"UTF-8 mark kept, lone CR and LF", utf8("\xEF\xBB\xBF[a]\rk=\xC3\xA4\nx=1"), utf8("\xEF\xBB\xBF[a]\r\nk=\xC3\xA4\r\nx=1")},
        {"CRLF and CR CR", utf8("[a]\r\n\r\rk=1\r\n"), utf8("[a]\r\n\r\n\r\nk=1\r\n")},
        {"UTF-16LE with a surrogate pair", utf16(u"[a]\rk=\U0001F600\n"), utf16(u"[a]\r\nk=\U0001F600\r\n")},
        {"UTF-16LE with a lone surrogate", utf16(u"k=\xD83D\n"), {}},
        {"UTF-16BE", {0xFE, 0xFF, 0, '['}, {}},
        {"UTF-32BE", {0, 0, 0xFE, 0xFF, 0, 0, 0, '['}, {}},
        {"invalid UTF-8", utf8("k=\xC3("), {}},
    };
    for (const Case& c : cases) {
        if (c.expected.empty()) EXPECT_THROW(SettingsResource(c.file), StampError) << c.name;
        else EXPECT_EQ(SettingsResource(c.file), c.expected) << c.name;
    }
}

TEST(BrandVersionInfo, NamesTheOutputAndKeepsOnlyWhatTheVendorGives) {
    struct Case {
        const char* name;
        std::string out;
        std::vector<std::pair<std::u16string, std::u16string>> given;
        std::u16string originalFilename, internalName, company;
    };
    const Case cases[] = {
        {"Windows path, upper-case extension", "C:\\dist\\MyApp.EXE", {}, u"MyApp.EXE", u"MyApp", u""},
        {"trailing dot and space Win32 drops", "out/My App.exe. ", {}, u"My App.exe", u"My App", u""},
        {"no .exe", "tool", {}, u"tool", u"tool", u""},
        {"the vendor's own words win", "a.exe", {{u"CompanyName", u"Kestran fans"}, {u"InternalName", u"core"}}, u"a.exe",
         u"core", u"Kestran fans"},
    };
    for (const Case& c : cases) {
        VersionBlock root{u"VS_VERSION_INFO", false, Bytes(52, 0), {}};
        Write32(root.value.data(), 0xFEEF04BD);
        SetVersionString(root, u"CompanyName", u"Kestran");
        SetVersionString(root, u"Comments", u"Kestran launcher");
        StampOptions options;
        options.out = c.out;
        options.strings = c.given;
        options.version = {{1, 2, 3, 4}};
        options.productVersion = {{3, 0, 0, 7}};
        BrandVersionInfo(root, options);
        EXPECT_EQ(VersionString(root, u"OriginalFilename"), c.originalFilename) << c.name;
        EXPECT_EQ(VersionString(root, u"InternalName"), c.internalName) << c.name;
        EXPECT_EQ(VersionString(root, u"CompanyName"), c.company) << c.name;
        EXPECT_EQ(VersionString(root, u"Comments"), u"") << c.name;
        EXPECT_EQ(VersionString(root, u"FileVersion"), u"1.2.3.4") << c.name;
        EXPECT_EQ(VersionString(root, u"ProductVersion"), u"3.0.0.7") << c.name;
    }
}
