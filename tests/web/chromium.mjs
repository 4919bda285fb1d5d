// Headless Chromium driven over its DevTools pipe (no npm package needed),
// and a local server for the module and a page.
import { spawn } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';

const types = { '.mjs': 'text/javascript', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.html': 'text/html', '.png': 'image/png', '.webmanifest': 'application/manifest+json' };

// Serves the folder, and the pages given by path: an HTML text, or any file
// as { type, body }.
export async function serve(folder, pages) {
    const server = createServer((request, response) => {
        const path = new URL(request.url, 'http://localhost').pathname;
        if (pages[path] !== undefined) {
            const { type, body } = typeof pages[path] === 'string' ? { type: 'text/html', body: pages[path] } : pages[path];
            response.writeHead(200, { 'content-type': type });
            response.end(body);
            return;
        }
        const file = join(folder, normalize(path).replace(/^(\.\.[/\\])+/, ''));
        try {
            const body = readFileSync(file);
            response.writeHead(200, { 'content-type': types[extname(file)] ?? 'application/octet-stream' });
            response.end(body);
        } catch {
            response.writeHead(404);
            response.end();
        }
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    // Closed, it answers nothing more, on a connection kept open too.
    const close = () => {
        server.close();
        server.closeAllConnections();
    };
    return { url: `http://127.0.0.1:${server.address().port}`, close };
}

const kAnswerSeconds = 60;

export class Chromium {
    constructor() {
        this.profile = mkdtempSync(join(tmpdir(), 'bleepforge-chromium-'));
        this.process = spawn(process.env.BLEEPFORGE_CHROMIUM ?? '/usr/bin/chromium',
            ['--headless', '--no-sandbox', '--disable-gpu', '--remote-debugging-pipe',
             `--user-data-dir=${this.profile}`, '--no-first-run', 'about:blank'],
            { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
        this.stderr = '';
        this.process.stderr.on('data', (data) => { this.stderr += data; });
        this.next = 1;
        this.waiting = new Map();
        this.listeners = [];
        let pending = '';
        this.process.stdio[4].on('data', (data) => {
            pending += data;
            for (let end; (end = pending.indexOf('\0')) >= 0; pending = pending.slice(end + 1))
                this.receive(JSON.parse(pending.slice(0, end)));
        });
        // A browser that does not start or goes away fails what waits on it.
        this.exited = new Promise((resolve) => this.process.on('close', resolve));
        this.exited.then(() => {
            for (const { reject, method } of this.waiting.values())
                reject(new Error(`${method}: Chromium ended: ${this.stderr.slice(-2000)}`));
            this.waiting.clear();
        });
        this.process.on('error', () => {});
    }

    receive(message) {
        const waiter = this.waiting.get(message.id);
        if (waiter) {
            this.waiting.delete(message.id);
            if (message.error)
                waiter.reject(new Error(`${waiter.method}: ${message.error.message}`));
            else
                waiter.resolve(message.result);
            return;
        }
        for (const listener of this.listeners)
            listener(message);
    }

    // Every call has an answer or fails within kAnswerSeconds: a page that
    // never gets ready fails its test, which then closes the browser, instead
    // of keeping the test run waiting for ever.
    send(method, params = {}, sessionId) {
        const id = this.next++;
        this.process.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
        return new Promise((resolve, reject) => {
            const timer = setTimeout(() => {
                this.waiting.delete(id);
                reject(new Error(`${method} got no answer in ${kAnswerSeconds} s`));
            }, kAnswerSeconds * 1000);
            const settle = (done) => (value) => { clearTimeout(timer); done(value); };
            this.waiting.set(id, { resolve: settle(resolve), reject: settle(reject), method });
        });
    }

    // A new page, shown at the device pixel ratio given, in a window of
    // `size` CSS pixels ({ width, height }, 1280 × 900 by default; `touch`
    // for a touch screen); its console errors and uncaught exceptions are
    // collected.
    async open(url, { deviceScaleFactor, size, touch = false } = {}) {
        const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
        const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
        const page = { sessionId, errors: [] };
        this.listeners.push((m) => {
            if (m.sessionId !== sessionId)
                return;
            if (m.method === 'Runtime.exceptionThrown')
                page.errors.push(m.params.exceptionDetails.exception?.description ?? m.params.exceptionDetails.text);
            else if (m.method === 'Runtime.consoleAPICalled' && m.params.type === 'error')
                page.errors.push(m.params.args.map((a) => a.value ?? a.description).join(' '));
            else if (m.method === 'Log.entryAdded' && m.params.entry.level === 'error')
                page.errors.push(m.params.entry.text);
        });
        await this.send('Runtime.enable', {}, sessionId);
        await this.send('Log.enable', {}, sessionId);
        await this.send('Page.enable', {}, sessionId);
        if (deviceScaleFactor !== undefined || size)
            await this.send('Emulation.setDeviceMetricsOverride',
                            { width: 1280, height: 900, ...size, deviceScaleFactor: deviceScaleFactor ?? 1, mobile: touch },
                            sessionId);
        if (touch)
            await this.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 }, sessionId);
        const loaded = new Promise((resolve) => this.listeners.push(
            (m) => m.sessionId === sessionId && m.method === 'Page.loadEventFired' && resolve()));
        await this.send('Page.navigate', { url }, sessionId);
        await this.within(loaded, `loading ${url}`);
        return page;
    }

    within(promise, what) {
        let timer;
        const late = new Promise((_, reject) => {
            timer = setTimeout(() => reject(new Error(`${what} took more than ${kAnswerSeconds} s`)),
                               kAnswerSeconds * 1000);
        });
        return Promise.race([promise, late]).finally(() => clearTimeout(timer));
    }

    // The value of an expression in the page, awaited.
    async evaluate(page, expression) {
        const { result, exceptionDetails } = await this.send('Runtime.evaluate',
            { expression, awaitPromise: true, returnByValue: true }, page.sessionId);
        if (exceptionDetails)
            throw new Error(exceptionDetails.exception?.description ?? exceptionDetails.text);
        return result.value;
    }

    async close() {
        this.send('Browser.close').catch(() => {});
        const timer = setTimeout(() => this.process.kill(), 5000);
        await this.exited;
        clearTimeout(timer);
        rmSync(this.profile, { recursive: true, force: true });
    }
}
