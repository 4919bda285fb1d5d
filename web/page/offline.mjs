// The page working offline: the service worker that keeps its files,
// registered once the page is at work so that it takes nothing from the
// page's start. (A page served without a secure origin has none.)
export function install(page) {
    if (!('serviceWorker' in navigator))
        return;
    const register = () => navigator.serviceWorker.register('./sw.js').catch((error) => {
        page.say(`This page will not work offline: the browser refused its service worker (${error.message}).`,
                 { error: true, also: true });
    });
    if (document.readyState === 'complete')
        setTimeout(register);
    else
        window.addEventListener('load', () => setTimeout(register), { once: true });
}
