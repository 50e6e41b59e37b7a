#include "msxml/MsXml.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

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
    CComPtr<IXMLDOMElement> node;
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
    // An element goes into one place, and never under itself.
    CComPtr<IXMLDOMElement> child, grandchild;
    ASSERT_EQ(document->createElement(u"Child", &child), S_OK);
    ASSERT_EQ(document->createElement(u"Grandchild", &grandchild), S_OK);
    ASSERT_EQ(element->appendChild(child.get(), nullptr), S_OK);
    ASSERT_EQ(child->appendChild(grandchild.get(), nullptr), S_OK);
    EXPECT_TRUE(FAILED(document->appendChild(child.get(), nullptr)));
    EXPECT_TRUE(FAILED(element->appendChild(element.get(), nullptr)));
    EXPECT_TRUE(FAILED(grandchild->appendChild(element.get(), nullptr)));
    // A document is no stylesheet until it holds one.
    WString output;
    EXPECT_TRUE(FAILED(document->transformNode(other.get(), &output)));
}
// The objects of a document may be released, and its trees replaced, in any order: each object stays
// usable while it is held, and nothing is freed twice (these orders are run under AddressSanitizer).
class DomOwnership : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CreateDOMDocument(&Document), S_OK); }

    CComPtr<IXMLDOMElement> Element(const char16_t* name)
    {
        CComPtr<IXMLDOMElement> element;
        EXPECT_EQ(Document->createElement(name, &element), S_OK);
        return element;
    }

    CComPtr<IXMLDOMAttribute> SetAttribute(IXMLDOMElement& element, const char16_t* name,
                                           const char16_t* value)
    {
        CComPtr<IXMLDOMAttribute> attribute;
        CComPtr<IXMLDOMNamedNodeMap> attributes;
        EXPECT_EQ(Document->createAttribute(name, &attribute), S_OK);
        EXPECT_EQ(attribute->put_nodeValue(value), S_OK);
        EXPECT_EQ(element.get_attributes(&attributes), S_OK);
        EXPECT_EQ(attributes->setNamedItem(attribute.get(), nullptr), S_OK);
        return attribute;
    }

    WString Text(IXMLDOMNode& node)
    {
        WString text;
        EXPECT_EQ(node.get_text(&text), S_OK);
        return text;
    }

    // What a stylesheet reads from the document.
    WString Transformed(const char16_t* select)
    {
        CComPtr<IXMLDOMDocument> stylesheet =
            Loaded((uR"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
                <xsl:output method="text"/>
                <xsl:template match="/"><xsl:value-of select=")" +
                    WString(select) + uR"("/></xsl:template></xsl:stylesheet>)")
                       .c_str());
        WString output;
        EXPECT_EQ(Document->transformNode(stylesheet.get(), &output), S_OK);
        return output;
    }

    CComPtr<IXMLDOMDocument> Document;
};

TEST_F(DomOwnership, an_attribute_replaced_by_one_of_its_name_stays_usable_and_leaves_the_element)
{
    CComPtr<IXMLDOMElement> root = Element(u"Root");
    CComPtr<IXMLDOMAttribute> first = SetAttribute(*root, u"value", u"first");
    CComPtr<IXMLDOMAttribute> second = SetAttribute(*root, u"value", u"second");
    ASSERT_EQ(Document->appendChild(root.get(), nullptr), S_OK);
    EXPECT_EQ(Text(*first), u"first");
    EXPECT_EQ(Transformed(u"concat(count(/Root/@*), /Root/@value)"), u"1second");
    // The attribute taken off may go onto another element.
    CComPtr<IXMLDOMElement> child = Element(u"Child");
    CComPtr<IXMLDOMNamedNodeMap> attributes;
    ASSERT_EQ(child->get_attributes(&attributes), S_OK);
    ASSERT_EQ(attributes->setNamedItem(first.get(), nullptr), S_OK);
    ASSERT_EQ(root->appendChild(child.get(), nullptr), S_OK);
    EXPECT_EQ(Transformed(u"/Root/Child/@value"), u"first");
    EXPECT_TRUE(FAILED(attributes->setNamedItem(second.get(), nullptr))); // it is on the root already
}

TEST_F(DomOwnership, a_child_outlives_the_released_parent_it_was_appended_to)
{
    for (bool attached : {false, true})
    {
        SCOPED_TRACE(attached ? "parent in the tree" : "parent in no tree");
        ASSERT_EQ(CreateDOMDocument(&Document), S_OK);
        CComPtr<IXMLDOMElement> parent = Element(u"Parent");
        CComPtr<IXMLDOMElement> child = Element(u"Child");
        ASSERT_EQ(parent->appendChild(child.get(), nullptr), S_OK);
        if (attached)
        {
            ASSERT_EQ(Document->appendChild(parent.get(), nullptr), S_OK);
        }
        parent.Reset();
        SetAttribute(*child, u"value", u"kept");
        CComPtr<IXMLDOMElement> grandchild = Element(u"Grandchild");
        EXPECT_EQ(child->appendChild(grandchild.get(), nullptr), S_OK);
        EXPECT_EQ(Text(*child), u"");
        if (attached)
        {
            EXPECT_EQ(Transformed(u"/Parent/Child/@value"), u"kept");
        }
        // The document goes before the child does.
        Document.Reset();
        EXPECT_EQ(Text(*grandchild), u"");
    }
}

TEST_F(DomOwnership, a_node_made_before_a_load_goes_into_the_tree_of_the_next_load)
{
    VARIANT_BOOL success = VARIANT_FALSE;
    ASSERT_EQ(Document->loadXML(u"<First><Name>one</Name></First>", &success), S_OK);
    CComPtr<IXMLDOMElement> made = Element(u"Name");
    SetAttribute(*made, u"value", u"made");
    ASSERT_EQ(Document->loadXML(u"<Second><Name>two</Name></Second>", &success), S_OK);
    CComPtr<IXMLDOMNodeList> list;
    CComPtr<IXMLDOMElement> second;
    ASSERT_EQ(Document->getElementsByTagName(u"Second", &list), S_OK);
    ASSERT_EQ(list->nextNode(&second), S_OK);
    ASSERT_EQ(second->appendChild(made.get(), nullptr), S_OK);
    EXPECT_EQ(Text(*second), u"two");
    EXPECT_EQ(Transformed(u"concat(count(/Second/Name), /Second/Name/@value)"), u"2made");
    // A failed load leaves the document without a tree; the nodes of the earlier ones stay usable.
    EXPECT_EQ(Document->loadXML(u"<broken", &success), S_FALSE);
    EXPECT_EQ(Text(*made), u"");
    EXPECT_EQ(Text(*second), u"two");
}
} // namespace

namespace
{
// A caller's count of what the XML libraries hold, spent past its limit.
class CountedBudget final : public IXMLMemoryBudget
{
public:
    explicit CountedBudget(std::size_t limit) : Limit(limit) {}
    bool Take(std::size_t bytes) override
    {
        Held += bytes;
        Peak = std::max(Peak, Held);
        return Held <= Limit;
    }
    void GiveBack(std::size_t bytes) override { Held -= bytes; }

    std::size_t Limit;
    std::size_t Held = 0;
    std::size_t Peak = 0;
};
} // namespace

TEST(Dom, what_documents_take_is_charged_to_the_callers_budget_and_a_spent_budget_stops_a_transform)
{
    // The libraries' own state of the thread is made by its first parse.
    CComPtr<IXMLDOMDocument> outside = Loaded(u"<Partition/>");
    CountedBudget budget(SIZE_MAX);
    {
        const CXMLMemoryBudgetScope scope(budget);
        CComPtr<IXMLDOMDocument> document = Loaded(u"<Partition><Preface value=\"v\"/></Partition>");
        EXPECT_GT(budget.Held, 100u);
        document.Reset();
        // Every block is given back with what it took.
        EXPECT_EQ(budget.Held, 0u);
    }
    CComPtr<IXMLDOMDocument> later = Loaded(u"<Partition/>");
    EXPECT_EQ(budget.Held, 0u);

    // A transform that builds a large result: an element for each pair of the document's fifty.
    WString fifty = u"<Partition>";
    for (int i = 0; i < 50; ++i)
        fifty += u"<a/>";
    CComPtr<IXMLDOMDocument> document = Loaded((fifty + u"</Partition>").c_str());
    CComPtr<IXMLDOMDocument> stylesheet =
        Loaded(uR"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/"><r><xsl:for-each select="//a"><xsl:for-each select="//a"><x value="pair"/>
  </xsl:for-each></xsl:for-each></r></xsl:template></xsl:stylesheet>)");
    WString output;
    CountedBudget roomy(SIZE_MAX);
    {
        const CXMLMemoryBudgetScope scope(roomy);
        ASSERT_EQ(document->transformNode(stylesheet.get(), &output), S_OK);
    }
    EXPECT_GT(roomy.Peak, std::size_t{64} << 10);
    CountedBudget tight(roomy.Peak / 4);
    const CXMLMemoryBudgetScope scope(tight);
    EXPECT_TRUE(FAILED(document->transformNode(stylesheet.get(), &output)));
    EXPECT_TRUE(output.empty());
}
