// The simulated machine the tests of the upper layers run on: it must behave as the service database.
#include "service/SimulatedServiceManager.h"

#include <gtest/gtest.h>

namespace kestrane::test {
namespace {

TEST(SimulatedMachine, StatesTakeTimeAndADeletedRunningServiceStaysMarked) {
    SimulatedServiceManager machine;
    machine.Add({L"Slow", L"Lent", L"Stopped"});
    machine.Get(L"Slow")->PendingSteps = 2;
    machine.Get(L"Slow")->StaysMarkedForDeletion = true;
    EXPECT_EQ(machine.StartService(L"Slow"), 0);
    EXPECT_EQ(machine.Find(L"Slow")->State, std::wstring(L"Start Pending"));
    EXPECT_EQ(machine.Find(L"Slow")->State, std::wstring(L"Running"));
    EXPECT_EQ(machine.Delete(L"Slow"), 0);
    ASSERT_EQ(machine.Inventory(false).size(), 1u);  // still listed while it runs
    EXPECT_EQ(machine.StartService(L"Slow"), ReturnCode::ServiceMarkedForDeletion);
    EXPECT_EQ(machine.ChangeStartMode(L"Slow", L"Manual"), ReturnCode::ServiceMarkedForDeletion);
    EXPECT_EQ(machine.StopService(L"Slow"), 0);
    EXPECT_TRUE(machine.WaitWhilePending(L"Slow"));
    EXPECT_TRUE(machine.Inventory(false).empty());
    EXPECT_EQ(machine.CallLog().front(), L"start:Slow");
}

}  // namespace
}  // namespace kestrane::test
