#include "common/hash.h"

#include "common/cp932.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

struct Item : THashCollectionItem {
  Item(std::string name, int v) : THashCollectionItem(std::move(name)), value(v) {}
  int value;
};

THashCollection<Item> Make(std::initializer_list<std::pair<const char*, int>> items) {
  THashCollection<Item> c;
  for (auto [n, v] : items) c.Add(std::make_unique<Item>(n, v));
  return c;
}

TEST(HashCollection, FindsCaseInsensitivelyAndKeepsOrder) {
  auto c = Make({{"Alpha", 1}, {"beta", 2}, {"GAMMA", 3}});
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Find("ALPHA")->value, 1);
  EXPECT_EQ(c.IndexOf("Gamma"), 2);
  EXPECT_EQ(c.IndexOf("delta"), -1);
  EXPECT_EQ(c.At(1).Name(), "beta");
}

TEST(HashCollection, DeletingRenumbersLaterItems) {
  auto c = Make({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}});
  c.Delete(1);
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(c.IndexOf("b"), -1);
  EXPECT_EQ(c.IndexOf("c"), 1);
  EXPECT_EQ(c.Find("d")->Index(), 2);
  auto taken = c.ExtractItem(0);
  EXPECT_EQ(taken->value, 1);
  EXPECT_EQ(c.IndexOf("c"), 0);
}

TEST(HashCollection, NewestOfDuplicateNamesWins) {
  auto c = Make({{"same", 1}, {"SAME", 2}});
  EXPECT_EQ(c.Find("same")->value, 2);
  c.Delete(1);
  EXPECT_EQ(c.Find("same")->value, 1);
}

TEST(HashCollection, RenameMovesTheItemToItsNewBucket) {
  auto c = Make({{"old", 1}, {"other", 2}});
  c.Rename(c.At(0), "new name");
  EXPECT_EQ(c.IndexOf("old"), -1);
  EXPECT_EQ(c.IndexOf("NEW NAME"), 0);
}

TEST(HashCollection, BucketFromLengthFirstAndSecondToLastByte) {
  // (len * 16 + first + second-to-last) mod 256, on the lower-cased name.
  EXPECT_EQ(THashCollectionBase::BucketOf(""), 0);
  EXPECT_EQ(THashCollectionBase::BucketOf("A"), (16 + 'a') & 0xFF);
  EXPECT_EQ(THashCollectionBase::BucketOf("AbC"), (48 + 'a' + 'b') & 0xFF);
  EXPECT_EQ(THashCollectionBase::BucketOf("abc"), THashCollectionBase::BucketOf("ABC"));
  // A trail byte that looks like a capital is not folded ("ア" is 0x83 0x41).
  for (const std::string name : {"\x83\x41x", "x\x83\x41x", "\x83\x83\x41x", "Pictures\\Face.VOR"}) {
    const std::string lower = cp932::ToLower(name);
    EXPECT_EQ(THashCollectionBase::BucketOf(name),
              ((lower.size() * 16) + static_cast<unsigned char>(lower[0]) +
               static_cast<unsigned char>(lower[lower.size() - 2])) & 0xFF)
        << name;
  }
}

TEST(HashCollection, DoubleByteCharactersAreComparedExactly) {
  // Trail bytes 0x41 and 0x61 must not fold into each other.
  auto c = Make({{"\x83\x41", 1}, {"\x83\x61", 2}});
  EXPECT_EQ(c.Find("\x83\x41")->value, 1);
  EXPECT_EQ(c.Find("\x83\x61")->value, 2);
}

TEST(HashCollection, ManyItemsStayFindable) {
  THashCollection<Item> c;
  for (int i = 0; i < 2000; ++i) c.Add(std::make_unique<Item>("item" + std::to_string(i), i));
  for (int i = 0; i < 2000; i += 7) c.Delete(c.IndexOf("item" + std::to_string(i)));
  for (int i = 0; i < 2000; ++i) {
    Item* it = c.Find("ITEM" + std::to_string(i));
    if (i % 7 == 0) {
      EXPECT_EQ(it, nullptr);
    } else {
      ASSERT_NE(it, nullptr);
      EXPECT_EQ(it->value, i);
      EXPECT_EQ(&c.At(it->Index()), it);
    }
  }
}

}  // namespace
}  // namespace orva
