#pragma once

#include <cstdint>
#include <cstring>

// Bindings of one object and one of its member functions, comparable so that a
// signal can keep them in an ordered set.
namespace Relay
{

namespace detail
{
class AnyClass;
// Every member-function pointer is stored, bit for bit, in this one generic
// form; only the typed call stub reads it back as the bound class's type.
using GenericMemberFunction = void (AnyClass::*)();
} // namespace detail

class DelegateKey
{
public:
    bool IsLess(const DelegateKey& right) const
    {
        const auto left = reinterpret_cast<std::uintptr_t>(mObject);
        const auto other = reinterpret_cast<std::uintptr_t>(right.mObject);
        if (left != other)
            return left < other;
        // The whole member-function pointer: address or virtual slot, and the
        // object adjustment (two machine words on a 64-bit build).
        return std::memcmp(&mMember, &right.mMember, sizeof mMember) < 0;
    }

    void SetKeyFrom(const DelegateKey& other)
    {
        mObject = other.mObject;
        mMember = other.mMember;
    }

protected:
    detail::AnyClass* mObject = nullptr;
    detail::GenericMemberFunction mMember = nullptr;
};

namespace detail
{

template <class Ret, class... Params> class BoundMember : public DelegateKey
{
public:
    template <class T> void Bind(T* object, Ret (T::*member)(Params...))
    {
        static_assert(sizeof member == sizeof mMember, "one member-pointer size for all classes");
        mObject = reinterpret_cast<AnyClass*>(object);
        std::memcpy(&mMember, &member, sizeof mMember);
        mInvoke = &InvokeAs<T>;
    }

    AnyClass* GetObject() const { return mObject; }
    GenericMemberFunction GetMember() const { return mMember; }
    void CopyFrom(const BoundMember& other)
    {
        SetKeyFrom(other);
        mInvoke = other.mInvoke;
    }

protected:
    Ret Invoke(Params... params) const { return mInvoke(mObject, mMember, params...); }

private:
    using Stub = Ret (*)(AnyClass*, GenericMemberFunction, Params...);

    template <class T>
    static Ret InvokeAs(AnyClass* object, GenericMemberFunction member, Params... params)
    {
        auto* typed = reinterpret_cast<T*>(object);
        Ret (T::*function)(Params...);
        std::memcpy(&function, &member, sizeof function);
        return (typed->*function)(params...);
    }

    Stub mInvoke = nullptr;
};

} // namespace detail

template <class Signature> class Delegate;

template <class Ret, class... Params>
class Delegate<Ret(Params...)> : public detail::BoundMember<Ret, Params...>
{
public:
    template <class T> Delegate(T* object, Ret (T::*member)(Params...))
    {
        this->Bind(object, member);
    }

    Ret operator()(Params... params) const { return this->Invoke(params...); }
    bool operator<(const Delegate& right) const { return this->IsLess(right); }
};

template <class Ret = void> using Delegate0 = Delegate<Ret()>;
template <class P1, class Ret = void> using Delegate1 = Delegate<Ret(P1)>;
template <class P1, class P2, class Ret = void> using Delegate2 = Delegate<Ret(P1, P2)>;

template <class T, class Ret, class... Params>
Delegate<Ret(Params...)> MakeDelegate(T* object, Ret (T::*member)(Params...))
{
    return Delegate<Ret(Params...)>(object, member);
}

} // namespace Relay
