// The first claim cut from recognised claims pages, as an OCR tool misreads them.
#include <gtest/gtest.h>

#include "base/gbk.h"
#include "recognition/claimcut.h"

namespace {

std::string Cut(const std::string& utf8) { return GbkToUtf8(FirstClaimFromText(Utf8ToGbk(utf8))); }

TEST(FirstClaimCut, RunsFromClaimOneToClaimTwoWhateverTheSeparator) {
  const std::string claim = "1．一种锂离子电池，其特征在于：包括正极片、负极片和电解液，所述负极片设置在正极片上。";
  EXPECT_EQ(Cut("权利要求书\n1．一种锂离子电池，其特征在于：包括正极片、负极片和电解液，所述负极片设置\n在正极片上。\n"
                "2．根据权利要求1所述的锂离子电池，其特征在于：所述正极片的厚度为0.5毫米。\n"),
            claim);
  // As read: a comma or a blank for the dot, blanks between characters, claim 2's dot lost.
  EXPECT_EQ(Cut("权利要求书\n\n 1 ，一种锂 离子电池，其特征在于: 包括正极片、负极片和电解液，所述负极片设置\n"
                "在正极片上。\n\n2根据权利要求1所述的锂离子电池\n"),
            "1，一种锂离子电池，其特征在于:包括正极片、负极片和电解液，所述负极片设置在正极片上。");
  EXPECT_EQ(Cut("1、一种折叠伞，包括伞骨。\n2、根据权利要求1所述的折叠伞。"), "1、一种折叠伞，包括伞骨。");
  EXPECT_EQ(Cut("１．一种水泥。\n２．根据权利要求１所述的水泥。"), "１．一种水泥。");  // full-width digits
}

TEST(FirstClaimCut, NumbersInsideTheClaimAndPagesWithoutClaimTwo) {
  // A line that begins with a decimal or a measure opens no claim; a later claim ends it
  // when claim 2's number was lost.
  EXPECT_EQ(Cut("1.一种隔膜，其厚度为\n1.5毫米，孔径为\n2.5微米，\n2 mm Int. Cl\n3.根据权利要求1所述的隔膜。"),
            "1.一种隔膜，其厚度为1.5毫米，孔径为2.5微米，2 mm Int. Cl");
  // Claim 1 runs past the page: all that follows it is its text.
  EXPECT_EQ(Cut("权利要求书\n1.一种播种机，包括种子箱\n和排种器，"), "1.一种播种机，包括种子箱和排种器，");
  EXPECT_EQ(Cut("说明书\n技术领域\n本发明涉及播种机。"), "");
  EXPECT_EQ(Cut(""), "");
  EXPECT_EQ(Cut("12.一种装置。\n"), "");
  EXPECT_EQ(Cut("1.一种装置，\n20051001234567890.根据\n"), "1.一种装置，20051001234567890.根据");  // not a claim
}

}  // namespace
