// The runtime module's calls from JavaScript without a binding library: the
// same declarations the fuller module's bindings make (functions, constants,
// answers built as objects and arrays), met by a small registry. A call's
// arguments arrive as bytes and its answer leaves as bytes, which
// bleepforge-runtime-core.mjs turns back into JavaScript values. Only what the
// module's calls use is offered: anything else fails to compile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace emscripten
{

template <typename T> struct memory_view
{
    size_t size;
    const T* data;
};

template <typename T> memory_view<T> typed_memory_view(size_t size, const T* data)
{
    return {size, data};
}

// A value being answered. Copies share the value, as JavaScript's references
// do, so an array pushed into an object may still grow.
class val
{
public:
    enum class Kind : uint8_t
    {
        kUndefined,
        kFalse,
        kTrue,
        kNumber,
        kText,
        kArray,
        kObject,
        kSingles,
        kDoubles,
        kGlobal
    };

    val();
    val(bool value);
    val(int value);
    val(unsigned value);
    val(double value);
    val(const char* text);
    val(const std::string& text);
    val(memory_view<float> view);
    val(memory_view<double> view);

    static val object();
    static val array();
    // Only Float32Array and Float64Array, to be made with new_ and filled by "set".
    static val global(const char* name);

    val new_(size_t size) const;
    // Keys are the callers' literals, which live as long as the program.
    void set(const char* key, const val& value) const;
    // "push" on an array, "set" on a typed array.
    template <typename Result, typename Value>
    Result call(const char* method, const Value& value) const
    {
        static_assert(std::is_void<Result>::value, "calls answer nothing");
        callWith(method, val(value));
    }

    void writeTo(std::vector<uint8_t>& out) const;

private:
    struct Node
    {
        explicit Node(Kind kind) : kind(kind) {}
        Kind kind;
        double number = 0; // a number; a typed array's or a view's size in bytes
        std::string text;  // a text, or the global's name
        std::vector<std::pair<const char*, val>>
            items;                    // an object's keys and values; an array's values, unnamed
        std::vector<uint8_t> samples; // a typed array's bytes
        // A memory view's bytes, the caller's, read only while the call that
        // made the view runs (by a typed array's "set").
        const uint8_t* view = nullptr;
    };

    explicit val(Kind kind);
    void callWith(const char* method, const val& value) const;

    std::shared_ptr<Node> node;
};

namespace internal
{

// The bytes of one call's arguments, in order: numbers as 8-byte doubles
// (JavaScript converts them as the fuller module's bindings do), texts and
// lists of numbers after a 4-byte count.
class Arguments
{
public:
    Arguments(const uint8_t* bytes, size_t size) : at(bytes), end(bytes + size) {}

    template <typename T> T take();

private:
    void read(void* into, size_t size);
    const uint8_t* at;
    const uint8_t* end;
};

template <> double Arguments::take<double>();
template <> int Arguments::take<int>();
template <> unsigned Arguments::take<unsigned>();
template <> bool Arguments::take<bool>();
template <> std::string Arguments::take<std::string>();
template <> std::vector<double> Arguments::take<std::vector<double>>();

// How JavaScript is to convert each argument: one letter a type.
template <typename T> constexpr char kindOf();
template <> constexpr char kindOf<double>()
{
    return 'd';
}
template <> constexpr char kindOf<int>()
{
    return 'i';
}
template <> constexpr char kindOf<unsigned>()
{
    return 'u';
}
template <> constexpr char kindOf<bool>()
{
    return 'b';
}
template <> constexpr char kindOf<std::string>()
{
    return 's';
}
template <> constexpr char kindOf<std::vector<double>>()
{
    return 'v';
}

using Thunk = val (*)(void* function, Arguments& arguments);

void Register(const char* name, std::string kinds, Thunk thunk, void* function);

template <typename Result, typename... Args> val invoke(void* function, Arguments& arguments)
{
    auto* call = reinterpret_cast<Result (*)(Args...)>(function);
    // Braces take the arguments in order.
    std::tuple<std::decay_t<Args>...> taken{arguments.take<std::decay_t<Args>>()...};
    if constexpr (std::is_void<Result>::value)
    {
        std::apply(call, taken);
        return val();
    }
    else
        return val(std::apply(call, taken));
}

} // namespace internal

template <typename Result, typename... Args>
void function(const char* name, Result (*call)(Args...))
{
    internal::Register(name, std::string{internal::kindOf<std::decay_t<Args>>()...},
                       &internal::invoke<Result, Args...>, reinterpret_cast<void*>(call));
}

void constant(const char* name, const val& value);

// The runtime's JavaScript has its own list of numbers.
template <typename T> void register_vector(const char*) {}

} // namespace emscripten

#define EMSCRIPTEN_BINDINGS(name)                                                                  \
    static void bindings_##name();                                                                 \
    [[maybe_unused]] static const int registered_##name = (bindings_##name(), 0);                  \
    static void bindings_##name()
