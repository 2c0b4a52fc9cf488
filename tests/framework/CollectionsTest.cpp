#include "framework/Collections.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// The elements head to tail, or tail to head.
template <typename List>
std::vector<int> Walk(const List& list, bool bForward)
{
    std::vector<int> a;
    for (POSITION pos = bForward ? list.GetHeadPosition() : list.GetTailPosition(); pos;)
        a.push_back(bForward ? list.GetNext(pos) : list.GetPrev(pos));
    return a;
}

// Copying one throws once armed, as a failed allocation inside a copy would.
struct Fragile
{
    static bool s_bFail;
    int n;
    explicit Fragile(int value) : n(value) {}
    Fragile(const Fragile& other) : n(other.n)
    {
        if (s_bFail)
            throw std::runtime_error("copy failed");
    }
};
bool Fragile::s_bFail = false;

} // namespace

TEST(CList, InsertsAndRemovesKeepBothDirectionsLinked)
{
    CList<int> list;
    EXPECT_TRUE(list.IsEmpty());
    const POSITION pos2 = list.AddTail(2);
    list.AddHead(1);
    const POSITION pos4 = list.AddTail(4);
    list.InsertBefore(pos4, 3);
    list.InsertAfter(pos4, 5);
    list.InsertBefore(nullptr, 0); // null: at the head
    list.InsertAfter(nullptr, 6);  // null: at the tail
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), Walk(list, true));
    EXPECT_EQ((std::vector<int>{6, 5, 4, 3, 2, 1, 0}), Walk(list, false));
    EXPECT_EQ(7, list.GetCount());

    EXPECT_EQ(pos2, list.Find(2));
    EXPECT_EQ(nullptr, list.Find(2, pos2)); // searching after it
    EXPECT_EQ(nullptr, list.Find(9));

    list.RemoveAt(pos2);
    list.RemoveAt(list.GetHeadPosition());
    list.RemoveAt(list.GetTailPosition());
    EXPECT_EQ((std::vector<int>{1, 3, 4, 5}), Walk(list, true));
    EXPECT_EQ((std::vector<int>{5, 4, 3, 1}), Walk(list, false));
    EXPECT_EQ(1, list.RemoveHead());
    EXPECT_EQ(5, list.RemoveTail());
    EXPECT_EQ(3, list.GetHead());
    EXPECT_EQ(4, list.GetTail());
    list.SetAt(list.GetHeadPosition(), 30);
    EXPECT_EQ((std::vector<int>{30, 4}), Walk(list, true));

    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(nullptr, list.GetHeadPosition());
    EXPECT_EQ(nullptr, list.GetTailPosition());
}

TEST(CList, FailedInsertionLeavesTheListAsItWas)
{
    CList<Fragile> list;
    list.AddTail(Fragile(1));
    list.AddTail(Fragile(2));
    Fragile::s_bFail = true;
    EXPECT_THROW(list.AddHead(Fragile(0)), std::runtime_error);
    EXPECT_THROW(list.InsertAfter(list.GetHeadPosition(), Fragile(9)), std::runtime_error);
    Fragile::s_bFail = false;

    EXPECT_EQ(2, list.GetCount());
    std::vector<int> a;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        a.push_back(list.GetNext(pos).n);
    EXPECT_EQ((std::vector<int>{1, 2}), a);
    EXPECT_EQ(2, list.GetTail().n);
}

TEST(CList, HoldsMoveOnlyElements)
{
    CList<std::unique_ptr<int>, std::unique_ptr<int>&&> list;
    list.AddTail(std::make_unique<int>(1));
    const POSITION pos = list.AddTail(std::make_unique<int>(2));
    EXPECT_EQ(2, *list.GetAt(pos));
    std::unique_ptr<int> pFirst = list.RemoveHead();
    EXPECT_EQ(1, *pFirst);
    EXPECT_EQ(1, list.GetCount());
}

TEST(CTypedPtrList, HandsOutTypedPointersInOrder)
{
    int a = 1, b = 2, c = 3;
    CTypedPtrList<CPtrList, int*> list(10);
    list.AddTail(&b);
    list.AddTail(&c);
    list.AddHead(&a);
    std::vector<int*> aSeen;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        aSeen.push_back(list.GetNext(pos));
    EXPECT_EQ((std::vector<int*>{&a, &b, &c}), aSeen);
    EXPECT_EQ(&b, list.GetAt(list.Find(&b)));
    EXPECT_EQ(&a, list.RemoveHead());
    EXPECT_EQ(&c, list.RemoveTail());
    EXPECT_EQ(&b, list.GetHead());
}

TEST(CUIntArray, InsertsInFrontAndRemovesFromAnywhere)
{
    CUIntArray a;
    EXPECT_EQ(0, a.Add(2));
    EXPECT_EQ(1, a.Add(4));
    a.InsertAt(0, 3);
    a.InsertAt(2, 7, 2);
    ASSERT_EQ(5, a.GetSize());
    EXPECT_EQ((std::vector<UINT>{3, 2, 7, 7, 4}), (std::vector<UINT>{a[0], a[1], a[2], a[3], a[4]}));
    a.RemoveAt(0);
    a.RemoveAt(1, 2);
    EXPECT_EQ(2, a.GetSize());
    EXPECT_EQ(2u, a.GetAt(0));
    EXPECT_EQ(4u, a[1]);
    a[1] = 9;
    EXPECT_EQ(9u, a.GetAt(1));
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
}
