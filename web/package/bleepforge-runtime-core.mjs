// The runtime module's JavaScript: instantiates bleepforge-runtime-core.wasm
// and offers its calls as the fuller module's bindings do (the same names,
// arguments and answers), over bytes in the module's memory.
// createCore(core) fills `core` and resolves to it; when core.instantiateWasm
// hands the instance over at once (as a worklet's does), `core` is ready when
// createCore returns.
const NUMBER_OF = {
    d: (value) => number(value, 'double'),
    i: (value) => number(value, 'int') | 0,
    u: (value) => number(value, 'unsigned int') >>> 0,
    b: (value) => (value ? 1 : 0),
};
// A worklet's scope may have no TextEncoder or TextDecoder.
const utf8 = typeof TextEncoder === 'function' && typeof TextDecoder === 'function'
    ? { encode: (text) => new TextEncoder().encode(text), decode: (bytes) => new TextDecoder().decode(bytes) }
    : { encode: (text) => Uint8Array.from(unescape(encodeURIComponent(text)), (c) => c.charCodeAt(0)),
        decode: (bytes) => decodeURIComponent(escape(String.fromCharCode(...bytes))) };

function number(value, type) {
    if (typeof value !== 'number' && typeof value !== 'boolean')
        throw new TypeError(`Cannot convert "${String(value)}" to ${type}`);
    return +value;
}

function bytesOf(value) {
    if (typeof value === 'string')
        return utf8.encode(value);
    if (value instanceof ArrayBuffer)
        return new Uint8Array(value);
    if (value instanceof Uint8Array || value instanceof Uint8ClampedArray || value instanceof Int8Array)
        return new Uint8Array(value.buffer, value.byteOffset, value.byteLength);
    throw new TypeError('Cannot pass non-string to std::string');
}

// A list of numbers for calls that take one, as the bindings' VectorDouble.
class VectorDouble {
    #values = [];
    push_back(value) { this.#values.push(number(value, 'double')); }
    size() { return this.#values.length; }
    get(index) { return this.#values[index]; }
    delete() { this.#values = []; }
    get values() { return this.#values; }
}

// The arguments' bytes: numbers as doubles, texts and lists after a count.
function argumentBytes(kinds, args) {
    const parts = [];
    let size = 0;
    [...kinds].forEach((kind, i) => {
        let part;
        if (kind === 's') {
            const bytes = bytesOf(args[i]);
            part = new Uint8Array(4 + bytes.length);
            new DataView(part.buffer).setUint32(0, bytes.length, true);
            part.set(bytes, 4);
        } else if (kind === 'v') {
            if (!(args[i] instanceof VectorDouble))
                throw new TypeError('expected a VectorDouble');
            const { values } = args[i];
            part = new Uint8Array(4 + 8 * values.length);
            const view = new DataView(part.buffer);
            view.setUint32(0, values.length, true);
            values.forEach((value, v) => view.setFloat64(4 + 8 * v, value, true));
        } else {
            part = new Uint8Array(8);
            new DataView(part.buffer).setFloat64(0, NUMBER_OF[kind](args[i]), true);
        }
        parts.push(part);
        size += part.length;
    });
    return { parts, size };
}

// An answer's value from its bytes (see Calls.cpp): [value, the next offset].
function valueAt(memory, at) {
    const view = new DataView(memory.buffer);
    const kind = view.getUint8(at++);
    const count = () => { at += 4; return view.getUint32(at - 4, true); };
    const text = () => { const n = count(); at += n; return utf8.decode(new Uint8Array(memory.buffer, at - n, n)); };
    switch (kind) {
    case 0: return [undefined, at];
    case 1: return [false, at];
    case 2: return [true, at];
    case 3: return [view.getFloat64(at, true), at + 8];
    case 4: case 9: return [text(), at];
    case 5: case 6: {
        const made = kind === 5 ? [] : {};
        for (let n = count(), i = 0; i < n; ++i) {
            const key = kind === 5 ? i : text();
            [made[key], at] = valueAt(memory, at);
        }
        return [made, at];
    }
    default: {
        const Samples = kind === 7 ? Float32Array : Float64Array;
        const bytes = count() * Samples.BYTES_PER_ELEMENT;
        return [new Samples(memory.buffer.slice(at, at + bytes)), at + bytes];
    }
    }
}

// What the module asks of its host: a clock for unseeded noise, memory
// growth, and an end. Nothing else is ever called.
function importsFor(core) {
    const refused = () => 52; // not supported
    return {
        env: { emscripten_notify_memory_growth: () => viewMemory(core) },
        wasi_snapshot_preview1: {
            clock_time_get(id, precision, out) {
                const now = id === 0 || typeof performance === 'undefined' ? Date.now() : performance.now();
                const nanoseconds = BigInt(Math.round(now * 1e6));
                new DataView(core.wasmMemory.buffer).setBigUint64(out, nanoseconds, true);
                return 0;
            },
            proc_exit(code) { throw new Error(`the module ended (${code})`); },
            fd_write: refused, fd_close: refused, fd_seek: refused,
            environ_sizes_get(count, size) {
                const view = new DataView(core.wasmMemory.buffer);
                view.setUint32(count, 0, true);
                view.setUint32(size, 0, true);
                return 0;
            },
            environ_get: () => 0,
        },
    };
}

function viewMemory(core) {
    core.HEAPF32 = new Float32Array(core.wasmMemory.buffer);
}

function take(core, instance) {
    const { exports } = instance;
    core.wasmMemory = exports.memory;
    viewMemory(core);
    exports._initialize();
    for (const [name, value] of Object.entries(exports)) {
        if (typeof value === 'function' && name.startsWith('bf_live_'))
            core[`_${name}`] = value;
    }
    const answer = (at) => valueAt(core.wasmMemory, at)[0];
    const { calls, constants } = answer(exports.bf_calls());
    Object.assign(core, constants, { VectorDouble });
    calls.forEach(([name, kinds], index) => {
        core[name] = (...args) => {
            if (args.length !== kinds.length)
                throw new TypeError(`${name} takes ${kinds.length} arguments, not ${args.length}`);
            const { parts, size } = argumentBytes(kinds, args);
            let at = exports.bf_call_arguments(size);
            for (const part of parts) {
                new Uint8Array(core.wasmMemory.buffer, at, part.length).set(part);
                at += part.length;
            }
            return answer(exports.bf_call(index));
        };
    });
}

export default function createCore(core = {}) {
    return new Promise((resolve, reject) => {
        try {
            core.instantiateWasm(importsFor(core), (instance) => {
                try {
                    take(core, instance);
                    resolve(core);
                } catch (error) {
                    reject(error);
                }
            });
        } catch (error) {
            reject(error);
        }
    });
}
