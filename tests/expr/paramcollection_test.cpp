// The variable table: lookup and scopes, save blocks, snapshots and the
// system variables.
#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "exprtest.h"
#include "expr/paramcollection.h"

namespace orva {
namespace {

using orvatest::MessageOf;

// A source with fixed clocks and scripted input state.
class FakeSource : public TSystemVarSource {
 public:
  bool KeyState(KeyTable table, int code) override {
    if (table == KeyTable::Push) return code == 13 || (code == 256 && wheelDown);
    return table == KeyTable::Click && code == 32;
  }
  int32_t PCTickCount() override { return 123456; }
  TLocalTime Now() override { return {2024, 2, 29, 5, 13, 45, 7}; }
  int ParamCount() override { return static_cast<int>(params.size()); }
  std::string ParamStr(int i) override { return params[static_cast<size_t>(i)]; }
  TCustomParam* CallResult() override { return result.get(); }
  bool wheelDown = true;
  std::vector<std::string> params = {"x", "y"};
  std::unique_ptr<TCustomParam> result;
};

// Loads a block into a fresh table and writes it again.
std::vector<uint8_t> Reloaded(const std::vector<uint8_t>& block, bool status, TSystemVarSource& source) {
  TParamCollection t(&source);
  TMxMemoryStream in(block);
  if (status)
    t.LoadStatusVariables(in, 139);
  else
    t.LoadVariables(in, 139);
  TMxMemoryStream out;
  if (status)
    t.SaveStatusVariables(out);
  else
    t.SaveVariables(out);
  return out.TakeBytes();
}

class VarTable : public ::testing::Test {
 protected:
  FakeSource source;
  TParamCollection vars{&source};
};

TEST_F(VarTable, StartsWithTheSystemVariables) {
  EXPECT_EQ(vars.Count(), 51);
  EXPECT_EQ(vars.At(0).Name(), "@Result");
  EXPECT_EQ(vars.At(50).Name(), "@StackCount");
  EXPECT_EQ(vars.FindVariable("@textdelay"), &vars.At(7));
  EXPECT_EQ(SystemVarNumber("@KEYPUSH"), 35);
}

TEST_F(VarTable, NamesAreChecked) {
  for (const char* bad : {"", "a b", "1a", "9"}) {
    EXPECT_EQ(MessageOf([&] { vars.Declare(bad, PT_INT); }), std::string("\"") + bad + "\"：変数名が不正です");
  }
  EXPECT_EQ(vars.Count(), 51);  // refused names leave nothing behind
  EXPECT_NO_THROW(vars.Declare(Sys("変数１"), PT_INT));
  EXPECT_NE(vars.FindVariable(Sys("変数１")), nullptr);
}

TEST_F(VarTable, LookupPrefersTheCurrentScopesLocalThenTheOldestGlobal) {
  auto& older = vars.Declare("v", PT_INT);
  auto& newer = vars.Declare("V", PT_INT);
  EXPECT_EQ(vars.FindVariable("v"), &older);
  vars.SetCurrentScope(2);
  auto& local = vars.Declare("v", PT_INT, VarScope::Local);
  auto& autoVar = vars.Declare("w", PT_INT, VarScope::AutoDiscard);
  EXPECT_EQ(vars.FindVariable("v"), &local);
  EXPECT_EQ(vars.FindForDeclare("v", true), &local);
  EXPECT_EQ(vars.FindForDeclare("v", false), &older);
  vars.SetCurrentScope(3);  // a deeper call: the local of scope 2 is hidden
  EXPECT_EQ(vars.FindVariable("v"), &older);
  EXPECT_EQ(vars.FindVariable("w"), &autoVar);  // auto-discard stays visible
  vars.FreeScope(2);
  EXPECT_EQ(vars.FindVariable("w"), nullptr);
  vars.SetCurrentScope(2);
  EXPECT_EQ(vars.FindVariable("v"), &older);
  vars.DeleteVariable(older);
  EXPECT_EQ(vars.FindVariable("v"), &newer);
}

TEST_F(VarTable, ResetKeepsSystemAndStatusVariables) {
  vars.Declare("g", PT_INT);
  vars.Declare("s", PT_STR, VarScope::Status);
  vars.textDelay = 9;
  vars.defaultCursor = "c.cur";
  vars.ResetVariables();
  EXPECT_EQ(vars.FindVariable("g"), nullptr);
  EXPECT_NE(vars.FindVariable("s"), nullptr);
  EXPECT_EQ(vars.Count(), 52);
  EXPECT_EQ(vars.textDelay, 50);
  EXPECT_EQ(vars.defaultCursor, "");
}

TEST_F(VarTable, ValueCopiesAndAssignValues) {
  auto& a = vars.Declare("a", PT_FLOAT);
  a.Value()->SetDims({2, 2});
  a.Value()->SetFloatAt(3, 2.5L);
  auto copy = vars.GetValueCopy("a");
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->GetDims(), (Dims{2, 2}));
  EXPECT_EQ(copy->GetFloatAt(3), 2.5L);
  a.Value()->SetFloatAt(3, 1);
  EXPECT_EQ(copy->GetFloatAt(3), 2.5L);  // detached
  EXPECT_EQ(vars.GetValueCopy("nothing"), nullptr);
  EXPECT_EQ(MessageOf([&] { vars.GetValueCopy("@Temp"); }), "@Temp:不正な変数です");
  auto pi = vars.GetValueCopy("@Pi");
  EXPECT_EQ(pi->GetParamType(), PT_FLOAT);

  TParamStr s;
  TParamCollection::AssignValues(s, *a.Value());
  EXPECT_EQ(s.GetDims(), (Dims{2, 2}));
  EXPECT_EQ(s.GetStrAt(3), "1");
  TParamInt scalar;
  scalar.SetInt(4);
  TParamCollection::AssignValues(s, scalar);
  EXPECT_EQ(s.GetDims(), Dims{1});
  EXPECT_EQ(s.GetStrAt(0), "4");
}

void Fill(TParamCollection& vars) {
  vars.Declare("a", PT_INT).Value()->SetInt(1);
  auto& b = vars.Declare("b", PT_STR);
  b.Value()->SetDims({2});
  b.Value()->SetStrAt(1, Sys("文字"));
  vars.SetCurrentScope(1);
  vars.Declare("c", PT_FLOAT, VarScope::Local).Value()->SetFloat(0.5L);
  vars.SetCurrentScope(0);
  vars.Declare("st", PT_BOOL, VarScope::Status).Value()->SetFlag(true);
  vars.textDelay = 20;
  vars.defaultCursor = "arrow.cur";
  vars.selectedText = "menu";
  vars.selectedIndex = 3;
  vars.tempAlias = "a";
}

TEST_F(VarTable, GameSaveBlockWritesRecordsLastFirstAndRoundTrips) {
  Fill(vars);
  TMxMemoryStream out;
  vars.SaveVariables(out);

  // Records: count, then c, b, a.
  out.SetPosition(0);
  EXPECT_EQ(out.ReadInt32(), 3);
  EXPECT_EQ(out.ReadByte(), PT_FLOAT);
  EXPECT_EQ(out.ReadString(), "c");

  FakeSource other;
  TParamCollection loaded(&other);
  loaded.Declare("gone", PT_INT);
  loaded.Declare("kept", PT_INT, VarScope::Status);
  out.SetPosition(0);
  loaded.LoadVariables(out, 139);
  EXPECT_EQ(out.GetPosition(), out.GetSize());
  EXPECT_EQ(loaded.FindVariable("gone"), nullptr);
  EXPECT_NE(loaded.FindVariable("kept"), nullptr);
  EXPECT_EQ(loaded.FindVariable("a")->Value()->GetInt(), 1);
  EXPECT_EQ(loaded.FindVariable("b")->Value()->GetStrAt(1), Sys("文字"));
  EXPECT_EQ(loaded.FindVariable("st"), nullptr);  // status variables go elsewhere
  loaded.SetCurrentScope(1);
  EXPECT_EQ(loaded.FindVariable("c")->Value()->GetFloat(), 0.5L);
  EXPECT_EQ(loaded.textDelay, 20);
  EXPECT_EQ(loaded.defaultCursor, "arrow.cur");
  EXPECT_EQ(loaded.selectedText, "menu");
  EXPECT_EQ(loaded.selectedIndex, 3);
  EXPECT_EQ(loaded.tempAlias, "a");

  loaded.SetCurrentScope(0);
  loaded.DeleteVariable(*loaded.FindVariable("kept"));
  TMxMemoryStream again;
  loaded.SaveVariables(again);
  // Loading reverses the table order, so a second save lists a, b, c.
  EXPECT_NE(again.Bytes(), out.Bytes());
  EXPECT_EQ(Reloaded(again.Bytes(), false, other), out.Bytes());
}

TEST_F(VarTable, GameSaveBlockVersionRules) {
  // Which fields each version carries after the records and the cursor.
  const struct { int version; bool sel, legacy, alias, snapshots; } cases[] = {
      {100, false, false, false, false}, {103, true, false, false, false}, {113, true, true, false, false},
      {121, true, true, true, false},    {135, true, false, true, false},  {139, true, false, true, true}};
  for (const auto& c : cases) {
    TMxMemoryStream ms;
    ms.WriteInt32(0);
    ms.WriteInt32(30);
    ms.WriteString("cur");
    if (c.sel) {
      ms.WriteString("sel");
      ms.WriteInt32(4);
    }
    if (c.legacy)
      for (int i = 0; i < 6; ++i) ms.WriteInt32(i + 1);
    if (c.alias) ms.WriteString("al");
    if (c.snapshots) ms.WriteInt32(0);
    ms.SetPosition(0);
    TParamCollection v(&source);
    v.LoadVariables(ms, c.version);
    EXPECT_EQ(ms.GetPosition(), ms.GetSize()) << c.version;
    EXPECT_EQ(v.textDelay, 30);
    EXPECT_EQ(v.selectedText, c.sel ? "sel" : "");
    EXPECT_EQ(v.legacyHistoryFields[5], c.legacy ? 6 : 0);
    EXPECT_EQ(v.tempAlias, c.alias ? "al" : "");
  }
}

TEST_F(VarTable, DamagedSaveBlocksChangeNothing) {
  Fill(vars);
  TMxMemoryStream out;
  vars.SaveVariables(out);
  std::vector<uint8_t> bytes = out.Bytes();
  for (size_t cut : {size_t{2}, bytes.size() / 2, bytes.size() - 1}) {
    TParamCollection v(&source);
    v.Declare("mine", PT_INT);
    TMxMemoryStream ms(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
    EXPECT_THROW(v.LoadVariables(ms, 139), OrvaError) << cut;
    EXPECT_NE(v.FindVariable("mine"), nullptr);
  }
  std::vector<uint8_t> badType = bytes;
  badType[4] = 9;  // first record's type code
  TMxMemoryStream ms(badType);
  EXPECT_THROW(vars.LoadVariables(ms, 139), OrvaError);
}

TEST_F(VarTable, StatusBlockHoldsOnlyStatusVariablesAndAddsOnLoad) {
  Fill(vars);
  vars.Declare("st2", PT_STR, VarScope::Status).Value()->SetStr("z");
  TMxMemoryStream out;
  vars.SaveStatusVariables(out);
  out.SetPosition(0);
  EXPECT_EQ(out.ReadInt32(), 2);
  EXPECT_EQ(out.ReadByte(), PT_STR);  // the last one first
  TParamCollection other(&source);
  other.Declare("mine", PT_INT);
  out.SetPosition(0);
  other.LoadStatusVariables(out, 139);
  EXPECT_NE(other.FindVariable("mine"), nullptr);
  EXPECT_TRUE(other.FindVariable("st")->Value()->GetFlag());
  EXPECT_TRUE(other.FindVariable("st")->status);
  TMxMemoryStream again;
  other.SaveStatusVariables(again);
  EXPECT_EQ(Reloaded(again.Bytes(), true, source), out.Bytes());
}

TEST_F(VarTable, SnapshotsRestoreValuesAndTypes) {
  vars.Declare("a", PT_INT).Value()->SetInt(5);
  vars.Declare("s", PT_STR).Value()->SetStr("x");
  vars.PushVariables({"a", "s", "missing", "@TextDelay"});
  vars.FindVariable("a")->Value()->SetInt(6);
  vars.DeleteVariable(*vars.FindVariable("s"));
  vars.Declare("s", PT_INT);  // another type: replaced on pop
  vars.PopVariables();
  EXPECT_EQ(vars.FindVariable("a")->Value()->GetInt(), 5);
  EXPECT_EQ(vars.FindVariable("s")->Value()->GetParamType(), PT_STR);
  EXPECT_EQ(vars.FindVariable("s")->Value()->GetStr(), "x");
  EXPECT_EQ(vars.FindVariable("@TextDelay")->Value()->GetInt(), 50);
  EXPECT_EQ(vars.SnapshotCount(), 0);
  vars.PopVariables();  // empty stack: nothing
}

TEST_F(VarTable, SnapshotsTravelInTheGameSaveBlock) {
  vars.Declare("a", PT_INT).Value()->SetInt(5);
  vars.Declare("b", PT_FLOAT).Value()->SetFloat(1.5L);
  vars.PushVariables({"a"});
  vars.PushVariables({"b", "@Title", "a"});
  TMxMemoryStream out;
  vars.SaveVariables(out);
  TParamCollection other(&source);
  out.SetPosition(0);
  other.LoadVariables(out, 139);
  EXPECT_EQ(out.GetPosition(), out.GetSize());
  ASSERT_EQ(other.SnapshotCount(), 2);
  TMxMemoryStream again;
  other.SaveVariables(again);
  EXPECT_EQ(again.Bytes().size(), out.Bytes().size());
  other.FindVariable("b")->Value()->SetFloat(9);
  other.PopVariables();
  EXPECT_EQ(other.FindVariable("b")->Value()->GetFloat(), 1.5L);
}

TEST_F(VarTable, SystemVariablesReadAndWriteTheirState) {
  auto sys = [&](const char* name) { return vars.FindVariable(name)->Value(); };
  sys("@TextDelay")->SetInt(30);
  EXPECT_EQ(vars.textDelay, 30);
  sys("@TextDelay")->SetStr("abc");  // not a number: ignored
  EXPECT_EQ(vars.textDelay, 30);
  sys("@TextDelay")->SetStr("40");
  EXPECT_EQ(sys("@TextDelay")->GetStr(), "40");
  sys("@CGDither")->SetStr("TRUE");  // text to a flag: its integer value
  EXPECT_FALSE(sys("@CGDither")->GetFlag());
  sys("@CGDither")->SetStr("2");
  EXPECT_TRUE(sys("@CGDither")->GetFlag());
  sys("@SelIndex")->SetFloat(2.7L);
  EXPECT_EQ(vars.selectedIndex, 2);
  sys("@Cursor")->SetInt(5);
  EXPECT_EQ(vars.defaultCursor, "5");
  sys("@IsDebug")->SetFlag(true);  // read-only
  EXPECT_FALSE(sys("@IsDebug")->GetFlag());
  sys("@Year")->SetInt(1);
  EXPECT_EQ(sys("@Year")->GetInt(), 2024);
  EXPECT_EQ(sys("@Week")->GetInt(), 5);
  EXPECT_EQ(sys("@Sec")->GetInt(), 7);
  EXPECT_EQ(sys("@PCTickCount")->GetInt(), 123456);
  EXPECT_EQ(sys("@Pi")->GetStr(), "3.14159265358979");
  EXPECT_EQ(sys("@1Hour")->GetFloat(), 1.0L / 24);
  vars.title = "Game";
  EXPECT_EQ(sys("@Title")->GetStr(), "Game");
  EXPECT_EQ(sys("@ScrWidth")->GetInt(), 640);
  EXPECT_EQ(sys("@Title")->GetParamType(), PT_STR);
  EXPECT_EQ(sys("@SoundON")->GetParamType(), PT_BOOL);
}

TEST_F(VarTable, SystemArraysAndForwardingVariables) {
  TCustomParam* keys = vars.FindVariable("@KeyPush")->Value();
  EXPECT_EQ(keys->GetCount(), 258);
  EXPECT_TRUE(keys->GetFlagAt(13));
  EXPECT_FALSE(keys->GetFlagAt(14));
  EXPECT_TRUE(keys->GetFlagAt(256));  // wheel down
  EXPECT_FALSE(keys->GetFlagAt(258));
  EXPECT_FALSE(keys->GetFlag());
  EXPECT_TRUE(vars.FindVariable("@KeyClick")->Value()->GetFlagAt(32));
  EXPECT_TRUE(vars.FindVariable("@WheelDown")->Value()->GetFlag());

  TCustomParam* params = vars.FindVariable("@ParamStr")->Value();
  EXPECT_EQ(params->GetCount(), 2);
  EXPECT_EQ(params->GetStrAt(1), "y");
  EXPECT_EQ(params->GetStr(), "");
  EXPECT_EQ(MessageOf([&] { params->GetStrAt(2); }), "[2]:配列の添字が不正です");

  TCustomParam* temp = vars.FindVariable("@Temp")->Value();
  EXPECT_EQ(temp->GetParamType(), PT_NONE);
  EXPECT_EQ(temp->GetCount(), 1);
  temp->SetInt(3);  // no alias: ignored
  auto& target = vars.Declare("t", PT_STR);
  vars.tempAlias = "t";
  temp->SetInt(3);
  EXPECT_EQ(target.Value()->GetStr(), "3");
  EXPECT_EQ(temp->GetParamType(), PT_STR);
  vars.tempAlias = "@Temp";  // an alias of itself does not loop
  EXPECT_EQ(temp->GetInt(), 0);

  TCustomParam* result = vars.FindVariable("@Result")->Value();
  EXPECT_EQ(result->GetStr(), "");
  EXPECT_EQ(result->GetInt(), 0);
  source.result = CreateParam(PT_FLOAT);
  result->SetStr("1.5");
  EXPECT_EQ(source.result->GetFloat(), 1.5L);
  EXPECT_EQ(result->GetParamType(), PT_FLOAT);
}

}  // namespace
}  // namespace orva

namespace orva {
namespace {

TEST_F(VarTable, LoweringScopesKeepsLookupsRight) {
  vars.SetCurrentScope(3);
  auto& local = vars.Declare("v", PT_INT, VarScope::Local);
  auto& global = vars.Declare("v", PT_INT);
  EXPECT_EQ(vars.FindVariable("v"), &local);
  vars.LowerScopesAbove(1);  // frame 1 removed: scope 3 becomes 2
  EXPECT_EQ(local.scope, 2);
  EXPECT_EQ(vars.FindVariable("v"), &global);
  vars.SetCurrentScope(2);
  EXPECT_EQ(vars.FindVariable("v"), &local);
}

}  // namespace
}  // namespace orva

namespace orva {
namespace {

TEST_F(VarTable, LoadedReferencesRebindByName) {
  auto& a = vars.Declare("a", PT_INT);
  a.Value()->SetDims({4});
  a.Value()->SetIntAt(2, 9);
  TParamVar ref("a");
  ref.Bind(&a, 2);
  TMxMemoryStream ms;
  ref.SaveToStream(ms);
  ms.SetPosition(0);
  TParamVar loaded;
  loaded.LoadFromStream(ms);
  EXPECT_EQ(loaded.GetInt(), 0);  // unbound until bound by name
  vars.BindReference(loaded);
  EXPECT_EQ(loaded.GetInt(), 9);
  vars.DeleteVariable(a);
  TParamVar again;
  ms.SetPosition(0);
  again.LoadFromStream(ms);
  EXPECT_EQ(MessageOf([&] { vars.BindReference(again); }), "\"a\" 変数がありません");
}

}  // namespace
}  // namespace orva
