#include "Calls.h"

#include <emscripten/emscripten.h>

#include <cstring>
#include <stdexcept>

namespace emscripten
{

namespace
{

struct Call
{
    std::string name;
    std::string kinds; // one letter an argument
    internal::Thunk thunk;
    void* function;
};

// Filled by the modules' static initialisers, read only after them.
std::vector<Call>& calls()
{
    static std::vector<Call> all;
    return all;
}

val& constants()
{
    static val all = val::object();
    return all;
}

std::vector<uint8_t> arguments; // the next call's, written by JavaScript
std::vector<uint8_t> answer;    // the last call's, read by JavaScript

void put(std::vector<uint8_t>& out, const void* bytes, size_t size)
{
    const auto* from = static_cast<const uint8_t*>(bytes);
    out.insert(out.end(), from, from + size);
}

void putCount(std::vector<uint8_t>& out, size_t count)
{
    const uint32_t count32 = static_cast<uint32_t>(count);
    put(out, &count32, sizeof count32);
}

void putText(std::vector<uint8_t>& out, const char* text, size_t size)
{
    putCount(out, size);
    put(out, text, size);
}

} // namespace

val::val(Kind kind) : node(std::make_shared<Node>(kind)) {}
val::val() : val(Kind::kUndefined) {}
val::val(bool value) : val(value ? Kind::kTrue : Kind::kFalse) {}
val::val(int value) : val(static_cast<double>(value)) {}
val::val(unsigned value) : val(static_cast<double>(value)) {}
val::val(const char* text) : val(std::string(text)) {}

val::val(double value) : val(Kind::kNumber)
{
    node->number = value;
}

val::val(const std::string& text) : val(Kind::kText)
{
    node->text = text;
}

val val::object()
{
    return val(Kind::kObject);
}

val val::array()
{
    return val(Kind::kArray);
}

val::val(memory_view<float> view) : val(Kind::kSingles)
{
    node->view = reinterpret_cast<const uint8_t*>(view.data);
    node->number = static_cast<double>(view.size * sizeof(float));
}

val::val(memory_view<double> view) : val(Kind::kDoubles)
{
    node->view = reinterpret_cast<const uint8_t*>(view.data);
    node->number = static_cast<double>(view.size * sizeof(double));
}

val val::global(const char* name)
{
    val constructor(Kind::kGlobal);
    constructor.node->text = name;
    return constructor;
}

// Checked when a call is made, not compiled: the fuller module's bindings
// take the same sources.
val val::new_(size_t size) const
{
    const bool singles = node->text == "Float32Array";
    if (node->kind != Kind::kGlobal || (!singles && node->text != "Float64Array"))
        throw std::logic_error("new of a value that makes none");
    val made(singles ? Kind::kSingles : Kind::kDoubles);
    made.node->number = static_cast<double>(size * (singles ? sizeof(float) : sizeof(double)));
    return made;
}

void val::set(const char* key, const val& value) const
{
    if (node->kind != Kind::kObject)
        throw std::logic_error("a key set on a value that is not an object");
    node->items.emplace_back(key, value);
}

void val::callWith(const char* method, const val& value) const
{
    if (std::strcmp(method, "push") == 0 && node->kind == Kind::kArray)
        node->items.emplace_back("", value);
    else if (std::strcmp(method, "set") == 0 &&
             (node->kind == Kind::kSingles || node->kind == Kind::kDoubles) &&
             value.node->kind == node->kind && value.node->view &&
             value.node->number == node->number)
        node->samples.assign(value.node->view,
                             value.node->view + static_cast<size_t>(node->number));
    else
        throw std::logic_error("a method these values have not");
}

// Each value: its kind's byte, then a number's 8 bytes, or a count and what
// it counts (a text's bytes, an array's values, an object's keys and values,
// a typed array's samples).
void val::writeTo(std::vector<uint8_t>& out) const
{
    out.push_back(static_cast<uint8_t>(node->kind));
    switch (node->kind)
    {
    case Kind::kNumber:
        put(out, &node->number, sizeof node->number);
        break;
    case Kind::kText:
    case Kind::kGlobal:
        putText(out, node->text.data(), node->text.size());
        break;
    case Kind::kArray:
    case Kind::kObject:
        putCount(out, node->items.size());
        for (const auto& [key, value] : node->items)
        {
            if (node->kind == Kind::kObject)
                putText(out, key, std::strlen(key));
            value.writeTo(out);
        }
        break;
    case Kind::kSingles:
    case Kind::kDoubles:
        putCount(out, node->samples.size() /
                          (node->kind == Kind::kSingles ? sizeof(float) : sizeof(double)));
        put(out, node->samples.data(), node->samples.size());
        break;
    default:
        break;
    }
}

namespace internal
{

void Arguments::read(void* into, size_t size)
{
    if (static_cast<size_t>(end - at) < size)
        throw std::length_error("a call's arguments end early");
    std::memcpy(into, at, size);
    at += size;
}

template <> double Arguments::take<double>()
{
    double value = 0;
    read(&value, sizeof value);
    return value;
}

// JavaScript has made these whole numbers in range, as the bindings do.
template <> int Arguments::take<int>()
{
    return static_cast<int>(take<double>());
}

template <> unsigned Arguments::take<unsigned>()
{
    return static_cast<unsigned>(take<double>());
}

template <> bool Arguments::take<bool>()
{
    return take<double>() != 0;
}

template <> std::string Arguments::take<std::string>()
{
    uint32_t size = 0;
    read(&size, sizeof size);
    std::string text(size, '\0');
    read(text.data(), size);
    return text;
}

template <> std::vector<double> Arguments::take<std::vector<double>>()
{
    uint32_t count = 0;
    read(&count, sizeof count);
    std::vector<double> values(count);
    read(values.data(), count * sizeof(double));
    return values;
}

void Register(const char* name, std::string kinds, Thunk thunk, void* function)
{
    calls().push_back(Call{name, std::move(kinds), thunk, function});
}

} // namespace internal

void constant(const char* name, const val& value)
{
    constants().set(name, value);
}

} // namespace emscripten

using emscripten::val;

extern "C"
{

    // What JavaScript offers: {calls: [[name, kinds], ...], constants: {...}}.
    EMSCRIPTEN_KEEPALIVE const uint8_t* bf_calls()
    {
        val list = val::array();
        for (const auto& call : emscripten::calls())
        {
            val entry = val::array();
            entry.call<void>("push", call.name);
            entry.call<void>("push", call.kinds);
            list.call<void>("push", entry);
        }
        val table = val::object();
        table.set("calls", list);
        table.set("constants", emscripten::constants());
        emscripten::answer.clear();
        table.writeTo(emscripten::answer);
        return emscripten::answer.data();
    }

    // Where JavaScript writes the next call's arguments, `size` bytes.
    EMSCRIPTEN_KEEPALIVE uint8_t* bf_call_arguments(size_t size)
    {
        emscripten::arguments.resize(size);
        return emscripten::arguments.data();
    }

    // Calls the index-th function on the arguments written; its answer's bytes.
    EMSCRIPTEN_KEEPALIVE const uint8_t* bf_call(size_t index)
    {
        const auto& call = emscripten::calls().at(index);
        emscripten::internal::Arguments taken(emscripten::arguments.data(),
                                              emscripten::arguments.size());
        const val answered = call.thunk(call.function, taken);
        emscripten::answer.clear();
        answered.writeTo(emscripten::answer);
        return emscripten::answer.data();
    }

    EMSCRIPTEN_KEEPALIVE size_t bf_answer_size()
    {
        return emscripten::answer.size();
    }

} // extern "C"
