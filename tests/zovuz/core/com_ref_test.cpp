// COM lifetime helpers: every reference handed to them is released exactly once, at the moment
// its owner lets go, and never after it has been handed on.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "zovuz/core/com_ref.h"

namespace {

// Records each Release in a shared journal, one letter per object.
struct Counted
{
    char Name;
    std::string *Journal;
    unsigned long Release()
    {
        *Journal += Name;
        return 0;
    }
};

struct ComLifetime : ::testing::Test
{
    std::string Journal;
    Counted A{'a', &Journal}, B{'b', &Journal}, C{'c', &Journal};
};

TEST_F(ComLifetime, ReleaseAndClearReleasesOnceAndForgets)
{
    // Directly, and through a release function that writes a capital (it never sees a null object).
    Counted *object = &A, *counted = &B;
    const auto release = [&](Counted *Object) { Journal += (char)(Object->Name - 'a' + 'A'); };
    for (int i = 0; i < 2; ++i) {
        ReleaseAndClear(object);
        ReleaseAndClear(counted, release);
    }
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(nullptr, counted);
    EXPECT_EQ("aB", Journal);
}

TEST_F(ComLifetime, HolderReleasesWhatItOwnsOnlyWhenItLetsGo)
{
    {
        ComRef<Counted> first(&A);
        ComRef<Counted> second(std::move(first));  // handed on: nothing released
        EXPECT_FALSE(first);
        EXPECT_EQ(&A, second.Get());
        EXPECT_EQ("", Journal);

        ComRef<Counted> third(&B);
        third = std::move(second);  // the target's old reference goes, the moved one stays
        EXPECT_EQ("b", Journal);
        ComRef<Counted> &same = third;
        third = std::move(same);  // to itself: keeps it
        EXPECT_EQ(&A, third.Get());

        *third.Put() = &C;  // a call filling the holder: the old reference goes first
        EXPECT_EQ("ba", Journal);
        EXPECT_EQ(&C, third.Get());

        Counted *detached = third.Detach();  // the caller owns it now
        EXPECT_EQ(&C, detached);
        third.Reset(&A);
        third.Reset(&B);
        EXPECT_EQ("baa", Journal);
    }
    EXPECT_EQ("baab", Journal);  // the holder's last reference at the end of its scope, C never
}

}  // namespace
