#include "ref/Object.h"

#include <gtest/gtest.h>

namespace Halvo {
namespace {

// Counts its destructions so that tests can see when a release deletes an object.
struct Probe : Ref::Object {
    explicit Probe(int* destroyed) : destroyed(destroyed) {}
    ~Probe() override { ++*destroyed; }
    int* destroyed;
};

struct Holder : Ref::Object {
    explicit Holder(int* destroyed) : member(destroyed) {}
    Probe member;
};

TEST(CountedReference, CountedObjectLivesUntilTheLastReferenceGoes) {
    int destroyed = 0;
    Probe* probe = Ref::New<Probe>(&destroyed);
    EXPECT_EQ(probe->refCount, 0u);
    {
        Ref::Ptr<Probe> first(probe);
        {
            Ref::Ptr<Ref::Object> asBase = first;
            Ref::Ptr<Probe> copy = first;
            EXPECT_EQ(probe->refCount, 3u);
        }
        Ref::Ptr<Probe> moved = std::move(first);
        moved = probe; // assigning the object a reference already holds must not delete it
        EXPECT_EQ(probe->refCount, 1u);
        EXPECT_EQ(destroyed, 0);
        moved = Ref::New<Probe>(&destroyed);
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 2);
    Ref::New<Probe>(&destroyed)->Release(); // never acquired: the first release deletes it
    EXPECT_EQ(destroyed, 3);
}

TEST(CountedReference, MembersAndLocalsAreNeverDeleted) {
    struct Throwing : Ref::Object {
        Throwing() { throw 1; }
    };
    // A counted creation that failed must not leave the next object counted.
    EXPECT_ANY_THROW(Ref::New<Throwing>());
    int destroyed = 0;
    {
        Probe local(&destroyed);
        EXPECT_EQ(local.refCount, Ref::NotCounted);
        Ref::Ptr<Probe>(&local).Reset();
        local.Release();
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);

    Ref::Ptr<Holder> holder(Ref::New<Holder>(&destroyed));
    EXPECT_EQ(holder->member.refCount, Ref::NotCounted);
    { Ref::Ptr<Probe> toMember(&holder->member); }
    EXPECT_EQ(destroyed, 1);
    holder.Reset();
    EXPECT_EQ(destroyed, 2);
}

} // namespace
} // namespace Halvo
