#include "msxml/MsXml.h"

#include <gtest/gtest.h>

namespace
{
CComPtr<IXMLDOMDocument> Loaded(const char16_t* text)
{
    CComPtr<IXMLDOMDocument> document;
    EXPECT_EQ(CreateDOMDocument(&document), S_OK);
    VARIANT_BOOL success = VARIANT_FALSE;
    EXPECT_EQ(document->loadXML(text, &success), S_OK);
    EXPECT_EQ(success, VARIANT_TRUE);
    return document;
}

long Count(IXMLDOMDocument& document, const char16_t* path)
{
    CComPtr<IXMLDOMNodeList> list;
    long length = -1;
    EXPECT_EQ(document.getElementsByTagName(path, &list), S_OK);
    EXPECT_EQ(list->get_length(&length), S_OK);
    return length;
}

TEST(Dom, a_built_document_transforms_through_a_stylesheet_of_version_2_with_its_texts_intact)
{
    CComPtr<IXMLDOMDocument> document;
    ASSERT_EQ(CreateDOMDocument(&document), S_OK);
    ASSERT_EQ(document->put_async(VARIANT_FALSE), S_OK);
    CComPtr<IXMLDOMElement> root, child;
    CComPtr<IXMLDOMAttribute> attribute;
    CComPtr<IXMLDOMNamedNodeMap> attributes;
    ASSERT_EQ(document->createElement(u"Partition", &root), S_OK);
    ASSERT_EQ(document->createElement(u"Preface", &child), S_OK);
    ASSERT_EQ(document->createAttribute(u"value", &attribute), S_OK);
    // Markup and entity-like text stays text; a non-ASCII character survives the round trip.
    const WString value = u"<a> & &amp; \"\u00e9\"";
    ASSERT_EQ(attribute->put_nodeValue(value), S_OK);
    ASSERT_EQ(child->get_attributes(&attributes), S_OK);
    ASSERT_EQ(attributes->setNamedItem(attribute.get(), nullptr), S_OK);
    ASSERT_EQ(root->appendChild(child.get(), nullptr), S_OK);
    ASSERT_EQ(document->appendChild(root.get(), nullptr), S_OK);
    // A document has one root element.
    CComPtr<IXMLDOMElement> second;
    ASSERT_EQ(document->createElement(u"Second", &second), S_OK);
    EXPECT_TRUE(FAILED(document->appendChild(second.get(), nullptr)));

    CComPtr<IXMLDOMDocument> stylesheet =
        Loaded(uR"(<xsl:stylesheet version="2.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/"><xsl:apply-templates select="/Partition/Preface"/></xsl:template>
  <xsl:template match="/Partition/Preface">
    <Attributes><Value><xsl:value-of select="@value"/></Value></Attributes>
  </xsl:template></xsl:stylesheet>)");
    WString output;
    ASSERT_EQ(document->transformNode(stylesheet.get(), &output), S_OK);
    VARIANT_BOOL success = VARIANT_FALSE;
    ASSERT_EQ(document->loadXML(output, &success), S_OK);
    ASSERT_EQ(success, VARIANT_TRUE);
    ASSERT_EQ(Count(*document, u"Attributes/Value"), 1);
    CComPtr<IXMLDOMNodeList> list;
    CComPtr<IXMLDOMNode> node;
    WString text;
    ASSERT_EQ(document->getElementsByTagName(u"Attributes/Value", &list), S_OK);
    ASSERT_EQ(list->nextNode(&node), S_OK);
    ASSERT_EQ(node->get_text(&text), S_OK);
    EXPECT_EQ(text, value);
    EXPECT_EQ(list->nextNode(&node), S_FALSE);
    EXPECT_FALSE(node);
}

TEST(Dom, text_that_does_not_parse_leaves_an_empty_document)
{
    CComPtr<IXMLDOMDocument> document = Loaded(u"<Attributes><FileName>a</FileName></Attributes>");
    ASSERT_EQ(Count(*document, u"Attributes/FileName"), 1);
    for (const char16_t* text : {u"", u"<?xml version=\"1.0\"?>\n", u"<a><b></a>", u"plain text"})
    {
        VARIANT_BOOL success = VARIANT_TRUE;
        EXPECT_EQ(document->loadXML(text, &success), S_FALSE);
        EXPECT_EQ(success, VARIANT_FALSE);
        EXPECT_EQ(Count(*document, u"Attributes/FileName"), 0);
    }
    VARIANT_BOOL success = VARIANT_TRUE;
    EXPECT_EQ(document->load(u"/nonexistent/transform.xsl", &success), S_FALSE);
    EXPECT_EQ(success, VARIANT_FALSE);
}

TEST(Dom, names_that_are_not_xml_names_and_foreign_nodes_are_refused)
{
    CComPtr<IXMLDOMDocument> document, other;
    ASSERT_EQ(CreateDOMDocument(&document), S_OK);
    ASSERT_EQ(CreateDOMDocument(&other), S_OK);
    CComPtr<IXMLDOMElement> element, foreign;
    for (const char16_t* name : {u"", u"1st", u"a b", u"a<b"})
        EXPECT_TRUE(FAILED(document->createElement(name, &element)));
    ASSERT_EQ(document->createElement(u"Root", &element), S_OK);
    ASSERT_EQ(other->createElement(u"Foreign", &foreign), S_OK);
    EXPECT_TRUE(FAILED(element->appendChild(foreign.get(), nullptr)));
    // Elements take no value of their own, and a document is no stylesheet until it holds one.
    EXPECT_TRUE(FAILED(element->put_nodeValue(u"x")));
    WString output;
    EXPECT_TRUE(FAILED(document->transformNode(other.get(), &output)));
}
} // namespace
