// The XML readers on replies shaped as OPS sends them (data/), and on hostile ones.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/gbk.h"
#include "sources/ops/opserrors.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opstexts.h"
#include "sources/replytext.h"

namespace {

std::string Data(const std::string& name) {
  return ReadFileBytes(TPath::FromSystem(VARNOLT_SOURCE_DIR "/tests/sources/ops/data/" + name));
}

using Names = std::vector<std::string>;

TEST(ReadSearchReply, CountsRangeAndRecordsOfAPage) {
  const TOpsSearchPage page = ReadSearchReply(Data("search.xml"));
  EXPECT_EQ(page.total, 2417);
  EXPECT_EQ(page.first, 101);
  EXPECT_EQ(page.last, 103);
  ASSERT_EQ(page.records.size(), 3u);

  const TOpsBiblio& r = page.records[0];
  EXPECT_EQ(r.familyId, "61256235");
  EXPECT_EQ(r.publication, (TOpsPublication{"107293816", 'A'}));
  EXPECT_EQ(r.publicationDate, "20171020");
  EXPECT_EQ(r.application.digits, "201710601862");
  EXPECT_EQ(r.applicationDate, "20170721");
  EXPECT_EQ(r.titleEnglish, "Lithium battery separator and method");
  EXPECT_EQ(r.Title(), "一种锂电池隔膜及其制备方法");
  EXPECT_EQ(r.abstractEnglish, "The invention discloses a separator & a method.");
  EXPECT_EQ(r.Abstract(), "本发明公开了一种锂电池隔膜。 其面积为1㎡。");
  EXPECT_EQ(r.applicantsEpodoc, (Names{"SHANDONG UNIV", "QILU BATTERY CO LTD"}));
  EXPECT_EQ(r.Applicants(), (Names{"山东大学", "齐鲁电池•有限公司"}));
  EXPECT_EQ(r.ipcClasses, (Names{"H01M10/0525", "H01M4/36"}));
  // CPC from its parts or a symbol, each once whatever office gave it; ECLA is not CPC.
  EXPECT_EQ(r.cpcClasses, (Names{"H01M10/0525", "H01M4/366", "Y02E60/10"}));
  EXPECT_EQ(r.priorities, (std::vector<TOpsPriority>{{"CN201710601862", "20170721"}, {"US201662412345", "20161025"}}));
  EXPECT_EQ(r.inventorsEpodoc, (Names{"LI QIANG", "WANG FANG"}));
  EXPECT_EQ(r.Inventors(), Names{"李强"});
  // One document cited in two phases counts once; the paper does not count.
  EXPECT_EQ(r.citedCount, 3);

  // A fresh utility model: no Chinese title or name yet, the English ones stand in.
  const TOpsBiblio& u = page.records[1];
  EXPECT_EQ(u.publication, (TOpsPublication{"209876543", 'U'}));
  EXPECT_EQ(u.application.digits, "201920123456");
  EXPECT_EQ(u.Title(), "Battery box with a 𠀀 mark");
  EXPECT_EQ(u.Applicants(), Names{"ZHANG WEI"});
  EXPECT_EQ(u.Abstract(), "");
  EXPECT_TRUE(u.priorities.empty() && u.Inventors().empty() && u.cpcClasses.empty());
  EXPECT_EQ(u.citedCount, 0);
  EXPECT_EQ(page.records[2].application.digits, "02123456");
}

TEST(ReadBiblioReply, EveryCnPublicationOfAnApplicationWhateverThePrefixes) {
  const std::vector<TOpsBiblio> pubs = ReadBiblioReply(Data("application-biblio.xml"));
  ASSERT_EQ(pubs.size(), 2u);  // the WO member names no CN publication
  EXPECT_EQ(pubs[0].publication, (TOpsPublication{"101911042", 'A'}));
  EXPECT_EQ(pubs[1].publication, (TOpsPublication{"101911042", 'B'}));
  EXPECT_EQ(pubs[1].publicationDate, "20160914");
  for (const TOpsBiblio& b : pubs) EXPECT_EQ(b.application.digits, "200880123968");
}

TEST(ReadLegalReply, EventsOfTheMembersOfTheCnApplicationOnly) {
  const std::vector<TOpsLegalEvent> events = ReadLegalReply(Data("legal.xml"), TOpsApplication{"200880123968"});
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].code, "C06");
  EXPECT_EQ(events[0].influence, '+');
  EXPECT_EQ(events[0].date, "2010-12-08");
  EXPECT_EQ(events[0].description, "PUBLICATION");
  EXPECT_EQ(events[1].influence, ' ');
  EXPECT_EQ(events[2].code, "GR01");
  EXPECT_EQ(events[3].date, "2020-01-03");
  EXPECT_EQ(events[3].description, "TRANSFER OF PATENT RIGHT");
  EXPECT_TRUE(ReadLegalReply(Data("legal.xml"), TOpsApplication{"201710601862"}).empty());
}

TEST(ReadFamilyReply, EveryOfficesMembersOnceWithTheirApplicationsAndPriorities) {
  const TOpsFamily f = ReadFamilyReply(Data("family.xml"));
  EXPECT_EQ(f.familyId, "40799763");
  EXPECT_EQ(f.total, 15);
  EXPECT_TRUE(f.truncated);
  // A member without a country is passed over, one named twice is kept once.
  std::vector<std::string> shown;
  for (const TOpsFamilyMember& m : f.members) shown.push_back(m.Shown());
  EXPECT_EQ(shown, (Names{"AT232441T", "CN101911042A", "CN101911042B", "WO2009085664A2"}));
  EXPECT_EQ(f.Countries(), (Names{"AT", "CN", "WO"}));

  const TOpsFamilyMember& a = f.members[1];
  EXPECT_EQ(a.date, "20101208");
  EXPECT_EQ(a.applicationCountry + a.applicationNumber + a.applicationKind, "CN200880123968A");
  EXPECT_EQ(a.applicationDate, "20081212");
  EXPECT_EQ(a.priorities, (std::vector<TOpsPriority>{{"US96807", "20071228"}, {"US2008088235", "20081223"}}));
  // The grant named in epodoc form only; its application without country or date.
  const TOpsFamilyMember& b = f.members[2];
  EXPECT_EQ(b.date, "20160914");
  EXPECT_EQ(b.applicationNumber, "200880123968");
  EXPECT_EQ(b.applicationCountry + b.applicationDate, "");
  EXPECT_EQ(f.members[0].priorities, (std::vector<TOpsPriority>{{"NL1010536", "19981112"}}));

  // The legal service's family reads alike; a reply of another kind does not.
  EXPECT_FALSE(ReadFamilyReply(Data("legal.xml")).members.empty());
  EXPECT_THROW(ReadFamilyReply(Data("search.xml")), EOpsReplyError);
  std::string lying = Data("family.xml");
  const std::string total = "total-result-count=\"15\"";
  lying.replace(lying.find(total), total.size(), "total-result-count=\"-1\"");
  EXPECT_THROW(ReadFamilyReply(lying), EOpsReplyError);
}

TEST(ReadImageInquiry, TheFullDocumentOfThePublicationNotOfAnotherMember) {
  const std::string inquiry = Data("images.xml");
  const TOpsImageDocument b = ReadImageInquiry(inquiry, {"101911042", 'B'});
  EXPECT_EQ(b.pages, 12);
  EXPECT_EQ(b.formats, (Names{"application/pdf", "application/tiff"}));
  EXPECT_EQ(b.SectionStart("CLAIMS"), 7);
  EXPECT_EQ(b.SectionStart("DESCRIPTION"), 3);
  EXPECT_EQ(b.SectionStart("DRAWINGS"), 0);  // said to start past the last page
  EXPECT_EQ(ReadImageInquiry(inquiry, {"101911042", 'A'}).pages, 9);
  try {
    ReadImageInquiry(inquiry, {"101911042", 'C'});
    ADD_FAILURE();
  } catch (const EOpsReplyError& e) {
    EXPECT_EQ(e.Message(), opstext::kNoFullDocument + std::string("CN101911042C"));
  }
  EXPECT_THROW(ReadImageInquiry(inquiry, {"10191104", 'B'}), EOpsReplyError);
}

TEST(ReadFault, FaultsAndErrorsOfEveryKind) {
  const TOpsFault none = ReadFault(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<fault xmlns=\"http://ops.epo.org\">\n"
      "    <code>SERVER.EntityNotFound</code>\n    <message>No results found</message>\n</fault>");
  EXPECT_EQ(none.code, "SERVER.EntityNotFound");
  EXPECT_EQ(none.message, "No results found");
  EXPECT_TRUE(IsNotFound(404, none));
  EXPECT_FALSE(IsNotFound(400, none));

  const TOpsFault quota = ReadFault(
      "<error><code>403</code><message>This request has been rejected due to the violation of Fair Use policy"
      "</message><moreInfo>http://www.epo.org/searching/free/espacenet/fair-use.html</moreInfo>\n\t\t\t\t</error>");
  EXPECT_EQ(quota.code, "403");
  EXPECT_EQ(quota.message, "This request has been rejected due to the violation of Fair Use policy");

  const TOpsFault prefixed = ReadFault(
      "<o:fault xmlns:o=\"http://ops.epo.org\"><o:code>CLIENT.InvalidReference</o:code><o:message>x</o:message></o:fault>");
  EXPECT_EQ(prefixed.code, "CLIENT.InvalidReference");
  EXPECT_FALSE(IsNotFound(404, prefixed));

  for (const char* other : {"", "<html><body>502</body></html>", "<fault><code>X</code></fault>", "not xml <"}) {
    const TOpsFault f = ReadFault(other);
    EXPECT_EQ(f.code + f.message, "") << other;
  }
  EXPECT_TRUE(IsNotFound(404, ReadFault("")));
}

// Replies no reader may take: each ends with EOpsReplyError, quickly.
TEST(OpsReplyReaders, HostileRepliesEndWithAClearError) {
  const std::string bomb =
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;\">]>"
      "<ops:world-patent-data xmlns:ops=\"http://ops.epo.org\"><ops:biblio-search total-result-count=\"1\">"
      "&lol2;</ops:biblio-search></ops:world-patent-data>";
  const std::string external =
      "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><ops:world-patent-data xmlns:ops=\"http://ops.epo.org\">"
      "<ops:biblio-search total-result-count=\"1\">&e;</ops:biblio-search></ops:world-patent-data>";
  std::string deep = "<ops:world-patent-data xmlns:ops=\"http://ops.epo.org\">";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  for (int i = 0; i < 100000; ++i) deep += "</a>";
  deep += "</ops:world-patent-data>";
  std::string busy = "<ops:world-patent-data xmlns:ops=\"http://ops.epo.org\">";
  for (int i = 0; i < 1100000; ++i) busy += "<b/>";
  busy += "</ops:world-patent-data>";
  std::string huge = Data("search.xml");
  huge.insert(huge.find("</ops:search-result>"), std::string(50u << 20, ' '));
  auto search = [](const std::string& count, const std::string& range) {
    return "<ops:world-patent-data xmlns:ops=\"http://ops.epo.org\"><ops:biblio-search total-result-count=\"" + count +
           "\">" + range + "</ops:biblio-search></ops:world-patent-data>";
  };
  std::string tooMany = Data("search.xml");
  tooMany.replace(tooMany.find("end=\"103\""), 9, "end=\"102\"");

  const std::pair<const char*, std::string> cases[] = {
      {"entity bomb", bomb},
      {"external entity", external},
      {"deep nesting", deep},
      {"a million elements", busy},
      {"50 MB", huge},
      {"not XML", "<ops:world-patent-data xmlns:ops=\"http://ops.epo.org\"><unclosed>"},
      {"a fault", "<fault xmlns=\"http://ops.epo.org\"><code>CLIENT.CQL</code></fault>"},
      {"no count", "<ops:world-patent-data xmlns:ops=\"http://ops.epo.org\"><ops:biblio-search/></ops:world-patent-data>"},
      {"empty count", search("", "")},
      {"negative count", search("-1", "")},
      {"huge count", search("99999999999999999999999", "")},
      {"range that lies", search("5", "<ops:range begin=\"1\" end=\"1000000\"/>")},
      {"more records than the range", tooMany},
      {"wrong namespace", "<ops:world-patent-data xmlns:ops=\"http://example.org/ops\">"
                          "<ops:biblio-search total-result-count=\"5\"/></ops:world-patent-data>"},
  };
  for (const auto& [what, body] : cases) EXPECT_THROW(ReadSearchReply(body), EOpsReplyError) << what;

  const std::string inquiry = Data("images.xml");
  for (const char* pages : {"0", "-3", "99999999999", "twelve", "5001"}) {
    std::string lying = inquiry;
    lying.replace(lying.find("number-of-pages=\"12\""), 20, std::string("number-of-pages=\"") + pages + "\"");
    EXPECT_THROW(ReadImageInquiry(lying, {"101911042", 'B'}), EOpsReplyError) << pages;
  }
  EXPECT_THROW(ReadBiblioReply(bomb), EOpsReplyError);
  EXPECT_THROW(ReadLegalReply(deep, TOpsApplication{"200880123968"}), EOpsReplyError);
  EXPECT_THROW(ReadBiblioReply(Data("legal.xml")), EOpsReplyError);
}

TEST(ReplyText, CleanForEveryUseAndPageTextKeepsWhatGbkCannotWrite) {
  EXPECT_EQ(CleanReplyText("  GOOGLE\xE2\x80\x82LLC \r\n\t[US]\xE3\x80\x80 "), "GOOGLE LLC [US]");
  EXPECT_EQ(CleanReplyText("a\xE2\x80\x8B" "b\xEF\xBB\xBF" "c"), "abc");
  EXPECT_EQ(CleanReplyText("ok\xFF\xC0"), "ok\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(CleanReplyText("line\x01two\x7F"), "line two");

  EXPECT_EQ(ReplyPageText("电池 <b>&\"é•𠀀㎡\""), Utf8ToGbk("电池 &lt;b&gt;&amp;&quot;é") + "&#8226;&#131072;" +
                                                   Utf8ToGbk("㎡") + "&quot;");
}

}  // namespace
