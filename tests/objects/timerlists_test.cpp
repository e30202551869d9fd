#include "objects/timerlists.h"

#include <gtest/gtest.h>

#include <map>

#include "common/errors.h"

namespace orva {
namespace {

// Stand-ins for registered components: only their addresses matter here.
TOrvaObject* Obj(int n) { return reinterpret_cast<TOrvaObject*>(static_cast<uintptr_t>(n) * 64); }

TEST(TimerList, QueuesInOrderAndSkipsEmptyPages) {
  TTimerList q;
  EXPECT_EQ(q.Queue(Obj(1), "", {}, 36), nullptr);
  q.Queue(Obj(1), "click.osb", {"a"}, 36);
  q.Queue(Obj(2), "idle.osb", {}, 113);
  EXPECT_EQ(q.Count(), 2);
  EXPECT_EQ(q.NextWaiting()->page, "click.osb");
  q.NextWaiting()->level = 1;
  EXPECT_EQ(q.NextWaiting()->page, "idle.osb");
  EXPECT_EQ(q.FindEvent(Obj(1), 36), 0);  // running records count too
  EXPECT_EQ(q.FindEvent(Obj(1), 37), -1);
}

TEST(TimerList, RemovalsByLevelRunningAndObject) {
  TTimerList q;
  q.Queue(Obj(1), "a", {}, 1)->level = 1;
  q.Queue(Obj(1), "b", {}, 2)->level = 3;
  q.Queue(Obj(1), "c", {}, 3);
  q.Queue(Obj(2), "d", {}, 4);
  q.RemoveLevel(7);
  EXPECT_EQ(q.Count(), 4);
  q.RemoveLevel(3);
  EXPECT_EQ(q.Count(), 3);
  q.RemoveWaiting(Obj(1));
  ASSERT_EQ(q.Count(), 2);
  EXPECT_EQ(q.At(0).page, "a");
  q.Forget(Obj(1));
  EXPECT_EQ(q.At(0).object, nullptr);
  q.RemoveRunning();
  ASSERT_EQ(q.Count(), 1);
  EXPECT_EQ(q.At(0).page, "d");
  q.Clear();
  EXPECT_EQ(q.NextWaiting(), nullptr);
}

TEST(TimerList, SavedFormRoundTripsAndReadsOldLevels) {
  std::map<std::string, TOrvaObject*> registry{{"btn", Obj(1)}};
  auto nameOf = [&](const TOrvaObject* o) -> std::string {
    for (auto& [n, p] : registry)
      if (p == o) return n;
    return "";
  };
  auto find = [&](const std::string& n) -> TOrvaObject* {
    auto it = registry.find(n);
    return it == registry.end() ? nullptr : it->second;
  };
  TTimerList q;
  q.Queue(Obj(1), "page:label", {"x", "y"}, 36)->level = 5;
  q.Queue(Obj(9), "gone", {}, 113);
  TMxMemoryStream s;
  q.WriteToStream(s, nameOf);
  s.SetPosition(0);
  TTimerList back;
  back.ReadFromStream(s, 116, find);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.At(0).object, Obj(1));
  EXPECT_EQ(back.At(0).level, 5);
  EXPECT_EQ(back.At(0).args, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(back.At(1).object, nullptr);  // not registered: runs without a sender

  TMxMemoryStream old;
  old.WriteInt32(1);
  old.WriteString("p");
  old.WriteString("btn");
  old.WriteByte(36);
  old.WriteByte(5);  // a level byte in saves of version 113
  old.WriteStringList({});
  old.SetPosition(0);
  back.ReadFromStream(old, 113, find);
  EXPECT_EQ(back.At(0).level, 1);

  TMxMemoryStream bad;
  bad.WriteInt32(1000000);
  bad.SetPosition(0);
  EXPECT_THROW(back.ReadFromStream(bad, 116, find), OrvaError);
}

}  // namespace
}  // namespace orva
