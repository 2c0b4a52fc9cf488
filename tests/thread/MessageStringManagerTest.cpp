#include "thread/MessageStringManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Notes, when deleted, its number and whether the manager said it was clearing.
class CNoted : public CMessageStringManager::CManagedObject
{
public:
    CNoted(int nId, const CMessageStringManager* pManager, std::vector<std::pair<int, BOOL>>* pLog)
        : m_nId(nId), m_pManager(pManager), m_pLog(pLog)
    {
    }
    ~CNoted() override { m_pLog->push_back({m_nId, m_pManager->IsClearing()}); }

private:
    int m_nId;
    const CMessageStringManager* m_pManager;
    std::vector<std::pair<int, BOOL>>* m_pLog;
};

} // namespace

TEST(CMessageStringManager, DeletesOwnedObjectsFirstToLastWhileClearing)
{
    std::vector<std::pair<int, BOOL>> aLog;
    {
        auto pManager = std::make_unique<CMessageStringManager>();
        EXPECT_FALSE(pManager->IsClearing());
        pManager->AddObject(new CNoted(1, pManager.get(), &aLog));
        pManager->AddObject(nullptr);
        pManager->AddObject(new CNoted(2, pManager.get(), &aLog));
        EXPECT_TRUE(aLog.empty());
    }
    EXPECT_EQ((std::vector<std::pair<int, BOOL>>{{1, TRUE}, {2, TRUE}}), aLog);
}
