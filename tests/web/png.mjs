// A PNG's pixels as RGB bytes: enough of a decoder for the editor's
// snapshots (8 bits a channel, RGB or RGBA, not interlaced).
import { inflateSync } from 'node:zlib';

function paeth(a, b, c) {
    const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

export function decodePng(bytes) {
    let width = 0, height = 0, channels = 0;
    const data = [];
    for (let at = 8; at < bytes.length;) {
        const size = bytes.readUInt32BE(at);
        const type = bytes.toString('latin1', at + 4, at + 8);
        const body = bytes.subarray(at + 8, at + 8 + size);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            channels = { 2: 3, 6: 4 }[body[9]];
            if (body[8] !== 8 || !channels || body[12] !== 0)
                throw new Error('only 8-bit RGB or RGBA PNGs without interlacing');
        } else if (type === 'IDAT') {
            data.push(body);
        }
        at += 12 + size;
    }
    const raw = inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; ++y) {
        const filter = raw[y * (stride + 1)];
        for (let i = 0; i < stride; ++i) {
            const x = raw[y * (stride + 1) + 1 + i];
            const a = i >= channels ? pixels[y * stride + i - channels] : 0;
            const b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
            const c = i >= channels && y > 0 ? pixels[(y - 1) * stride + i - channels] : 0;
            const predicted = [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter];
            pixels[y * stride + i] = (x + predicted) & 0xFF;
        }
    }
    const rgb = Buffer.alloc(width * height * 3);
    for (let p = 0; p < width * height; ++p)
        pixels.copy(rgb, p * 3, p * channels, p * channels + 3);
    return { width, height, rgb };
}
