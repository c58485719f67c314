#include "import/title_fingerprint.h"

#include "digest/md5.h"
#include "import/title_splitter.h"
#include "import/xml_document.h"
#include "support/test_support.h"

namespace zel {
namespace {

constexpr std::string_view kTitle =
    "<DVD><ID>1</ID><Title>Tom &amp; Jerry's \xc3\xa9t\xc3\xa9</Title><Notes/>"
    "<Actors><Actor FirstName=\"Ann\" Role=\"A &quot;B&quot;\"/></Actors>"
    "<Overview>Line\none</Overview></DVD>";

TEST(TitleFingerprint, HowTheMarkupIsWrittenIsNoChange) {
  const std::string fingerprint = TitleFingerprint(kTitle);
  Md5Stream as_written;  // the title is written canonically already: digested as it stands
  as_written.Update(kTitle);
  EXPECT_EQ(fingerprint, as_written.HexDigest());
  for (const std::string_view written : {
           // Indented with tabs and CR LF line ends, attributes over lines in single quotes.
           std::string_view("<DVD>\r\n\t<ID>1</ID>\r\n\t<Title>Tom &amp; Jerry's \xc3\xa9t\xc3\xa9"
                            "</Title>\r\n\t<Notes></Notes>\r\n\t<Actors>\r\n\t\t<Actor\r\n\t\t\t"
                            "FirstName = 'Ann'\r\n\t\t\tRole='A \"B\"' />\r\n\t</Actors>\r\n\t"
                            "<Overview>Line\r\none</Overview>\r\n</DVD>"),
           // Character references and CDATA for the same characters.
           std::string_view("<DVD><ID>&#49;</ID><Title><![CDATA[Tom & Jerry]]>&apos;s &#xE9;t&#233;"
                            "</Title><Notes/><Actors><Actor FirstName=\"Ann\" Role=\"A &#34;B&#x22;"
                            "\"/></Actors><Overview>Line&#10;one</Overview></DVD>"),
           // Comments and instructions, which the import stores nothing of.
           std::string_view(
               "<DVD><!-- c --><ID>1</ID><Title>Tom &amp; <?pi x?>Jerry's \xc3\xa9t"
               "\xc3\xa9</Title><Notes><!----></Notes><Actors><Actor FirstName=\"Ann\" "
               "Role=\"A &quot;B&quot;\"/><!-- a note --></Actors><Overview>Line\n"
               "one</Overview></DVD>"),
       }) {
    EXPECT_EQ(TitleFingerprint(written), fingerprint) << written;
  }
  // As a DOM writes the parsed title.
  const xml::Document document = xml::Document::Parse(kTitle);
  EXPECT_EQ(TitleFingerprint(document.Root().Xml()), fingerprint);
}

TEST(TitleFingerprint, WhatTheParsedTitleHoldsIsAChange) {
  const std::string fingerprint = TitleFingerprint(kTitle);
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"Jerry", "Jeremy"},
           {"<Notes/>", "<Notes> </Notes>"},  // blank text that is an element's whole content
           {"Line\none", "Line one"},
           {"Role=", "role="},
           {"&amp;", "&amp;amp;"},
       }) {
    std::string changed(kTitle);
    changed.replace(changed.find(from), from.size(), to);
    EXPECT_NE(TitleFingerprint(changed), fingerprint) << changed;
  }
}

TEST(DocumentElement, FindsTheElementPastWhatComesBeforeIt) {
  EXPECT_EQ(DocumentElement("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!DOCTYPE DVD [<!ENTITY a "
                            "\"<b>\">]>\n<!-- c --><DVD><x/><y>t</y></DVD>\n"),
            "<DVD><x/><y>t</y></DVD>");
  EXPECT_EQ(DocumentElement("<DVD/>"), "<DVD/>");
  EXPECT_EQ(DocumentElement("<DVD><x>"), "");
  EXPECT_EQ(DocumentElement("no markup"), "");
}

}  // namespace
}  // namespace zel
