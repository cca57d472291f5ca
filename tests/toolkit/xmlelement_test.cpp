#include "toolkit/crc32.h"
#include "toolkit/xmlelement.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

using brix::XMLElement;

namespace
{
std::string nested(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    return text;
}

std::string formatted(const XMLElement& element)
{
    test::TempDir dir;
    const std::string path = dir.file("out.xml");
    int written = element.save(path, true);
    std::string text = test::readFile(path);
    EXPECT_EQ(written, static_cast<int>(text.size()));
    return text;
}
} // namespace

TEST(XMLElement, ReadsTrimmedValuesChildrenAndJoinedText)
{
    XMLElement root("");
    EXPECT_EQ(root.parse("<a>  x  </a>"), 12);
    EXPECT_EQ(root.getName(), "a");
    EXPECT_EQ(root.getValue(), "x");

    EXPECT_GE(root.parse("<a>\n\t<b>1</b>\n</a>"), 0);
    EXPECT_EQ(root.getValue(), "");
    ASSERT_NE(root.getChild("b"), nullptr);
    EXPECT_EQ(root.getChild("b")->getValue(), "1");
    EXPECT_EQ(root.getNextChild(root.getChild("b"), ""), nullptr);

    // Text pieces around children are joined without separator; text after the root is ignored.
    EXPECT_EQ(root.parse("<a> 1 <b>x</b> 2 </a> trailing"), 21);
    EXPECT_EQ(root.getValue(), "1  2");
}

TEST(XMLElement, KeepsCommentsAsChildrenAndDropsTheirAngleBrackets)
{
    XMLElement root("");
    ASSERT_GE(root.parse("<a><!-- x > y --><b>2</b></a>"), 0);
    const XMLElement* comment = root.getChild("");
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->getName(), "!-- x  y --");
    EXPECT_EQ(root.getNextChild(comment, "")->getName(), "b");
    EXPECT_EQ(formatted(root), "<a>\n\t<!-- x  y -->\n\t<b>2</b>\n</a>\n");
    EXPECT_EQ(root.toString(), "<a><!-- x  y --><b>2</b></a>");
}

TEST(XMLElement, UnescapesTheFiveEntitiesAndEscapesThemBack)
{
    XMLElement root("");
    ASSERT_GE(root.parse("<a>&lt;&amp;&gt;&quot;&apos;&foo;&#65;</a>"), 0);
    EXPECT_EQ(root.getValue(), "<&>\"'foo;#65;");
    EXPECT_EQ(root.toString(), "<a>&lt;&amp;&gt;&quot;&apos;foo;#65;</a>");
}

TEST(XMLElement, SkipsTheXMLDeclaration)
{
    XMLElement root("");
    EXPECT_EQ(root.parse("<?xml version=\"1.0\"?>\n<a>1</a>"), 30);
    EXPECT_EQ(root.getName(), "a");
    EXPECT_EQ(root.getValue(), "1");

    EXPECT_EQ(root.parse("<?xml version=\"1.0\" <a>1</a>"), -1);
    EXPECT_EQ(XMLElement::getLastError(), "Unterminated XML declaration");
    EXPECT_EQ(root.parse("  <?xml v?> text"), -9);
    EXPECT_EQ(XMLElement::getLastError(), "No root element found after XML declaration");
}

TEST(XMLElement, ReportsParseErrorsWithPositionAndOpenElements)
{
    struct Case
    {
        std::string source;
        int result;
        std::string message;
    } cases[] = {
        {"", -1, "Empty XML source"},
        {" \t\r\n", -1, "Empty XML source"},
        {"x", -1, "Expected a tag, but found character 0x78 at /"},
        {"  x", -3, "Expected a tag, but found character 0x78 at /"},
        {"\xC3\xA4", -1, "Expected a tag, but found character 0xFFFFFFC3 at /"},
        {"<>", -2, "Empty tag at /"},
        {"<a><></a>", -5, "Empty tag at /a"},
        {"<a><b>", -6, "Unexpected end of source data at /a"},
        {"<a><b><", -7, "Unexpected end of source data at /a/b"},
        {"<a><b></c></a>", -10, "Mismatching closing tag 'c' while expecting 'b' at /a/b"},
        // Self-closing tags are not part of the dialect: "b/" is a name and stays open.
        {"<a>1<b/>2</a>", -13, "Mismatching closing tag 'a' while expecting 'b/' at /a/b/"},
    };
    for (const Case& c : cases)
    {
        XMLElement root("");
        EXPECT_EQ(root.parse(c.source), c.result) << c.source;
        EXPECT_EQ(XMLElement::getLastError(), c.message) << c.source;
    }
}

TEST(XMLElement, SourceEndingBeforeAClosingTagFailsAtItsEndNamingTheElement)
{
    XMLElement root("");
    EXPECT_EQ(root.parse("<a>1"), -4);
    EXPECT_EQ(XMLElement::getLastError(), "Unexpected end of source data at /a");
    EXPECT_EQ(root.parse("<abc"), -4);
    EXPECT_EQ(root.parse("<a><!-- cut > off"), -17);
    EXPECT_EQ(root.parse("<a><b>2</b>"), -11);
    EXPECT_EQ(XMLElement::getLastError(), "Unexpected end of source data at /a");

    // A written file cut anywhere before its root's closing tag is refused, never read as whole.
    XMLElement level("level");
    level.createChild("title")->setValue("Hall");
    XMLElement* block = level.createChild("blocks")->createChild("block");
    block->createChild("type")->setValue("floor");
    block->createChild("position")->setValue("1 2 0");
    const std::string text = level.toString();
    ASSERT_EQ(root.parse(text), static_cast<int>(text.size()));
    for (std::size_t length = 1; length < text.size(); ++length)
        EXPECT_LT(root.parse(text.substr(0, length)), 0) << text.substr(0, length);
}

TEST(XMLElement, RefusesNestingDeeperThanTheLimit)
{
    XMLElement root("");
    const std::string deepest = nested(XMLElement::MAX_DEPTH);
    EXPECT_EQ(root.parse(deepest), static_cast<int>(deepest.size()));

    // The start tag of the element one level too deep is where reading stops.
    EXPECT_EQ(root.parse(nested(XMLElement::MAX_DEPTH + 1)), -3 * (XMLElement::MAX_DEPTH + 1));
    std::string location;
    for (int i = 0; i < XMLElement::MAX_DEPTH; ++i)
        location += "/e";
    EXPECT_EQ(XMLElement::getLastError(), "Elements nested more than 512 deep at " + location);

    // Far deeper input ends the same way instead of exhausting the stack.
    EXPECT_EQ(root.parse(nested(100000)), -3 * (XMLElement::MAX_DEPTH + 1));
}

TEST(XMLElement, WritesShortValuesInlineAndLongOnesOnTheirOwnLine)
{
    XMLElement root("v");
    root.setValue(std::string(39, 'x'));
    EXPECT_EQ(formatted(root), "<v>" + std::string(39, 'x') + "</v>\n");
    root.setValue(std::string(40, 'x'));
    EXPECT_EQ(formatted(root), "<v>\n\t" + std::string(40, 'x') + "\n</v>\n");
    // The length counts before escaping.
    root.setValue(std::string(38, 'x') + "&");
    EXPECT_EQ(formatted(root), "<v>" + std::string(38, 'x') + "&amp;</v>\n");

    // A value beside children is written after them.
    XMLElement parent("a");
    parent.createChild("b");
    parent.setValue("v");
    EXPECT_EQ(formatted(parent), "<a>\n\t<b></b>\n\tv\n</a>\n");
    EXPECT_EQ(parent.toString(), "<a><b></b>v</a>");
}

TEST(XMLElement, WritesNestedSectionsTabIndented)
{
    XMLElement config("configuration");
    config.createChild("version")->setValue("1.4.2");
    config.findChild("video/width", true)->setValue(1280);
    EXPECT_EQ(formatted(config), "<configuration>\n"
                                 "\t<version>1.4.2</version>\n"
                                 "\t<video>\n"
                                 "\t\t<width>1280</width>\n"
                                 "\t</video>\n"
                                 "</configuration>\n");
}

TEST(XMLElement, SaveAndLoadKeepTheTree)
{
    test::TempDir dir;
    const std::string path = dir.file("level.xml");
    XMLElement level("level");
    level.createChild("name")->setValue("Yard <2>");
    level.createChild("!-- blocks --");
    XMLElement* blocks = level.createChild("blocks");
    for (int i = 0; i < 3; ++i)
        blocks->createChild("block")->setValue(i);
    ASSERT_GT(level.save(path, false), 0);

    XMLElement loaded("");
    EXPECT_EQ(loaded.load(path), static_cast<int>(test::readFile(path).size()));
    EXPECT_EQ(loaded.toString(), level.toString());
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // Reading stops at the first zero byte.
    test::writeFile(path, std::string("<a>1</a>\0<b>", 12));
    EXPECT_EQ(loaded.load(path), 8);

    // Windows line ends read as plain line feeds, so the tree and its checksum are the same;
    // a lone carriage return is text.
    const std::string lf = "<level>\n\t<!-- two\n\tlines -->\n\t<text>one\ntwo\rthree</text>\n</level>\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    test::writeFile(path, crlf);
    EXPECT_EQ(loaded.load(path), static_cast<int>(lf.size()) - 1);
    EXPECT_EQ(loaded.getValue("text", ""), "one\ntwo\rthree");
    EXPECT_EQ(loaded.getChild("")->getName(), "!-- two\n\tlines --");
    XMLElement plain("");
    ASSERT_GE(plain.parse(lf), 0);
    brix::CRC32 ofLoaded, ofPlain;
    loaded.calculateChecksum(ofLoaded);
    plain.calculateChecksum(ofPlain);
    EXPECT_EQ(ofLoaded.getChecksumInteger(), ofPlain.getChecksumInteger());
}

TEST(XMLElement, LoadReportsMissingAndEmptyFiles)
{
    test::TempDir dir;
    XMLElement root("");
    EXPECT_EQ(root.load(dir.file("missing.xml")), -1);
    EXPECT_EQ(XMLElement::getLastError(), "Unable to open source file '" + dir.file("missing.xml") + "'");

    test::writeFile(dir.file("empty.xml"), "");
    EXPECT_EQ(root.load(dir.file("empty.xml")), -1);
    EXPECT_EQ(XMLElement::getLastError(), "Unable to read source file '" + dir.file("empty.xml") + "'");
    EXPECT_EQ(root.load(dir.path()), -1);
    EXPECT_EQ(XMLElement::getLastError(), "Unable to read source file '" + dir.path() + "'");
    // A pipe nobody writes to must not hold the reader.
    ASSERT_EQ(mkfifo(dir.file("pipe.xml").c_str(), 0600), 0);
    EXPECT_EQ(root.load(dir.file("pipe.xml")), -1);
    EXPECT_EQ(XMLElement::getLastError(), "Unable to read source file '" + dir.file("pipe.xml") + "'");

    test::writeFile(dir.file("blank.xml"), "\n\n");
    EXPECT_EQ(root.load(dir.file("blank.xml")), -1);
    EXPECT_EQ(XMLElement::getLastError(), "Empty XML source");
}

TEST(XMLElement, FailedSaveLeavesThePreviousFileWhole)
{
    test::TempDir dir;
    const std::string path = dir.file("configuration.xml");
    const std::string previous = "<configuration><version>1</version></configuration>";
    test::writeFile(path, previous);
    XMLElement big("configuration");
    big.setValue(std::string(100000, 'x'));

    // The temporary file cannot be created.
    std::filesystem::create_directory(path + ".tmp");
    EXPECT_EQ(big.save(path, true), -1);
    EXPECT_EQ(XMLElement::getLastError(), "Unable to open target file '" + path + "': Is a directory");
    EXPECT_EQ(test::readFile(path), previous);
    std::filesystem::remove(path + ".tmp");

    // The disk fills up while writing: a file size limit stands in for it.
    auto saveOnFullDisk = [&]
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::exit(big.save(path, true) == -1 ? 0 : 1);
    };
    EXPECT_EXIT(saveOnFullDisk(), testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::readFile(path), previous);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // The target cannot be replaced.
    const std::string folder = dir.file("folder");
    std::filesystem::create_directories(folder + "/inside");
    EXPECT_EQ(big.save(folder, true), -1);
    EXPECT_EQ(XMLElement::getLastError().rfind("Unable to replace target file '" + folder + "'", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/inside"));
    EXPECT_FALSE(std::filesystem::exists(folder + ".tmp"));

    EXPECT_EQ(big.save(dir.file("no/such/folder.xml"), true), -1);
}

TEST(XMLElement, FindsAndCreatesPaths)
{
    XMLElement root("configuration");
    EXPECT_EQ(root.findChild("", false), &root);
    EXPECT_EQ(root.findChild("/", false), &root);
    XMLElement* width = root.findChild("/video/width", true);
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(root.getChild("video")->getChild("width"), width);
    EXPECT_EQ(root.findChild("video/height"), nullptr);
    EXPECT_EQ(root.findChild("video/"), width);

    width->setValue("abc");
    EXPECT_EQ(root.getValueAsInteger("video/depth", 7), 7);
    EXPECT_EQ(root.getValueAsInteger("video/width", 7), 0);
    EXPECT_EQ(root.getValue("video/width", "none"), "abc");
    EXPECT_EQ(root.getValue("audio", "none"), "none");
    EXPECT_FLOAT_EQ(root.getValueAsFloat("audio/volume", 0.5f), 0.5f);
    EXPECT_TRUE(root.getValueAsBoolean("audio/on", true));
}

TEST(XMLElement, ConvertsTypedValues)
{
    XMLElement element("v");
    element.setValue(0.1f);
    EXPECT_EQ(element.getValue(), "0.100000");
    element.setValue(-12.25f);
    EXPECT_EQ(element.getValue(), "-12.250000");
    EXPECT_FLOAT_EQ(element.getValueAsFloat(), -12.25f);
    element.setValue(-42);
    EXPECT_EQ(element.getValue(), "-42");
    element.setValue(true);
    EXPECT_EQ(element.getValue(), "true");
    EXPECT_TRUE(element.getValueAsBoolean());
    element.setValue(" \t 1 \n");
    EXPECT_EQ(element.getValue(), "1");
    EXPECT_FALSE(element.getValueAsBoolean());
    EXPECT_EQ(element.getValueAsInteger(), 1);

    element.setValue("  17 apples");
    EXPECT_EQ(element.getValueAsInteger(), 17);
    element.setValue("99999999999999999999");
    EXPECT_EQ(element.getValueAsInteger(), INT_MAX);
    element.setValue("-99999999999999999999");
    EXPECT_EQ(element.getValueAsInteger(), INT_MIN);
    element.setValue("1e999");
    EXPECT_EQ(element.getValueAsFloat(), FLT_MAX);
}

TEST(XMLElement, DeletesChildrenAndKeepsAppending)
{
    XMLElement root("a");
    XMLElement* b = root.createChild("b");
    XMLElement* c = root.createChild("c");
    XMLElement* b2 = root.createChild("b");
    XMLElement other("x");
    EXPECT_EQ(root.deleteChild(other.createChild("b")), nullptr);
    EXPECT_EQ(root.deleteChild(nullptr), nullptr);

    EXPECT_EQ(root.deleteChild(b2), nullptr);
    root.createChild("d"); // appended after c, not after the deleted last child
    EXPECT_EQ(root.toString(), "<a><b></b><c></c><d></d></a>");
    EXPECT_EQ(root.deleteChild(b), c);
    root.createChild("b");
    root.createChild("b");
    root.deleteChild("b");
    EXPECT_EQ(root.toString(), "<a><c></c><d></d></a>");

    XMLElement copy(&root);
    root.deleteChildren();
    EXPECT_EQ(root.toString(), "<a></a>");
    EXPECT_EQ(copy.toString(), "<a><c></c><d></d></a>");
    copy.clear();
    EXPECT_EQ(copy.toString(), "<></>");
}

TEST(XMLElement, ChecksumCoversNamesValuesAndCommentsDepthFirst)
{
    XMLElement tree("");
    ASSERT_GE(tree.parse("<a>1<b>2</b><c>3</c></a>"), 0);
    brix::CRC32 ofTree, ofBytes;
    tree.calculateChecksum(ofTree);
    ofBytes.add(std::string("a1b2c3"));
    EXPECT_EQ(ofTree.getChecksumInteger(), ofBytes.getChecksumInteger());

    XMLElement commented("");
    ASSERT_GE(commented.parse("<a>1<!-- x --><b>2</b><c>3</c></a>"), 0);
    brix::CRC32 ofCommented;
    commented.calculateChecksum(ofCommented);
    EXPECT_NE(ofCommented.getChecksumInteger(), ofTree.getChecksumInteger());
}

TEST(XMLElement, ValidatesCountsAndLengthsAgainstATemplate)
{
    XMLElement rules("");
    ASSERT_GE(rules.parse("<level>0:0-8<name>1:1-32</name><block>0-2:0<size>1:0-3</size></block></level>"),
              0);
    XMLElement document("");
    auto check = [&](const std::string& source)
    {
        EXPECT_GE(document.parse(source), 0) << source;
        return document.validate(&rules);
    };

    EXPECT_TRUE(check("<level><name>Yard</name><!-- c --><block><size>12</size></block></level>"));
    EXPECT_TRUE(check("<other>root<name>x</name></other>")); // root names are not compared

    EXPECT_FALSE(check("<level>rootvalue!<name>x</name></level>"));
    EXPECT_EQ(XMLElement::getLastError(), "Too long value for element 'level'");
    EXPECT_FALSE(check("<level></level>"));
    EXPECT_EQ(XMLElement::getLastError(), "Too few 'name' elements");
    EXPECT_FALSE(check("<level><name></name></level>"));
    EXPECT_EQ(XMLElement::getLastError(), "Too short value for element 'name'");
    EXPECT_FALSE(check("<level><name>x</name><name>y</name></level>"));
    EXPECT_EQ(XMLElement::getLastError(), "Too many 'name' elements");
    EXPECT_FALSE(check("<level><name>x</name><door></door></level>"));
    EXPECT_EQ(XMLElement::getLastError(), "Unexpected element 'door' as child of 'level'");
    EXPECT_FALSE(check("<level><name>x</name><block>x<size>1</size></block></level>"));
    EXPECT_EQ(XMLElement::getLastError(), "Too long value for element 'block'");
    EXPECT_FALSE(check("<level><name>x</name><block><size>1</size></block><block></block></level>"));
    EXPECT_EQ(XMLElement::getLastError(), "Too few 'size' elements");
    EXPECT_FALSE(check("<level><name>x</name><block><size>1</size></block><block><size>1</size></block>"
                       "<block><size>1</size></block></level>"));
    EXPECT_EQ(XMLElement::getLastError(), "Too many 'block' elements");

    XMLElement broken("");
    ASSERT_GE(document.parse("<level><name>x</name></level>"), 0);
    ASSERT_GE(broken.parse("<level>0:0<name>3</name></level>"), 0);
    EXPECT_FALSE(document.validate(&broken));
    EXPECT_EQ(XMLElement::getLastError(), "Invalid template rule '3' for element 'name'");
    ASSERT_GE(document.parse("<level></level>"), 0);
    ASSERT_GE(broken.parse("<level>0:0<!-- note --></level>"), 0);
    EXPECT_FALSE(document.validate(&broken));
    EXPECT_EQ(XMLElement::getLastError(), "Invalid template rule '' for element '!-- note --'");
    ASSERT_GE(broken.parse("<level>any</level>"), 0);
    EXPECT_FALSE(document.validate(&broken));
    EXPECT_EQ(XMLElement::getLastError(), "Invalid template rule 'any' for element 'level'");
    EXPECT_FALSE(document.validate(nullptr));
}
