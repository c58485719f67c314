#include "import/xml_document.h"

#include <fstream>

#include "support/test_support.h"

namespace zel::xml {
namespace {

constexpr std::string_view kTitle = R"(<?xml version="1.0" encoding="windows-1252"?>
<DVD>
  <ID>012345678901.4</ID>
  <Title>Caf&#233; &amp; Croissants</Title>
  <Empty/>
  <Actors>
    <Actor FirstName="Anna" LastName="Berg" Role="Herself"/>
    <!-- a comment between two actors -->
    <Actor FirstName="Tom" LastName="Hale"/>
  </Actors>
</DVD>
)";

TEST(Document, ParsesChildrenTextAndAttributes) {
  const Document document = Document::Parse(kTitle);
  ASSERT_FALSE(document.parse_error().failed) << document.parse_error().reason;
  const Node dvd = document.Child("DVD");
  ASSERT_TRUE(dvd);
  EXPECT_EQ(dvd.Name(), "DVD");
  EXPECT_EQ(dvd.Child("ID").Text(), "012345678901.4");
  // The declaration names windows-1252, but the markup is already text: é stays é.
  EXPECT_EQ(dvd.Child("Title").Text(), "Caf\u00e9 & Croissants");
  EXPECT_EQ(dvd.Child("Empty").Text(), "");
  EXPECT_EQ(dvd.Child("Title").Line(), 4);

  const Node actor = dvd.Child("Actors").Child("Actor");
  EXPECT_EQ(actor.Attribute("FirstName"), "Anna");
  EXPECT_EQ(actor.Attribute("Role"), "Herself");
  EXPECT_EQ(actor.Attribute("role"), std::nullopt) << "attribute names compare exactly";
  EXPECT_EQ(actor.Attributes(),
            (std::vector<std::pair<std::string, std::string>>{
                {"FirstName", "Anna"}, {"LastName", "Berg"}, {"Role", "Herself"}}));
  EXPECT_EQ(dvd.Child("Actors").Children("Actor").size(), 2u);

  // Read in one pass; values put together from an entity each keep their own piece of scratch.
  const Document pieces = Document::Parse(
      "<!DOCTYPE A [<!ENTITY n \"Ann\">]><A First=\"&n;a\" Last=\"B&n;\" Role=\"R\"/>");
  constexpr std::string_view kNames[] = {"Role", "Last", "Missing", "First"};
  std::optional<std::string_view> values[4];
  std::string scratch[4];
  pieces.Root().AttributeViews(kNames, values, scratch);
  EXPECT_EQ(values[0], "R");
  EXPECT_EQ(values[1], "BAnn");
  EXPECT_EQ(values[2], std::nullopt);
  EXPECT_EQ(values[3], "Anna");
}

TEST(Document, MissingNodesAreTestableAndNavigatingThemRaises91) {
  const Document document = Document::Parse(kTitle);
  const Node dvd = document.Root();
  EXPECT_FALSE(dvd.Child("UPC"));
  EXPECT_TRUE(dvd.Children("UPC").empty());
  EXPECT_FALSE(document.Child("Collection")) << "the document element has another name";
  const Node missing = dvd.Child("UPC");
  EXPECT_FALSE(missing.IsElement());
  EXPECT_FALSE(missing.HasAttributeMap());
  EXPECT_ZEL_ERROR(missing.Text(), 91, "Object variable or With block variable not set");
  EXPECT_ZEL_ERROR(missing.Child("X"), 91, "Object variable or With block variable not set");
  EXPECT_ZEL_ERROR(missing.Attribute("X"), 91, "Object variable or With block variable not set");
  EXPECT_ZEL_ERROR(missing.Xml(), 91, "Object variable or With block variable not set");
}

TEST(Document, ChildNodesKeepCommentsButNoWhitespace) {
  const Document document = Document::Parse(kTitle);
  const std::vector<Node> children = document.Root().Child("Actors").ChildNodes();
  ASSERT_EQ(children.size(), 3u);
  EXPECT_TRUE(children[0].IsElement());
  EXPECT_TRUE(children[1].IsComment());
  EXPECT_FALSE(children[1].HasAttributeMap());
  EXPECT_EQ(children[1].Name(), "#comment");
  EXPECT_TRUE(children[2].IsElement());
  EXPECT_EQ(children[2].Attribute("LastName"), "Hale");
  // Whitespace that is an element's whole content is its text, not dropped.
  const Document spaced = Document::Parse("<A><B>  </B></A>");
  EXPECT_EQ(spaced.Root().Child("B").Text(), "  ");
}

TEST(Document, SerialisesTheSameContentToTheSameTextWhateverTheIndentation) {
  const Document flat = Document::Parse(R"(<DVD><ID>1</ID><Title a="x">T</Title></DVD>)");
  const Document indented =
      Document::Parse("<DVD>\r\n\t<ID>1</ID>\n    <Title a=\"x\">T</Title>\n</DVD>\n");
  EXPECT_EQ(flat.Root().Xml(), R"(<DVD><ID>1</ID><Title a="x">T</Title></DVD>)");
  EXPECT_EQ(indented.Root().Xml(), flat.Root().Xml());
  EXPECT_EQ(flat.Root().Child("Title").Xml(), R"(<Title a="x">T</Title>)");
  // Characters outside ASCII come out as themselves, in UTF-8.
  const Document accented = Document::Parse("<T>\u00e9\u20ac</T>");
  EXPECT_EQ(accented.Root().Xml(), "<T>\u00e9\u20ac</T>");
  EXPECT_EQ(Document::Parse(kTitle).Root().Xml(), Document::Parse(kTitle).Root().Xml());
}

TEST(Document, MalformedMarkupGivesNoElementAndTheReasonWithItsLine) {
  const Document document = Document::Parse("<DVD>\n  <Title>T</Titel>\n</DVD>");
  EXPECT_FALSE(document.Root());
  EXPECT_FALSE(document.Child("DVD"));
  const ParseError& error = document.parse_error();
  EXPECT_TRUE(error.failed);
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(error.source_text, "  <Title>T</Titel>");
  EXPECT_NE(error.reason.find("Title"), std::string::npos) << error.reason;

  EXPECT_TRUE(Document::Parse("").parse_error().failed);
  EXPECT_TRUE(Document::Parse("just text").parse_error().failed);
  EXPECT_TRUE(Document::Parse("<A></A><B/>").parse_error().failed);
}

TEST(Document, NeverResolvesAnExternalEntity) {
  zel::testing::TempDir dir;
  const std::string secret = dir.File("secret.txt");
  std::ofstream(secret) << "SECRET";
  const std::string markup =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE DVD [<!ENTITY leak SYSTEM \"file://" + secret +
      "\">]>\n<DVD><Title>x&leak;y</Title></DVD>";
  const Document document = Document::Parse(markup);
  EXPECT_FALSE(document.Root());
  EXPECT_TRUE(document.parse_error().refused);
  EXPECT_EQ(document.parse_error().reason,
            "the document declares the external entity 'leak' (file://" + secret +
                "); external entities are never read");
}

TEST(Document, RefusesExponentialEntityExpansion) {
  std::string markup = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY e0 \"lol\">\n";
  for (int i = 1; i <= 12; ++i) {
    markup += "<!ENTITY e" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) markup += "&e" + std::to_string(i - 1) + ";";
    markup += "\">\n";
  }
  markup += "]>\n<r>&e12;</r>";
  const Document document = Document::Parse(markup);
  EXPECT_FALSE(document.Root());
  EXPECT_TRUE(document.parse_error().failed);
}

TEST(Document, LoadReadsAFileInItsDeclaredEncoding) {
  zel::testing::TempDir dir;
  const std::string path = dir.File("award.xml");
  std::ofstream(path, std::ios::binary)
      << "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<Awards><A>Caf\xe9 "
         "\x80</A></Awards>";
  const Document document = Document::Load(path);
  ASSERT_TRUE(document.Child("Awards")) << document.parse_error().reason;
  EXPECT_EQ(document.Root().Child("A").Text(), "Caf\u00e9 \u20ac");

  const std::string utf16 = dir.File("utf16.xml");
  {
    std::ofstream out(utf16, std::ios::binary);
    const std::u16string text = u"\ufeff<?xml version=\"1.0\" encoding=\"UTF-16\"?><A>\u00e9</A>";
    for (char16_t unit : text)
      out.put(static_cast<char>(unit & 0xff)).put(static_cast<char>(unit >> 8));
  }
  EXPECT_EQ(Document::Load(utf16).Root().Text(), "\u00e9");

  const Document missing = Document::Load(dir.File("none.xml"));
  EXPECT_FALSE(missing.Root());
  EXPECT_TRUE(missing.parse_error().failed);
}

}  // namespace
}  // namespace zel::xml
