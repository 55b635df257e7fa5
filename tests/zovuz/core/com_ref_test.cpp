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
    Counted *object = &A;
    ReleaseAndClear(object);
    ReleaseAndClear(object);
    EXPECT_EQ(nullptr, object);

    // Through a counting release function, which never sees a null object.
    int calls = 0;
    auto release = [&](Counted *Object) {
        ++calls;
        return Object->Release();
    };
    object = &B;
    ReleaseAndClear(object, release);
    ReleaseAndClear(object, release);
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(1, calls);
    EXPECT_EQ("ab", Journal);
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
