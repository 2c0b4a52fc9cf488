#include "framework/Object.h"

const CRuntimeClass CObject::classCObject = {"CObject", nullptr};

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const
{
    for (const CRuntimeClass* pClass = this; pClass; pClass = pClass->m_pBaseClass) {
        if (pClass == pBaseClass)
            return TRUE;
    }
    return FALSE;
}

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return RUNTIME_CLASS(CObject);
}

void CObject::Serialize(CArchive& /*ar*/)
{
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const
{
    return pClass && GetRuntimeClass()->IsDerivedFrom(pClass);
}
