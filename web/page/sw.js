// The page offline: each of its files is kept at the first visit, and a
// later visit takes each file from the server when it answers, keeping the
// newer copy, else from what was kept. Asking the server first keeps the
// files of one visit from one version; the server is on hand to answer at
// once when it is there at all.
const kCache = 'bleepforge-page-v1';
const kFiles = [
    'index.html', 'manifest.webmanifest', 'icon-192.png', 'icon-512.png',
    'page.mjs', 'view.mjs', 'tiles.mjs', 'overlays.mjs', 'announce.mjs', 'audio.mjs', 'sound.mjs', 'status.mjs',
    'edit.mjs', 'prompts.mjs', 'pointer.mjs', 'keys.mjs', 'controls.mjs', 'history.mjs', 'strip.mjs',
    'strip-worker.mjs', 'exportchoices.mjs', 'files.mjs', 'store.mjs', 'library.mjs', 'kinds.mjs', 'links.mjs',
    'offline.mjs',
    'bleepforge.mjs', 'bleepforge-api.mjs', 'bleepforge-core.mjs', 'bleepforge-core.wasm', 'bleepforge-checks.mjs',
    'bleepforge-worklet.js', 'bleepforge-worklet-processor.mjs', 'bleepforge-worker.js',
];

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(kCache).then((cache) => cache.addAll(kFiles)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
    event.waitUntil(caches.keys()
        .then((names) => Promise.all(names.filter((name) => name !== kCache).map((name) => caches.delete(name))))
        .then(() => self.clients.claim()));
});

// Only the page's own files; a request elsewhere goes its own way.
self.addEventListener('fetch', (event) => {
    const { request } = event;
    if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin)
        return;
    event.respondWith(fetch(request).then((response) => {
        if (response.ok) {
            const copy = response.clone();
            event.waitUntil(caches.open(kCache).then((cache) => cache.put(request, copy)));
        }
        return response;
    }, () => caches.match(request, { ignoreSearch: true }).then((kept) => kept ?? Response.error())));
});
