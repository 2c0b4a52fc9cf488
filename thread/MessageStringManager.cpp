#include "thread/MessageStringManager.h"

#include <memory>

CMessageStringManager::~CMessageStringManager()
{
    m_bClearing = TRUE;
    POSITION pos = m_listObjects.GetHeadPosition();
    while (pos) {
        // The objects were handed over with new; the list is their only owner.
        std::unique_ptr<CManagedObject> pObject(static_cast<CManagedObject*>(m_listObjects.GetNext(pos)));
    }
    m_listObjects.RemoveAll();
    m_bClearing = FALSE;
}

void CMessageStringManager::AddObject(CManagedObject* pObject)
{
    // If the list cannot grow, the object is not owned yet: free it and let the
    // failure go on up.
    std::unique_ptr<CManagedObject> pOwned(pObject);
    m_listObjects.AddTail(pOwned.get());
    pOwned.release();
}
