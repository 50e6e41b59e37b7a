// What a stylesheet may not do: reach files or the network, or run away in time, depth or memory. Each
// case is a stylesheet (and a document) that tries one of them; the transform must fail without having
// done it, and soon.
#include "msxml/MsXml.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
namespace fs = std::filesystem;

WString Wide(const std::string& ascii)
{
    return WString(ascii.begin(), ascii.end());
}

std::string Narrow(const WString& text)
{
    std::string out;
    for (char16_t unit : text)
        out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
}

class Transform : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "msxml-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        Folder = pattern;
        std::ofstream(Folder / "secret.xml") << "<Secret>secret-from-a-file</Secret>";
        std::ofstream(Folder / "secret.txt") << "secret-from-an-entity";
        std::ofstream(Folder / "included.xsl")
            << "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
               "<xsl:template match=\"/\"><Attributes>secret-from-an-include</Attributes></xsl:template>"
               "</xsl:stylesheet>";
        std::ofstream(Folder / "entity.xml") << "<!DOCTYPE x [<!ENTITY secret SYSTEM \""
                                             << (Folder / "secret.txt").string() << "\">]><x>&secret;</x>";
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }

    // Runs the stylesheet over the document; the HRESULT, with the output in `output`.
    HRESULT Run(const std::string& stylesheetText, const std::string& documentText, std::string& output)
    {
        CComPtr<IXMLDOMDocument> stylesheet, document;
        VARIANT_BOOL success = VARIANT_FALSE;
        EXPECT_EQ(CreateDOMDocument(&stylesheet), S_OK);
        EXPECT_EQ(CreateDOMDocument(&document), S_OK);
        const fs::path sheetFile = Folder / "sheet.xsl";
        std::ofstream(sheetFile) << stylesheetText;
        // A text that does not load leaves its document empty, and the transform then fails.
        stylesheet->load(Wide(sheetFile.string()), &success);
        document->loadXML(Wide(documentText), &success);
        WString text;
        const HRESULT result = document->transformNode(stylesheet.get(), &text);
        output = Narrow(text);
        return result;
    }

    std::string Sheet(const std::string& body)
    {
        return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">" + body +
               "</xsl:stylesheet>";
    }

    fs::path Folder;
};

TEST_F(Transform, a_stylesheet_reaches_no_file_and_no_network)
{
    const std::string folder = Folder.string();
    const std::string entity = "<!DOCTYPE x [<!ENTITY secret SYSTEM \"" + folder + "/secret.txt\">]>";
    std::ifstream hostFile("/etc/hostname");
    std::string host;
    std::getline(hostFile, host);
    const std::string valueOfRoot = Sheet(
        "<xsl:template match=\"/\"><Attributes><xsl:value-of select=\".\"/></Attributes></xsl:template>");
    const struct
    {
        const char* what;
        std::string stylesheet;
        std::string document;
        std::string secret;
    } cases[] = {
        {"xsl:document writes a file",
         Sheet("<xsl:template match=\"/\"><xsl:document href=\"" + folder +
               "/written.xml\"><Out>x</Out></xsl:document><Attributes/></xsl:template>"),
         "<Partition/>", "secret-from"},
        {"xsl:document makes a folder",
         Sheet("<xsl:template match=\"/\"><xsl:document href=\"" + folder +
               "/written/out.xml\"><Out>x</Out></xsl:document><Attributes/></xsl:template>"),
         "<Partition/>", "secret-from"},
        {"xsl:include reads a stylesheet", Sheet("<xsl:include href=\"" + folder + "/included.xsl\"/>"),
         "<Partition/>", "secret-from"},
        {"document() reads a file whose external entity reads another",
         Sheet("<xsl:template match=\"/\"><Attributes><xsl:value-of select=\"document('" + folder +
               "/entity.xml')\"/></Attributes></xsl:template>"),
         "<Partition/>", "secret-from"},
        {"document() reads a local file",
         Sheet("<xsl:template match=\"/\"><Attributes><xsl:value-of select=\"document('" + folder +
               "/secret.xml')/Secret\"/></Attributes></xsl:template>"),
         "<Partition/>", "secret-from"},
        {"document() reads from the network",
         Sheet("<xsl:template match=\"/\"><Attributes><xsl:value-of "
               "select=\"document('http://127.0.0.1:9/secret.xml')\"/></Attributes></xsl:template>"),
         "<Partition/>", "secret-from"},
        {"an external entity in the stylesheet",
         "<!DOCTYPE xsl:stylesheet [<!ENTITY secret SYSTEM \"" + folder + "/secret.txt\">]>" +
             Sheet("<xsl:template match=\"/\"><Attributes>&secret;</Attributes></xsl:template>"),
         "<Partition/>", "secret-from"},
        {"an external entity in the document", valueOfRoot, entity + "<x>&secret;</x>", "secret-from"},
        {"an external entity reading /etc/hostname", valueOfRoot,
         "<!DOCTYPE x [<!ENTITY h SYSTEM \"/etc/hostname\">]><x>[&h;]</x>", "[" + host},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::string output;
        const HRESULT result = Run(c.stylesheet, c.document, output);
        EXPECT_EQ(output.find(c.secret), std::string::npos) << output;
        EXPECT_FALSE(fs::exists(Folder / "written.xml"));
        EXPECT_FALSE(fs::exists(Folder / "written"));
        std::error_code ignored;
        fs::remove_all(Folder / "written", ignored);
        fs::remove(Folder / "written.xml", ignored);
        // A transform that was refused fails; one whose entity was left out may go on without it.
        if (SUCCEEDED(result))
        {
            EXPECT_NE(output.find("<Attributes"), std::string::npos) << output;
        }
    }
}

TEST_F(Transform, a_stylesheet_that_runs_away_is_stopped_soon)
{
    const struct
    {
        const char* what;
        std::string stylesheet;
    } cases[] = {
        {"recursion without end",
         Sheet("<xsl:template match=\"/\"><xsl:call-template name=\"r\"/></xsl:template>"
               "<xsl:template name=\"r\"><x><xsl:call-template name=\"r\"/></x></xsl:template>")},
        {"binary recursion",
         Sheet("<xsl:template match=\"/\"><xsl:call-template name=\"b\"><xsl:with-param name=\"n\" "
               "select=\"0\"/></xsl:call-template></xsl:template>"
               "<xsl:template name=\"b\"><xsl:param name=\"n\"/><xsl:if test=\"$n &lt; 60\">"
               "<xsl:call-template name=\"b\"><xsl:with-param name=\"n\" select=\"$n + "
               "1\"/></xsl:call-template>"
               "<xsl:call-template name=\"b\"><xsl:with-param name=\"n\" select=\"$n + "
               "1\"/></xsl:call-template>"
               "</xsl:if></xsl:template>")},
        {"a string that doubles",
         Sheet("<xsl:template match=\"/\"><xsl:call-template name=\"d\"><xsl:with-param name=\"s\" "
               "select=\"'0123456789abcdef'\"/></xsl:call-template></xsl:template>"
               "<xsl:template name=\"d\"><xsl:param name=\"s\"/><xsl:call-template name=\"d\">"
               "<xsl:with-param name=\"s\" select=\"concat($s, $s)\"/></xsl:call-template></xsl:template>")},
        {"a tree that doubles",
         Sheet("<xsl:template match=\"/\"><xsl:call-template name=\"d\"><xsl:with-param name=\"t\"><x/>"
               "</xsl:with-param></xsl:call-template></xsl:template>"
               "<xsl:template name=\"d\"><xsl:param name=\"t\"/><xsl:call-template name=\"d\">"
               "<xsl:with-param name=\"t\"><xsl:copy-of select=\"$t\"/><xsl:copy-of select=\"$t\"/>"
               "</xsl:with-param></xsl:call-template></xsl:template>")},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        std::string output;
        EXPECT_EQ(Run(c.stylesheet, "<Partition/>", output), E_FAIL);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    }
    // The limits leave room for a stylesheet that works hard within reason.
    std::string output;
    EXPECT_EQ(Run(Sheet("<xsl:template match=\"/\"><Attributes><xsl:call-template name=\"b\"><xsl:with-param "
                        "name=\"n\" select=\"0\"/></xsl:call-template></Attributes></xsl:template>"
                        "<xsl:template name=\"b\"><xsl:param name=\"n\"/><xsl:if test=\"$n &lt; 12\">"
                        "<xsl:call-template name=\"b\"><xsl:with-param name=\"n\" select=\"$n + 1\"/>"
                        "</xsl:call-template><xsl:call-template name=\"b\"><xsl:with-param name=\"n\" "
                        "select=\"$n + 1\"/></xsl:call-template></xsl:if><xsl:if test=\"$n = 12\">x</xsl:if>"
                        "</xsl:template>"),
                  "<Partition/>", output),
              S_OK);
    EXPECT_EQ(output.find(std::string(4096, 'x')) != std::string::npos, true) << output.size();
}
} // namespace
