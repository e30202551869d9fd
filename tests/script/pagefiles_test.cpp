#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "script/pages.h"
#include "script/pagesource.h"

namespace orva {
namespace {

// One line per command type with a value in every field, and masks that
// give the component commands a few property expressions.
std::string EveryCommandSource(int version) {
  std::string src = ".version " + std::to_string(version) + "\n";
  for (int t = 0; t < kCommandTypeCount; ++t) {
    const CommandLayout* layout = CommandLayoutOf(t);
    for (const auto& f : layout->fields)
      if (f.kind == FieldKind::Props && t % 3 != 0) src += ".mask " + std::string(layout->keyword) + " 0 12 172\n";
  }
  src += "Label top\n";
  for (int t = 0; t < kCommandTypeCount; ++t) {
    const CommandLayout* layout = CommandLayoutOf(t);
    std::string line = "  " + std::string(layout->keyword);
    for (const auto& f : layout->fields) {
      if (f.sinceVersion && version <= f.sinceVersion) continue;
      std::string n(f.name);
      switch (f.kind) {
        case FieldKind::Expr: line += " " + n + "={a + " + std::to_string(t) + "}"; break;
        case FieldKind::String: line += " " + n + "=\"名前 " + std::to_string(t) + "\""; break;
        case FieldKind::TextData: line += " " + n + "=\"<b>text</b>\\r\\n\""; break;
        case FieldKind::Int: line += " " + n + "=" + std::to_string(t + 1000); break;
        case FieldKind::Byte: line += " " + n + "=" + std::to_string(t % 5); break;
        case FieldKind::ExprList: line += " " + n + "=[{1} {\"two\"} {}]"; break;
        case FieldKind::Props:
          if (t % 3 != 0) line += " p0={1} p172={\"last\"}";
          break;
      }
    }
    if (t % 2) line += " runon";
    if (t % 7 == 0) line += " disabled";
    src += line + "\n";
  }
  return src;
}

std::string Bytes(const TPage& p) {
  TMxMemoryStream m;
  p.SaveToStream(m);
  return m.AsString();
}

class EveryCommand : public ::testing::TestWithParam<int> {};

TEST_P(EveryCommand, RecordsRoundTripThroughBytesAndSource) {
  auto page = AssemblePage(EveryCommandSource(GetParam()), "all.osb");
  ASSERT_EQ(page->Commands().Count(), kCommandTypeCount + 1);
  const std::string bytes = Bytes(*page);

  TPage loaded("all.osb");
  TMxMemoryStream in(bytes);
  loaded.LoadFromStream(in);
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_EQ(Bytes(loaded), bytes);
  for (int t = 0; t < kCommandTypeCount; ++t)
    EXPECT_EQ(loaded.Commands().At(t + 1).TypeCode(), t);

  const std::string source = DisassemblePage(loaded);
  auto again = AssemblePage(source, "all.osb");
  EXPECT_EQ(Bytes(*again), bytes) << source;
}

INSTANTIATE_TEST_SUITE_P(Versions, EveryCommand, ::testing::Values(103, 105, 107, 111, 117));

TEST(PageFile, PropertyExpressionsFollowTheMask) {
  auto page = AssemblePage(".mask BoxNew 3 40\n.mask CabinetSave 7\nBoxNew p3={10} p40={\"pic\"}\nImgNew\nCabinetSave p7={1}\n", "m.osb");
  // Without a mask bit for ImgNew, its record is the base fields alone.
  TMxMemoryStream m;
  page->SaveToStream(m);
  TPage loaded("m.osb");
  m.SetPosition(0);
  loaded.LoadFromStream(m);
  const auto& box = loaded.Commands().At(0).fields[0].props;
  ASSERT_EQ(box.size(), 2u);
  EXPECT_EQ(box[0].first, 3);
  EXPECT_EQ(box[1].first, 40);
  EXPECT_TRUE(loaded.Commands().At(1).fields[0].props.empty());
  EXPECT_THROW(AssemblePage("ImgNew p3={1}\n", "x.osb"), OrvaError);  // not in the mask
}

TEST(PageFile, CabinetReadsPropertiesBeforeItsOwnFields) {
  auto page = AssemblePage(".mask CabinetLoad 1\nCabinetLoad p1={5} e1={6} list=[{7}]\n", "c.osb");
  const std::string bytes = Bytes(*page);
  TPage loaded("c.osb");
  TMxMemoryStream in(bytes);
  loaded.LoadFromStream(in);
  const TCommand& c = loaded.Commands().At(0);
  EXPECT_EQ(c.fields[0].props.size(), 1u);
  EXPECT_EQ(c.fields[2].list.size(), 1u);
}

TEST(PageFile, OldVersionsMustBeRebuiltAndNewerOnesLoadEmpty) {
  TMxMemoryStream old;
  old.WriteInt32(102);
  old.SetPosition(0);
  TPage p("old.osb");
  try {
    p.LoadFromStream(old);
    FAIL();
  } catch (const TPageRebuildError& e) {
    EXPECT_STREQ(e.what(), "old.osb\r\nリビルドしてください");
  }
  TMxMemoryStream newer;
  newer.WriteInt32(118);
  newer.WriteBytes("anything at all");
  newer.SetPosition(0);
  TPage n("new.osb");
  n.LoadFromStream(newer);
  EXPECT_EQ(n.Commands().Count(), 0);
  EXPECT_EQ(Bytes(n), newer.AsString());
}

TEST(PageFile, BadRecordsAreRefused) {
  auto page = AssemblePage("Calc {a = 1}\nLabel x\n", "p.osb");
  const std::string bytes = Bytes(*page);
  // Type byte with bit 0x40.
  std::string bad = bytes;
  const size_t firstType = 4 + 1 + 4 + 4 + 64 * 22 + 4;
  bad[firstType] = static_cast<char>(0x40 | 14);
  TMxMemoryStream s(bad);
  TPage p("p.osb");
  try {
    p.LoadFromStream(s);
    FAIL();
  } catch (const OrvaError& e) {
    EXPECT_STREQ(e.what(), "不正なコマンド");
  }
  // Every truncation fails cleanly.
  for (size_t len = 0; len < bytes.size(); ++len) {
    TMxMemoryStream cut(bytes.substr(0, len));
    TPage q("p.osb");
    EXPECT_THROW(q.LoadFromStream(cut), OrvaError) << len;
  }
  // A mask table larger than the file.
  TMxMemoryStream huge;
  huge.WriteInt32(117);
  huge.WriteByte(0);
  huge.WriteInt32(0x10000);
  huge.WriteInt32(0x10000);
  huge.SetPosition(0);
  TPage h("h.osb");
  EXPECT_THROW(h.LoadFromStream(huge), OrvaError);
}

TEST(PageFile, HighTypeBitIsKept) {
  auto page = AssemblePage("Calc {a = 1}\n", "p.osb");
  std::string bytes = Bytes(*page);
  const size_t firstType = 4 + 1 + 4 + 4 + 64 * 22 + 4;
  bytes[firstType] = static_cast<char>(0x80 | 14);
  TMxMemoryStream s(bytes);
  TPage p("p.osb");
  p.LoadFromStream(s);
  EXPECT_EQ(p.Commands().At(0).TypeCode(), 14);
  EXPECT_EQ(Bytes(p), bytes);
  auto again = AssemblePage(DisassemblePage(p), "p.osb");
  EXPECT_EQ(Bytes(*again), bytes);
}

}  // namespace
}  // namespace orva
