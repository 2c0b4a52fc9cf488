#pragma once
// The framework's collections: CList (doubly-linked, walked by POSITION),
// CPtrList (a list of untyped pointers), CTypedPtrList (a typed view of a pointer
// list) and CUIntArray (a growable array of UINT).
//
// None of them locks: the owner guards a collection shared between threads.
// A collection does not own what its pointers point to; owners delete their
// elements themselves.
// Allocation failures surface as std::bad_alloc, and every insertion is all or
// nothing: when it throws, the collection is as it was.

#include <windows.h>

#include <cstddef>
#include <utility>
#include <vector>

// An opaque place in a list; null means "none" (before the head, past the tail).
struct CPositionTag;
using POSITION = CPositionTag*;

// TYPE is stored by value; ARG_TYPE is how elements are passed in. A move-only
// TYPE is stored with ARG_TYPE = TYPE&&.
template <typename TYPE, typename ARG_TYPE = const TYPE&>
class CList
{
public:
    // nBlockSize is accepted for the framework's signature: the framework carves
    // nodes out of blocks of that many, this list allocates node by node.
    explicit CList(INT_PTR nBlockSize = 10) { (void)nBlockSize; }
    ~CList() { RemoveAll(); }

    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    TYPE& GetHead() { return m_pHead->data; }
    const TYPE& GetHead() const { return m_pHead->data; }
    TYPE& GetTail() { return m_pTail->data; }
    const TYPE& GetTail() const { return m_pTail->data; }

    POSITION GetHeadPosition() const { return ToPosition(m_pHead); }
    POSITION GetTailPosition() const { return ToPosition(m_pTail); }

    // Yields the element at rPosition and moves rPosition to the next (or
    // previous) one, null past the end.
    TYPE& GetNext(POSITION& rPosition) { return Step(rPosition, true)->data; }
    const TYPE& GetNext(POSITION& rPosition) const { return Step(rPosition, true)->data; }
    TYPE& GetPrev(POSITION& rPosition) { return Step(rPosition, false)->data; }
    const TYPE& GetPrev(POSITION& rPosition) const { return Step(rPosition, false)->data; }

    TYPE& GetAt(POSITION position) { return ToNode(position)->data; }
    const TYPE& GetAt(POSITION position) const { return ToNode(position)->data; }
    void SetAt(POSITION position, ARG_TYPE newElement) { ToNode(position)->data = static_cast<ARG_TYPE>(newElement); }

    POSITION AddHead(ARG_TYPE newElement) { return InsertBefore(GetHeadPosition(), static_cast<ARG_TYPE>(newElement)); }
    POSITION AddTail(ARG_TYPE newElement) { return InsertAfter(GetTailPosition(), static_cast<ARG_TYPE>(newElement)); }

    // A null position inserts at the head (InsertBefore) or at the tail (InsertAfter).
    POSITION InsertBefore(POSITION position, ARG_TYPE newElement)
    {
        Node* pNext = position ? ToNode(position) : m_pHead;
        Node* pPrev = pNext ? pNext->pPrev : nullptr;
        return Link(new Node{pPrev, pNext, static_cast<ARG_TYPE>(newElement)});
    }
    POSITION InsertAfter(POSITION position, ARG_TYPE newElement)
    {
        Node* pPrev = position ? ToNode(position) : m_pTail;
        Node* pNext = pPrev ? pPrev->pNext : nullptr;
        return Link(new Node{pPrev, pNext, static_cast<ARG_TYPE>(newElement)});
    }

    TYPE RemoveHead()
    {
        TYPE value = std::move(m_pHead->data);
        RemoveAt(GetHeadPosition());
        return value;
    }
    TYPE RemoveTail()
    {
        TYPE value = std::move(m_pTail->data);
        RemoveAt(GetTailPosition());
        return value;
    }

    // position must be a valid place of this list; it is invalid afterwards.
    void RemoveAt(POSITION position)
    {
        Node* pNode = ToNode(position);
        (pNode->pPrev ? pNode->pPrev->pNext : m_pHead) = pNode->pNext;
        (pNode->pNext ? pNode->pNext->pPrev : m_pTail) = pNode->pPrev;
        --m_nCount;
        delete pNode;
    }

    void RemoveAll()
    {
        while (m_pHead)
            RemoveAt(GetHeadPosition());
    }

    // The first place after startAfter (or from the head) holding a value equal
    // to searchValue, or null.
    POSITION Find(const TYPE& searchValue, POSITION startAfter = nullptr) const
    {
        const Node* pNode = startAfter ? ToNode(startAfter)->pNext : m_pHead;
        for (; pNode; pNode = pNode->pNext) {
            if (pNode->data == searchValue)
                return ToPosition(pNode);
        }
        return nullptr;
    }

private:
    struct Node
    {
        Node* pPrev;
        Node* pNext;
        TYPE data;
    };

    static POSITION ToPosition(const Node* pNode) { return reinterpret_cast<POSITION>(const_cast<Node*>(pNode)); }
    static Node* ToNode(POSITION position) { return reinterpret_cast<Node*>(position); }

    // The node at rPosition; rPosition moves on to its neighbour.
    static Node* Step(POSITION& rPosition, bool bForward)
    {
        Node* pNode = ToNode(rPosition);
        rPosition = ToPosition(bForward ? pNode->pNext : pNode->pPrev);
        return pNode;
    }

    POSITION Link(Node* pNode)
    {
        (pNode->pPrev ? pNode->pPrev->pNext : m_pHead) = pNode;
        (pNode->pNext ? pNode->pNext->pPrev : m_pTail) = pNode;
        ++m_nCount;
        return ToPosition(pNode);
    }

    Node* m_pHead = nullptr;
    Node* m_pTail = nullptr;
    INT_PTR m_nCount = 0;
};

class CPtrList : public CList<void*, void*>
{
public:
    explicit CPtrList(INT_PTR nBlockSize = 10) : CList<void*, void*>(nBlockSize) {}
};

// A pointer list whose elements are TYPE (a pointer type). Elements are handed
// out by value; SetAt changes one in place.
template <typename BASE_CLASS, typename TYPE>
class CTypedPtrList : public BASE_CLASS
{
public:
    explicit CTypedPtrList(INT_PTR nBlockSize = 10) : BASE_CLASS(nBlockSize) {}

    TYPE GetHead() const { return static_cast<TYPE>(BASE_CLASS::GetHead()); }
    TYPE GetTail() const { return static_cast<TYPE>(BASE_CLASS::GetTail()); }
    TYPE GetNext(POSITION& rPosition) const { return static_cast<TYPE>(BASE_CLASS::GetNext(rPosition)); }
    TYPE GetPrev(POSITION& rPosition) const { return static_cast<TYPE>(BASE_CLASS::GetPrev(rPosition)); }
    TYPE GetAt(POSITION position) const { return static_cast<TYPE>(BASE_CLASS::GetAt(position)); }
    void SetAt(POSITION position, TYPE newElement) { BASE_CLASS::SetAt(position, newElement); }

    POSITION AddHead(TYPE newElement) { return BASE_CLASS::AddHead(newElement); }
    POSITION AddTail(TYPE newElement) { return BASE_CLASS::AddTail(newElement); }
    POSITION InsertBefore(POSITION position, TYPE newElement) { return BASE_CLASS::InsertBefore(position, newElement); }
    POSITION InsertAfter(POSITION position, TYPE newElement) { return BASE_CLASS::InsertAfter(position, newElement); }
    TYPE RemoveHead() { return static_cast<TYPE>(BASE_CLASS::RemoveHead()); }
    TYPE RemoveTail() { return static_cast<TYPE>(BASE_CLASS::RemoveTail()); }
    POSITION Find(TYPE searchValue, POSITION startAfter = nullptr) const { return BASE_CLASS::Find(searchValue, startAfter); }
};

// A growable array of UINT, indexed from 0. Indexes are not checked beyond what
// std::vector's operator[] does.
class CUIntArray
{
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_a.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    BOOL IsEmpty() const { return m_a.empty(); }

    UINT GetAt(INT_PTR nIndex) const { return m_a[static_cast<size_t>(nIndex)]; }
    void SetAt(INT_PTR nIndex, UINT newElement) { m_a[static_cast<size_t>(nIndex)] = newElement; }
    UINT& operator[](INT_PTR nIndex) { return m_a[static_cast<size_t>(nIndex)]; }
    UINT operator[](INT_PTR nIndex) const { return m_a[static_cast<size_t>(nIndex)]; }

    // Returns the new element's index.
    INT_PTR Add(UINT newElement)
    {
        m_a.push_back(newElement);
        return GetUpperBound();
    }
    // nCount copies of newElement before nIndex (0 to GetSize()).
    void InsertAt(INT_PTR nIndex, UINT newElement, INT_PTR nCount = 1)
    {
        m_a.insert(m_a.begin() + nIndex, static_cast<size_t>(nCount), newElement);
    }
    void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1) { m_a.erase(m_a.begin() + nIndex, m_a.begin() + nIndex + nCount); }
    void RemoveAll() { m_a.clear(); }

private:
    std::vector<UINT> m_a;
};
