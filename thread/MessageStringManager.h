#pragma once
// CMessageStringManager: a process-wide owner of objects that must live until the
// worker threads' process-wide objects are gone. Exactly one exists (defined in
// Thread.cpp, built before CThread's process-wide objects and destroyed after
// them). Nothing in the program hands it objects today, so it is built and
// destroyed empty; it stays the place for such objects.

#include "framework/Collections.h"

#include <windows.h>

class CMessageStringManager
{
public:
    // What the manager can own: anything deletable through a virtual destructor.
    class CManagedObject
    {
    public:
        virtual ~CManagedObject() = default;
    };

    CMessageStringManager() = default;
    // Deletes the owned objects from the first added to the last.
    virtual ~CMessageStringManager();

    CMessageStringManager(const CMessageStringManager&) = delete;
    CMessageStringManager& operator=(const CMessageStringManager&) = delete;

    // Takes ownership of pObject (null is kept and skipped). Called during static
    // initialisation or on one thread only: the manager takes no lock.
    void AddObject(CManagedObject* pObject);

    // TRUE while the destructor is deleting the owned objects: an owned object's
    // destructor can tell that the process is going down.
    BOOL IsClearing() const { return m_bClearing; }

private:
    CPtrList m_listObjects; // of CManagedObject*, owned
    BOOL m_bClearing = FALSE;
};
