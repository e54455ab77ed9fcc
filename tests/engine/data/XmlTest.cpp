#include "engine/data/Xml.h"

#include <gtest/gtest.h>

using namespace swf::data;

namespace {

std::string writeAll(const XmlDocument& doc)
{
    std::string out;
    for (const XmlNode& n : doc.nodes)
        out += toXmlString(n);
    return out;
}

} // namespace

TEST(Xml, ParsesAndWritesBackElementsTextAndAttributes)
{
    const XmlDocument doc = parseXml(R"(<a x="1" y='two'>I&apos;m <b>bold</b> &amp; &lt;here&gt;<c/></a>)", false);
    ASSERT_EQ(doc.status, XmlStatus::Ok);
    ASSERT_EQ(doc.nodes.size(), 1u);
    const XmlNode& a = doc.nodes[0];
    EXPECT_EQ(a.name, "a");
    ASSERT_EQ(a.attributes.size(), 2u);
    EXPECT_EQ(a.attributes[1], (std::pair<std::string, std::string>{"y", "two"}));
    ASSERT_EQ(a.children.size(), 4u);
    EXPECT_EQ(a.children[0].value, "I'm ");
    EXPECT_EQ(a.children[2].value, " & <here>");
    EXPECT_EQ(writeAll(doc), R"(<a x="1" y="two">I&apos;m <b>bold</b> &amp; &lt;here&gt;<c /></a>)");
}

TEST(Xml, CommentsAreDroppedCdataBecomesTextDeclarationsAreKeptAside)
{
    const XmlDocument doc = parseXml("<?xml version=\"1.0\"?><!DOCTYPE greeting><!-- note -->"
                                     "<g><![CDATA[<raw> & text]]></g>",
                                     false);
    ASSERT_EQ(doc.status, XmlStatus::Ok);
    EXPECT_TRUE(doc.hasDeclaration);
    EXPECT_EQ(doc.declaration, "<?xml version=\"1.0\"?>");
    EXPECT_EQ(doc.doctype, "<!DOCTYPE greeting>");
    ASSERT_EQ(doc.nodes.size(), 1u);
    ASSERT_EQ(doc.nodes[0].children.size(), 1u);
    EXPECT_EQ(doc.nodes[0].children[0].value, "<raw> & text");
    EXPECT_EQ(writeAll(doc), "<g>&lt;raw&gt; &amp; text</g>");
}

TEST(Xml, IgnoreWhiteDropsOnlyBlankTextNodes)
{
    const std::string text = "<root>   <foo> testing </foo>\n\t</root>";
    const XmlDocument keep = parseXml(text, false);
    ASSERT_EQ(keep.nodes[0].children.size(), 3u);
    EXPECT_EQ(keep.nodes[0].children[0].value, "   ");

    const XmlDocument drop = parseXml(text, true);
    ASSERT_EQ(drop.nodes[0].children.size(), 1u);
    EXPECT_EQ(drop.nodes[0].children[0].children[0].value, " testing ");
}

TEST(Xml, ErrorsGiveTheScriptStatusAndKeepWhatWasRead)
{
    struct Case {
        const char* text;
        XmlStatus status;
        size_t topNodes;
    };
    const Case cases[] = {
        {"<a><![CDATA[open", XmlStatus::CdataNotTerminated, 1},
        {"<?xml version", XmlStatus::DeclarationNotTerminated, 0},
        {"<!DOCTYPE x", XmlStatus::DoctypeNotTerminated, 0},
        {"<a/><!-- open", XmlStatus::CommentNotTerminated, 1},
        {"<a b></a>", XmlStatus::MalformedElement, 0},
        {"<a b=\"open></a>", XmlStatus::AttributeNotTerminated, 0},
        {"<a><b></a>", XmlStatus::EndTagMissing, 1},
        {"<a>", XmlStatus::EndTagMissing, 1},
        {"text</a>", XmlStatus::StartTagMissing, 1},
        {"<>", XmlStatus::MalformedElement, 0},
    };
    for (const Case& c : cases) {
        const XmlDocument doc = parseXml(c.text, false);
        EXPECT_EQ(doc.status, c.status) << c.text;
        EXPECT_EQ(doc.nodes.size(), c.topNodes) << c.text;
    }
}

TEST(Xml, EntitiesDecodeNamedAndNumericReferencesOnly)
{
    EXPECT_EQ(unescapeXml("&lt;&#65;&#x42;&#x4E2D;&nbsp;&#0;&bogus"), "<AB\xE4\xB8\xAD&nbsp;&#0;&bogus");
    EXPECT_EQ(escapeXml("a<b>\"c\"&'d'"), "a&lt;b&gt;&quot;c&quot;&amp;&apos;d&apos;");
}

TEST(Xml, HostileInputIsBoundedNotFatal)
{
    const std::string deep(100000, '<');
    EXPECT_NE(parseXml(deep, false).status, XmlStatus::Ok);

    std::string nested;
    for (int i = 0; i < 1000; ++i)
        nested += "<a>";
    EXPECT_EQ(parseXml(nested, false).status, XmlStatus::MalformedElement);

    std::string many;
    for (int i = 0; i < 50; ++i)
        many += "<x/>";
    XmlLimits small;
    small.maxNodes = 10;
    const XmlDocument doc = parseXml(many, false, small);
    EXPECT_EQ(doc.status, XmlStatus::OutOfMemory);
    EXPECT_EQ(doc.nodes.size(), 10u);
}

TEST(Xml, RepeatedAttributeKeepsTheFirstValue)
{
    const XmlDocument doc = parseXml("<a k=\"1\" k=\"2\" />", false);
    ASSERT_EQ(doc.nodes[0].attributes.size(), 1u);
    EXPECT_EQ(doc.nodes[0].attributes[0].second, "1");
}
