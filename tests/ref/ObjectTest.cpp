#include "ref/Object.h"

#include <gtest/gtest.h>

namespace Halvo {
namespace {

// Counts its destructions so that tests can see when a release deletes an object.
class Probe : public Ref::Object {
public:
    explicit Probe(int* destroyed) : destroyed(destroyed) {}
    ~Probe() override { ++*destroyed; }
    int* destroyed;
};

class Holder : public Ref::Object {
public:
    explicit Holder(int* destroyed) : member(destroyed) {}
    Probe member;
};

TEST(CountedReference, CountedObjectLivesWhileReferenced) {
    int destroyed = 0;
    Probe* probe = Ref::New<Probe>(&destroyed);
    EXPECT_EQ(probe->refCount, 0u);
    {
        Ref::Ptr<Probe> first(probe);
        EXPECT_EQ(probe->refCount, 1u);
        {
            Ref::Ptr<Probe> second = first;
            Ref::Ptr<Ref::Object> asBase = second;
            EXPECT_EQ(probe->refCount, 3u);
        }
        EXPECT_EQ(destroyed, 0);
        Ref::Ptr<Probe> moved = std::move(first);
        EXPECT_EQ(probe->refCount, 1u);
        EXPECT_FALSE(first);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(CountedReference, NeverAcquiredObjectDiesOnFirstRelease) {
    int destroyed = 0;
    Probe* probe = Ref::New<Probe>(&destroyed);
    probe->Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(CountedReference, MembersAndLocalsAreNeverDeleted) {
    int destroyed = 0;
    {
        Probe local(&destroyed);
        EXPECT_EQ(local.refCount, Ref::NotCounted);
        Ref::Ptr<Probe> reference(&local);
        reference.Reset();
        local.Release();
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);

    destroyed = 0;
    Ref::Ptr<Holder> holder(Ref::New<Holder>(&destroyed));
    EXPECT_EQ(holder->refCount, 1u);
    EXPECT_EQ(holder->member.refCount, Ref::NotCounted);
    { Ref::Ptr<Probe> toMember(&holder->member); }
    EXPECT_EQ(destroyed, 0);
    holder.Reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(CountedReference, AssignmentAcquiresBeforeReleasing) {
    int destroyed = 0;
    Ref::Ptr<Probe> reference(Ref::New<Probe>(&destroyed));
    Probe* same = reference.Get();
    reference = same;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(reference->refCount, 1u);
    reference = Ref::New<Probe>(&destroyed);
    EXPECT_EQ(destroyed, 1);
    reference = nullptr;
    EXPECT_EQ(destroyed, 2);
}

TEST(CountedReference, FailedConstructionLeavesLaterObjectsUncounted) {
    struct Throwing : Ref::Object {
        Throwing() { throw 1; }
    };
    EXPECT_ANY_THROW(Ref::New<Throwing>());
    int destroyed = 0;
    Probe local(&destroyed);
    EXPECT_EQ(local.refCount, Ref::NotCounted);
}

} // namespace
} // namespace Halvo
