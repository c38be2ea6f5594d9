#include "publish/export_row.h"

#include <gtest/gtest.h>

#include <string>

namespace catpub::publish {
namespace {

ExportRow Latte() {
  ExportRow row;
  row.eanare.Assign("8001234567890");
  row.desart.Assign("LATTE");
  row.desrep.Assign("ALIMENTARI");
  row.ivart.Assign("4");
  row.cosiva = db::Currency{13500};
  row.przpub = db::Currency{25000};
  row.ricart = int32_t{30};
  row.przsal = db::Currency{19900};
  row.codafo.Assign("123456");
  row.supplier_number = 123456;
  return row;
}

TEST(ExportRowTest, TheLatteLineByteForByte) {
  std::string line;
  ASSERT_TRUE(ComposeLine(Latte(), line));
  EXPECT_EQ(line, "8001234567890;LATTE" + std::string(45, ' ') + ";ALIMENTARI" +
                      std::string(20, ' ') + ";4 ;1,35;2,5;30;1,99;123456;");
}

TEST(ExportRowTest, NullMarkUpLeavesTwoAdjacentSeparators) {
  ExportRow row = Latte();
  row.ricart = std::monostate{};
  std::string line;
  ASSERT_TRUE(ComposeLine(row, line));
  EXPECT_NE(line.find(";2,5;;1,99;123456;"), std::string::npos) << line;
}

TEST(ExportRowTest, MarkUpAndSupplierNumberTexts) {
  struct Case {
    db::Value ricart;
    double supplier_number;
    const char* tail;
  };
  const Case cases[] = {
      {5.5, 0, ";5,5;1,99;0;"},
      {std::string("30%"), 12.5, ";30%;1,99;12,5;"},
      {db::Currency{12500}, 1e15, ";1,25;1,99;1E+15;"},
      {false, 999999999999999, ";Falso;1,99;999999999999999;"},
      {db::DateTime{45000}, 12345, ";15/03/2023;1,99;12345;"},
  };
  for (const Case& c : cases) {
    ExportRow row = Latte();
    row.ricart = c.ricart;
    row.supplier_number = c.supplier_number;
    std::string line;
    ASSERT_TRUE(ComposeLine(row, line));
    EXPECT_TRUE(line.ends_with(std::string(";2,5") + c.tail)) << line;
  }
}

TEST(ExportRowTest, DateWithoutTextInTheMarkUpIsRefused) {
  ExportRow row = Latte();
  row.ricart = db::DateTime{1e9};
  std::string line;
  EXPECT_FALSE(ComposeLine(row, line));
}

}  // namespace
}  // namespace catpub::publish
