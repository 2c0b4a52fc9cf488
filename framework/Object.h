#pragma once
// CObject, the root of the framework's class family, and the run-time class
// records through which an object names its class and answers "is it a kind of".
//
// A class that needs type identification writes DECLARE_DYNAMIC(CName) in its
// body and IMPLEMENT_DYNAMIC(CName, CBase) in its source file; RUNTIME_CLASS(CName)
// then yields its record. A class without its own record reports its nearest
// base's record. No record allows creation by name.

#include <windows.h>

// One per class; all records are constant-initialised, so they are valid during
// every phase of static initialisation and destruction.
struct CRuntimeClass
{
    const char* m_lpszClassName;       // the class's own name, e.g. "CThread"
    const CRuntimeClass* m_pBaseClass; // null only for CObject

    // TRUE when this class is pBaseClass or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                       \
public:                                                   \
    static const CRuntimeClass class##class_name;         \
    const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                   \
    const CRuntimeClass class_name::class##class_name = {#class_name,                    \
                                                         RUNTIME_CLASS(base_class_name)}; \
    const CRuntimeClass* class_name::GetRuntimeClass() const                             \
    {                                                                                    \
        return RUNTIME_CLASS(class_name);                                                \
    }

// Stands in for the framework's archive; nothing in the program serialises.
class CArchive;

class CObject
{
public:
    static const CRuntimeClass classCObject;

    // Virtual operations in the framework's order: the record, the destructor,
    // serialisation.
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    virtual void Serialize(CArchive& ar);

    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;

    // Framework objects are not copied by accident; a class that wants copies says so.
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};
