// Keeps the site for offline use. Made at build time: the cache's name changes with any file
// of the site, so a new version replaces the cached one on the next visit.

const CACHE = '@CACHE_NAME@';
// A JSON list in a string, so that this file is JavaScript before it is made too.
const FILES = JSON.parse('@CACHED_FILES@');

self.addEventListener('install', (event) => {
  // From the server, never from the browser's own cache, which may still hold the old files.
  const fresh = FILES.map((file) => new Request(file, { cache: 'reload' }));
  event.waitUntil(
    caches
      .open(CACHE)
      .then((cache) => cache.addAll(fresh))
      .then(() => self.skipWaiting()),
  );
});

self.addEventListener('activate', (event) => {
  event.waitUntil(
    caches
      .keys()
      .then((names) => Promise.all(names.filter((n) => n !== CACHE).map((n) => caches.delete(n))))
      .then(() => self.clients.claim()),
  );
});

// The site from the cache, whatever the address asks of the soil; anything else from the
// network.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(
    caches
      .open(CACHE)
      .then((cache) => cache.match(event.request, { ignoreSearch: true }))
      .then((cached) => cached ?? fetch(event.request)),
  );
});
