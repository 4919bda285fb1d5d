#pragma once

#include "RelayDelegate.h"

#include <set>

// Observer signals: connected member functions are called in the order of their
// keys (object address, then member-function bytes), each pair once.
namespace Relay
{

template <class Signature> class Signal;

template <class... Params> class Signal<void(Params...)>
{
public:
    using DelegateType = Delegate<void(Params...)>;

    // The bound member may belong to a base of the object's class.
    template <class T, class Object> void Connect(Object* object, void (T::*member)(Params...))
    {
        mDelegates.insert(MakeDelegate(static_cast<T*>(object), member));
    }

    // The iterator steps on before each call, so a called function may connect
    // further delegates or emit again without invalidating the walk.
    void Emit(Params... params) const
    {
        for (auto it = mDelegates.begin(); it != mDelegates.end();)
        {
            const auto current = it++;
            (*current)(params...);
        }
    }

    void operator()(Params... params) const { Emit(params...); }

private:
    std::set<DelegateType> mDelegates;
};

template <class Ret = void> using Signal0 = Signal<Ret()>;
template <class P1> using Signal1 = Signal<void(P1)>;
template <class P1, class P2> using Signal2 = Signal<void(P1, P2)>;

} // namespace Relay
