// Value kinds: conversions, arrays and their errors, stream forms.
#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "exprtest.h"
#include "expr/params.h"

namespace orva {
namespace {

using orvatest::MessageOf;

std::unique_ptr<TCustomParam> Make(int type) { return CreateParam(type); }

TEST(Params, NewValuesAreEmptyScalars) {
  const struct { int type; const char* str; } cases[] = {
      {PT_INT, "0"}, {PT_FLOAT, "0"}, {PT_BOOL, "FALSE"}, {PT_STR, ""}};
  for (const auto& c : cases) {
    auto p = Make(c.type);
    EXPECT_EQ(p->GetParamType(), c.type);
    EXPECT_EQ(p->GetCount(), 1);
    EXPECT_EQ(p->GetDimCount(), 1);
    EXPECT_EQ(p->GetInt(), 0);
    EXPECT_EQ(p->GetFloat(), 0);
    EXPECT_FALSE(p->GetFlag());
    EXPECT_EQ(p->GetStr(), c.str);
  }
  EXPECT_EQ(CreateParam(5), nullptr);
  EXPECT_EQ(CreateParam(0x81)->GetParamType(), PT_INT);  // low 7 bits
}

// Reads of a stored value as each type.
struct ReadCase {
  int type;
  std::string stored;  // written with SetStr for strings, else parsed below
  int32_t asInt;
  Float asFloat;
  bool asFlag;
  bool asFlagElement;
  std::string asStr;
};

void Store(TCustomParam& p, const ReadCase& c) {
  switch (c.type) {
    case PT_INT: p.SetInt(std::stoi(c.stored)); break;
    case PT_FLOAT: p.SetFloat(std::stold(c.stored)); break;
    case PT_BOOL: p.SetFlag(c.stored == "1"); break;
    default: p.SetStr(c.stored); break;
  }
}

class ParamReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ParamReads, ConvertThroughTheStoredType) {
  const ReadCase& c = GetParam();
  auto p = Make(c.type);
  Store(*p, c);
  EXPECT_EQ(p->GetInt(), c.asInt);
  EXPECT_EQ(p->GetFloat(), c.asFloat);
  EXPECT_EQ(p->GetFlag(), c.asFlag);
  EXPECT_EQ(p->GetFlagAt(0), c.asFlagElement);
  EXPECT_EQ(p->GetStr(), c.asStr);
  EXPECT_EQ(p->GetStrAt(0), c.asStr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParamReads,
    ::testing::Values(ReadCase{PT_INT, "-7", -7, -7, true, true, "-7"}, ReadCase{PT_INT, "0", 0, 0, false, false, "0"},
                      ReadCase{PT_FLOAT, "3.9", 3, 3.9L, true, true, "3.9"},
                      ReadCase{PT_FLOAT, "-3.9", -3, -3.9L, true, true, "-3.9"},
                      ReadCase{PT_FLOAT, "0.5", 0, 0.5L, true, true, "0.5"},
                      ReadCase{PT_BOOL, "1", 1, 1, true, true, "TRUE"},
                      ReadCase{PT_BOOL, "0", 0, 0, false, false, "FALSE"},
                      ReadCase{PT_STR, "FALSE", 0, 0, false, false, "FALSE"},
                      ReadCase{PT_STR, "TRUE", 0, 0, true, true, "TRUE"},
                      ReadCase{PT_STR, "true", 0, 0, false, false, "true"},
                      ReadCase{PT_STR, "2", 2, 2, true, false, "2"},
                      ReadCase{PT_STR, "$10", 16, 0, true, false, "$10"},
                      ReadCase{PT_STR, "2.5", 0, 2.5L, false, false, "2.5"},
                      ReadCase{PT_STR, "abc", 0, 0, false, false, "abc"}));

TEST(Params, WritesConvertIntoTheVariablesType) {
  auto i = Make(PT_INT);
  i->SetFloat(3.9L);
  EXPECT_EQ(i->GetInt(), 3);
  i->SetFloat(-3.9L);
  EXPECT_EQ(i->GetInt(), -3);
  i->SetStr("abc");
  EXPECT_EQ(i->GetInt(), 0);
  i->SetStr("x1F");
  EXPECT_EQ(i->GetInt(), 31);
  i->SetFlag(true);
  EXPECT_EQ(i->GetInt(), 1);
  EXPECT_THROW(i->SetFloat(1e10L), OrvaError);  // out of the 32-bit range

  auto f = Make(PT_FLOAT);
  f->SetStr("abc");
  EXPECT_EQ(f->GetFloat(), 0);
  f->SetStr("2.25");
  EXPECT_EQ(f->GetFloat(), 2.25L);

  auto b = Make(PT_BOOL);
  b->SetStr("TRUE");
  EXPECT_TRUE(b->GetFlag());
  b->SetStr("2");  // only "TRUE" is true when written
  EXPECT_FALSE(b->GetFlag());
  b->SetFloat(0.1L);
  EXPECT_TRUE(b->GetFlag());

  auto s = Make(PT_STR);
  s->SetFloat(0.25L);
  EXPECT_EQ(s->GetStr(), "0.25");
  s->SetFlag(false);
  EXPECT_EQ(s->GetStr(), "FALSE");
}

TEST(Params, DimsAddressingAndErrors) {
  auto p = Make(PT_INT);
  p->SetDims({2, 3});
  EXPECT_EQ(p->GetCount(), 6);
  EXPECT_EQ(p->GetDimCount(), 2);
  EXPECT_EQ(p->GetDim(0), 2);
  EXPECT_EQ(p->GetDim(1), 3);
  EXPECT_EQ(p->GetDim(2), 1);
  EXPECT_EQ(p->FlatIndex("a", {1, 2}), 5);
  EXPECT_EQ(p->FlatIndex("a", {0, 5}), 5);  // single indices are not checked
  EXPECT_EQ(MessageOf([&] { p->FlatIndex("a", {2, 0}); }), "a[2,0]\r\n要素数を超えています");
  EXPECT_EQ(MessageOf([&] { p->FlatIndex("a", {1}); }), "a[1]\r\n添え字が不正です");
  EXPECT_EQ(p->FlatIndex("a", {-1, 0}), -3);  // left to the element access check
  EXPECT_EQ(MessageOf([&] { p->GetIntAt(-3); }), "[-3]:配列の添字が不正です");
  EXPECT_EQ(MessageOf([&] { p->SetIntAt(6, 1); }), "[6]:配列の添字が不正です");

  EXPECT_EQ(MessageOf([&] { p->SetDims({3, 0}); }), "配列の要素数[3,0]が不正です");
  EXPECT_EQ(MessageOf([&] { p->SetDims({-1}); }), "配列の要素数[-1]が不正です");
  EXPECT_EQ(MessageOf([&] { p->SetDims({100000, 100000}); }), "配列の要素数[100000,100000]が不正です");
  EXPECT_EQ(p->GetCount(), 6);  // a refused SetDims changes nothing

  auto scalar = Make(PT_STR);
  EXPECT_EQ(scalar->FlatIndex("s", {0}), 0);
  EXPECT_EQ(MessageOf([&] { scalar->FlatIndex("s", {1}); }), "s[1]\r\n要素数を超えています");
}

TEST(Params, SetDimsKeepsLeadingElementsAndScalarWritesCollapse) {
  auto p = Make(PT_INT);
  p->SetInt(9);
  p->SetDims({2, 3});
  for (int i = 1; i < 6; ++i) p->SetIntAt(i, i * 10);
  EXPECT_EQ(p->GetIntAt(0), 9);
  p->SetDims({4});
  EXPECT_EQ(p->GetCount(), 4);
  EXPECT_EQ(p->GetIntAt(3), 30);
  p->SetInt(7);
  EXPECT_EQ(p->GetCount(), 1);
  EXPECT_EQ(p->GetDimCount(), 1);
  EXPECT_EQ(p->GetInt(), 7);
}

TEST(Params, FillUniqueRemoveAndIndexOf) {
  auto s = Make(PT_STR);
  s->SetDims({6});
  const char* items[] = {"b", "a", "b", "", "A", "a"};
  for (int i = 0; i < 6; ++i) s->SetStrAt(i, items[i]);
  EXPECT_EQ(s->IndexOfStr("A", true, false), 4);
  EXPECT_EQ(s->IndexOfStr("A", false, false), 1);
  EXPECT_EQ(s->IndexOfStr("x", false, false), -1);
  s->RemoveValue(nullptr);
  EXPECT_EQ(s->GetCount(), 5);
  s->Unique();
  ASSERT_EQ(s->GetCount(), 3);
  EXPECT_EQ(s->GetStrAt(0), "b");
  EXPECT_EQ(s->GetStrAt(1), "a");
  EXPECT_EQ(s->GetStrAt(2), "A");
  EXPECT_EQ(s->GetDims(), Dims{6});  // dims are left as they were

  auto t = Make(PT_STR);
  t->SetDims({2});
  t->SetStrAt(0, Sys("あいうABC"));
  t->SetStrAt(1, "xyzabc");
  EXPECT_EQ(t->IndexOfStr("abc", false, true), 0);
  EXPECT_EQ(t->IndexOfStr("abc", true, true), 1);

  auto i = Make(PT_INT);
  i->SetDims({3});
  i->FillInt(4);
  i->FillStr("9");  // other kinds' fills do nothing
  EXPECT_EQ(i->GetIntAt(2), 4);
  auto key = Make(PT_STR);
  key->SetStr("4");
  i->RemoveValue(key.get());
  EXPECT_EQ(i->GetCount(), 0);
}

TEST(Params, CopyMemNeedsTheSameKind) {
  auto a = Make(PT_INT), b = Make(PT_INT), s = Make(PT_STR);
  b->SetDims({2, 2});
  b->SetIntAt(3, 5);
  a->CopyMem(*b);
  EXPECT_EQ(a->GetCount(), 4);
  EXPECT_EQ(a->GetDims(), (Dims{2, 2}));
  EXPECT_EQ(a->GetIntAt(3), 5);
  EXPECT_EQ(MessageOf([&] { s->CopyMem(*a); }), "CopyMem:変数の型があいません");
}

TEST(Params, StreamFormsRoundTripByteForByte) {
  std::vector<std::unique_ptr<TCustomParam>> values;
  values.push_back(Make(PT_INT));
  values.back()->SetDims({2, 2});
  values.back()->SetIntAt(3, -5);
  values.push_back(Make(PT_FLOAT));
  values.back()->SetFloat(0.1L);
  values.push_back(Make(PT_BOOL));
  values.back()->SetDims({3});
  values.back()->SetFlagAt(1, true);
  values.push_back(Make(PT_STR));
  values.back()->SetDims({2});
  values.back()->SetStrAt(1, Sys("表示"));
  values.push_back(std::make_unique<TParamVar>("a"));

  for (auto& v : values) {
    TMxMemoryStream out;
    v->SaveToStream(out);
    auto copy = CreateParam(v->Kind() == ParamKind::Ref ? 0 : v->GetParamType());
    out.SetPosition(0);
    copy->LoadFromStream(out);
    EXPECT_EQ(out.GetPosition(), out.GetSize());
    TMxMemoryStream again;
    copy->SaveToStream(again);
    EXPECT_EQ(again.Bytes(), out.Bytes());
  }

  // The exact layout of an int array: dims, count, elements.
  TMxMemoryStream ms;
  values[0]->SaveToStream(ms);
  const std::vector<uint8_t> expected = {2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0,
                                         0, 0, 0, 0, 0, 0, 0, 0, 0xFB, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(ms.Bytes(), expected);
}

TEST(Params, DamagedStreamFormsAreRefused) {
  const std::vector<std::vector<uint8_t>> bad = {
      {},                                        // nothing
      {0xFF, 0xFF, 0xFF, 0xFF},                  // negative dim count
      {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F},      // huge element count
      {0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0},      // truncated elements
  };
  for (const auto& b : bad) {
    TMxMemoryStream ms(b);
    TParamInt p;
    p.SetInt(3);
    EXPECT_THROW(p.LoadFromStream(ms), OrvaError);
    EXPECT_EQ(p.GetInt(), 3);
  }
}

}  // namespace
}  // namespace orva
