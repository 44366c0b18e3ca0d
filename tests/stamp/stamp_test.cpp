// The parts of kestran-stamp that the black-box table cannot reach with kestran.exe's own
// resources: manifests shaped differently, resource trees read back after writing.
#include <gtest/gtest.h>

#include "manifest_edit.h"
#include "resource_tree.h"
#include "stamp_options.h"

using namespace kestran::stamp;

TEST(ManifestEdit, AddsWhatIsMissingAndReplacesWhatIsThere) {
    struct Case {
        const char* name;
        std::string manifest;
        const char* level;  // nullptr: the UTF-8 code page instead
        std::string expected;
    };
    const std::string tail = "</assembly>";
    const Case cases[] = {
        {"level in single quotes", "<a><requestedExecutionLevel level='asInvoker' uiAccess='false'/>" + tail,
         "requireAdministrator", "<a><requestedExecutionLevel level='requireAdministrator' uiAccess='false'/>" + tail},
        {"no trust info", "<a>" + tail, "highestAvailable",
         "<a>  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
         "<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/></requestedPrivileges></security>"
         "</trustInfo>\n" + tail},
        {"code page already set", "<activeCodePage xmlns=\"x\">Legacy</activeCodePage>" + tail, nullptr,
         "<activeCodePage xmlns=\"x\">UTF-8</activeCodePage>" + tail},
        {"no windowsSettings", "<a>" + tail, nullptr,
         "<a>  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings><activeCodePage "
         "xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage></windowsSettings>"
         "</application>\n" + tail},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.level ? SetExecutionLevel(c.manifest, c.level) : SetUtf8CodePage(c.manifest), c.expected) << c.name;
    EXPECT_THROW(SetExecutionLevel("<requestedExecutionLevel uiAccess=\"false\"/></assembly>", "asInvoker"), StampError);
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
